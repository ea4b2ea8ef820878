#include "gui/TextBridge.h"

#include <QFileInfo>

#include "engine/CodePage.h"

namespace orvana {

QString FromEngine(std::string_view text) {
  const std::u16string wide = Cp1251ToUtf16(text);
  return QString(reinterpret_cast<const QChar*>(wide.data()), static_cast<qsizetype>(wide.size()));
}

bool SpelledInEngine(const QString& text) { return SpellInCp1251(text.toStdString()).has_value(); }

std::string ToEngine(const QString& text) {
  return Utf16ToCp1251(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                           static_cast<size_t>(text.size())));
}

bool FileExists(const QString& path) { return QFileInfo(path).isFile(); }

}  // namespace orvana
