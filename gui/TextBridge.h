// Where the windows' Unicode texts meet the engine's Windows-1251 strings.
//
// QString is UTF-16; every engine text is Windows-1251 bytes. A character
// that Windows-1251 lacks becomes '?' on the way in (a surrogate pair, one
// character, becomes one '?'). Names of files and folders are no texts: they
// are the platform's UTF-8 everywhere (QString::toStdString), a project's
// SavePath included, and so are error messages.
#pragma once

#include <QString>

#include <string>
#include <string_view>

#include "engine/StringList.h"

namespace orvana {

QString FromEngine(std::string_view text);
std::string ToEngine(const QString& text);

// True when Windows-1251 spells every character of text, so that ToEngine
// gives it back unchanged.
bool SpelledInEngine(const QString& text);

// True when a file (not a folder) exists at the path. Relative paths resolve
// against the current folder.
bool FileExists(const QString& path);

}  // namespace orvana
