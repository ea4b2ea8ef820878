#include "gui/TextBridge.h"

#include "engine/Error.h"

#include <QFileInfo>

#include "engine/CodePage.h"
#include "engine/FileSystem.h"

namespace orvana {

QString FromEngine(std::string_view text) {
  const std::u16string wide = Cp1251ToUtf16(text);
  return QString(reinterpret_cast<const QChar*>(wide.data()), static_cast<qsizetype>(wide.size()));
}

bool SpelledInEngine(const QString& text) { return SpellInCp1251(text.toStdString()).has_value(); }

std::string EngineFileName(const QString& path) {
  if (std::optional<std::string> name = SpellInCp1251(path.toStdString())) return *std::move(name);
  throw EOrvanaError::InPlatformText(
      QStringLiteral("Файл «%1» нельзя использовать: в его имени есть знаки, которых нет в "
                     "кодировке Windows-1251")
          .arg(path)
          .toStdString());
}

std::string ToEngine(const QString& text) {
  return Utf16ToCp1251(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                           static_cast<size_t>(text.size())));
}

bool FileExists(const QString& path) { return QFileInfo(path).isFile(); }

}  // namespace orvana
