#include "gui/SystemErrors.h"

#include <QRegularExpression>

#include <cerrno>

namespace orvana {

QString RussianSystemError(int error_code) {
  switch (error_code) {
    case EPERM:
      return QStringLiteral("операция не позволена");
    case ENOENT:
      return QStringLiteral("нет такого файла или папки");
    case EIO:
      return QStringLiteral("ошибка ввода-вывода");
    case ENOMEM:
      return QStringLiteral("не хватает памяти");
    case EACCES:
      return QStringLiteral("доступ запрещён");
    case EBUSY:
      return QStringLiteral("устройство или файл заняты");
    case EEXIST:
      return QStringLiteral("файл уже существует");
    case EXDEV:
      return QStringLiteral("ссылка на другое устройство");
    case ENOTDIR:
      return QStringLiteral("часть пути — не папка");
    case EISDIR:
      return QStringLiteral("это папка");
    case EINVAL:
      return QStringLiteral("недопустимый аргумент");
    case ENFILE:
    case EMFILE:
      return QStringLiteral("открыто слишком много файлов");
    case ETXTBSY:
      return QStringLiteral("файл занят");
    case EFBIG:
      return QStringLiteral("файл слишком велик");
    case ENOSPC:
      return QStringLiteral("на диске не осталось места");
    case EROFS:
      return QStringLiteral("файловая система только для чтения");
    case ENAMETOOLONG:
      return QStringLiteral("слишком длинное имя");
    case ELOOP:
      return QStringLiteral("слишком много символических ссылок");
    case EDQUOT:
      return QStringLiteral("превышена дисковая квота");
    default:
      return QStringLiteral("системная ошибка %1").arg(error_code);
  }
}

std::optional<QString> RussianFileError(const QString& message, int error_code) {
  static const QRegularExpression kFileError(
      QStringLiteral(
          R"re(^(Cannot create file|Cannot write file|Cannot open file|Stream write error:) "(.*)"\. (.*?)( \(error (\d+)\))?$)re"),
      QRegularExpression::DotMatchesEverythingOption);
  const QRegularExpressionMatch match = kFileError.match(message);
  if (!match.hasMatch()) return std::nullopt;
  const QString what = match.captured(1), path = match.captured(2);
  if (error_code == 0 && !match.captured(5).isEmpty()) error_code = match.captured(5).toInt();
  QString reason = match.captured(3);
  if (error_code != 0)
    reason = RussianSystemError(error_code);
  else if (reason == QStringLiteral("Not a regular file"))
    reason = QStringLiteral("это не обычный файл");
  // A site's file (its message ends with the error number): all Russian.
  const bool siteFile = !match.captured(4).isEmpty() && what.startsWith(QStringLiteral("Cannot"));
  if (siteFile)
    return QStringLiteral("Не удалось %1 файл «%2»: %3")
        .arg(what == QStringLiteral("Cannot create file") ? QStringLiteral("создать")
                                                          : QStringLiteral("записать"),
             path, reason);
  // A project file's messages keep their own words; the reason is Russian.
  return QStringLiteral("%1 \"%2\". %3%4").arg(what, path, reason, match.captured(4));
}

}  // namespace orvana
