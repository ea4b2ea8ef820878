#include "TextBridge.h"

#include "Error.h"

#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTextDocument>

#include "CodePage.h"
#include "FileSystem.h"
#include "MemoText.h"

namespace orvana {

QString FromEngine(std::string_view text) {
  const std::u16string wide = Cp1251ToUtf16(text);
  return QString(reinterpret_cast<const QChar*>(wide.data()), static_cast<qsizetype>(wide.size()));
}

bool SpelledInEngine(const QString& text) { return FromEngine(ToEngine(text)) == text; }

std::string EngineFileName(const QString& path) {
  std::string name = ToEngine(path);
  if (FromEngine(name) != path)
    throw EOrvanaError("Cannot use the file name \"" + name +
                       "\": it holds characters outside Windows-1251");
  return name;
}

std::string ToEngine(const QString& text) {
  return Utf16ToCp1251(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                           static_cast<size_t>(text.size())));
}

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

bool FileExists(const QString& path) {
  return QFileInfo(QString::fromStdString(NativePath(ToEngine(path)))).isFile();
}

}  // namespace orvana
