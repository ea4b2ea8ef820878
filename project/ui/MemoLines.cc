#include "MemoLines.h"

#include <QPlainTextEdit>
#include <QTextDocument>

#include "MemoText.h"
#include "TextBridge.h"

namespace orvana {

TStringList MemoLinesOf(const QPlainTextEdit& memo) {
  // The raw text keeps every character as typed (toPlainText would turn
  // no-break spaces into blanks); only the document's own breaks are mapped.
  QString text = memo.document()->toRawText();
  for (QChar& c : text) {
    if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) c = u'\n';
  }
  return MemoLines(ToEngine(text));
}

void SetMemoLines(QPlainTextEdit& memo, const TStringList& lines) {
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
  memo.setPlainText(FromEngine(joined));
}

}  // namespace orvana
