// Text handed to the command-line tool, as the engine wants it.
//
// Options and input files are UTF-8; the engine works in Windows-1251 lines.
// An input file is taken as a memo would take it when pasted in: converted
// character by character (what Windows-1251 lacks becomes '?') and cut into
// lines at every line feed.
#pragma once

#include <string>
#include <string_view>

#include "SiteGenerator.h"

namespace orvana::cli {

// Converts UTF-8 text to Windows-1251 and cuts it into lines at LF. A CR
// right before an LF belongs to the line break; a CR anywhere else stays in
// its line. One empty piece after the last LF is not a line, so "a\nb\n" and
// "a\nb" both give the lines a and b, "a\n\n" gives a and one empty line, and
// the empty text gives no line. A UTF-8 byte-order mark at the very start is
// not text and is dropped.
TStringList SplitInputLines(std::string_view utf8);

// Reads the whole file (path in UTF-8, the platform's own name). Throws
// ECliError 'Cannot open file "PATH". REASON' (PATH absolute) when the file
// cannot be opened or read, a folder included.
std::string ReadInputFile(const std::string& path);

// ReadInputFile, then SplitInputLines.
TStringList ReadInputLines(const std::string& path);

}  // namespace orvana::cli
