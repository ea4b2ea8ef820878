// The file system's errors in Russian.
//
// The engine and the project files name a failed file operation in English
// ('Cannot create file "PATH". REASON (error N)'), with the system's reason,
// which the C library gives in English as well. The windows speak Russian:
// RussianFileError says the same in Russian, the reason taken from the error
// number.
#pragma once

#include <QString>

#include <optional>

namespace orvana {

// The system's reason for an error number (errno) in Russian; an unknown
// number gives "системная ошибка N".
QString RussianSystemError(int error_code);

// The Russian form of an engine's message about a file that could not be
// opened, created or written, error_code its errno (0: the number the
// message ends with, or none). A site's file ('Cannot create file "PATH".
// REASON (error N)') is named all in Russian ("Не удалось создать файл
// «PATH»: причина"); the project files' messages keep their words ('Cannot
// open file "PATH". REASON') with the reason in Russian. nullopt for any
// other message.
std::optional<QString> RussianFileError(const QString& message, int error_code);

}  // namespace orvana
