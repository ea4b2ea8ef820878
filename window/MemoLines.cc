#include "window/MemoLines.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

#include "gui/TextBridge.h"
#include "project/MemoText.h"

namespace orvana {

QString MemoRawText(const QPlainTextEdit& memo) { return memo.document()->toRawText(); }

TStringList LinesOfMemoText(const QString& raw) {
  // The raw text keeps every character as typed (toPlainText would turn
  // no-break spaces into blanks); only the document's own breaks are mapped.
  QString text = raw;
  for (QChar& c : text) {
    if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) c = u'\n';
  }
  return MemoLines(ToEngine(text));
}

TStringList MemoLinesOf(const QPlainTextEdit& memo) { return LinesOfMemoText(MemoRawText(memo)); }

QString MemoTextOf(const TStringList& lines) {
  size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 1;
  std::string joined;
  joined.reserve(size + 1);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) joined += '\n';
    joined += lines[i];
  }
  // A final empty line needs its own break: the memo does not count one
  // empty line at the very end.
  if (!lines.empty() && lines.back().empty()) joined += '\n';
  return FromEngine(joined);
}

void SetMemoText(QPlainTextEdit& memo, const QString& text) {
  // Pieces small enough that the windows repaint between them.
  constexpr qsizetype kPiece = 64 * 1024;
  if (text.size() <= kPiece) {
    memo.setPlainText(text);
    return;
  }
  QTextDocument* document = memo.document();
  memo.setPlainText(text.left(kPiece));
  document->setUndoRedoEnabled(false);
  QTextCursor cursor(document);
  for (qsizetype at = kPiece; at < text.size(); at += kPiece) {
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text.mid(at, kPiece));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  document->setUndoRedoEnabled(true);
}

void SetMemoLines(QPlainTextEdit& memo, const TStringList& lines) {
  SetMemoText(memo, MemoTextOf(lines));
}

}  // namespace orvana
