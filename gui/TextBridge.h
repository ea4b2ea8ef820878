// Where the windows' Unicode texts meet the engine's Windows-1251 strings.
//
// QString is UTF-16; every engine string is Windows-1251 bytes. A character
// that Windows-1251 lacks becomes '?' on the way in (a surrogate pair, one
// character, becomes one '?').
#pragma once

#include <QString>

#include <string>
#include <string_view>

#include "StringList.h"

class QPlainTextEdit;

namespace orvana {

QString FromEngine(std::string_view text);
std::string ToEngine(const QString& text);

// The lines a memo holds, as the engine sees them: its text split at its line
// breaks (paragraph ends and the line separators Shift+Return inserts), one
// final empty line not counted, lines never shortened.
TStringList MemoLinesOf(const QPlainTextEdit& memo);

// Makes the memo hold exactly the given lines: MemoLinesOf gives them back.
// Each line break inside a line (LF or CR) starts a new memo line.
void SetMemoLines(QPlainTextEdit& memo, const TStringList& lines);

// True when Windows-1251 spells every character of text, so that ToEngine
// gives it back unchanged.
bool SpelledInEngine(const QString& text);

// A file name for the engine. The engine names files in Windows-1251, so a
// name with a character that code page lacks would reach some other file
// (with '?' in its name); such a name throws EOrvanaError "Cannot use the
// file name "NAME": it holds characters outside Windows-1251".
std::string EngineFileName(const QString& path);

// True when a file (not a folder) exists at the path. Relative paths resolve
// against the current folder. The path is looked up as the engine will open
// it, so the answer holds for what the engine then reads or writes.
bool FileExists(const QString& path);

}  // namespace orvana
