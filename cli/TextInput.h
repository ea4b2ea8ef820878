// Text handed to the command-line tool, as the engine wants it.
//
// Options and input files are UTF-8 unless the user names Windows-1251 as the
// input encoding; the engine works in Windows-1251 lines. An input file is
// taken as a memo would take it when pasted in: converted character by
// character (valid characters that Windows-1251 lacks become '?') and cut into
// lines at every line feed. Bytes that are not UTF-8 at all are refused rather
// than turned into '?': they mean the file is in some other encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/StringList.h"

namespace orvana::cli {

enum class TInputEncoding { kUtf8, kWindows1251 };

// "utf-8" or "windows-1251", in any letter case; nullopt for anything else.
std::optional<TInputEncoding> ParseInputEncoding(std::string_view name);

// Cuts Windows-1251 text into lines at LF. A CR right before an LF belongs to
// the line break; a CR anywhere else stays in its line. One empty piece after
// the last LF is not a line, so "a\nb\n" and "a\nb" both give the lines a and
// b, "a\n\n" gives a and one empty line, and the empty text gives no line.
TStringList SplitLines(std::string_view text);

// The characters of UTF-8 text that Utf8ToCp1251 turns into '?': those
// Windows-1251 lacks and the malformed sequences.
size_t CharactersOutsideCp1251(std::string_view utf8);

// Drops the lines that are empty or hold only blanks and tabs, keeping the
// others in order; returns how many were dropped.
size_t DropBlankLines(TStringList& lines);

// How an input argument is named in messages: "standard input" for "-",
// otherwise the absolute path in double quotes.
std::string InputName(const std::string& path);

// The most an input may hold: 1 GiB. A device such as /dev/zero, or a pipe
// fed by a program that never stops, would otherwise be read until the
// memory ran out.
inline constexpr uint64_t kMaxInputBytes = uint64_t{1} << 30;

// Reads the whole file (path in UTF-8, the platform's own name), or standard
// input for "-". Throws ECliError 'Cannot open file "PATH". REASON' (PATH
// absolute) when the file cannot be opened or read, a folder included, and
// '--OPTION: NAME is larger than LIMIT' (NAME as InputName gives it, without
// "--OPTION: " when `option` is empty) as soon as more than `max_bytes`
// bytes have come.
std::string ReadInputFile(const std::string& path, std::string_view option = {},
                          uint64_t max_bytes = kMaxInputBytes);

// An input file's lines, and the characters Windows-1251 lacks that became '?'.
struct TInputText {
  TStringList lines;
  size_t unmapped = 0;
  size_t first_unmapped_line = 0;
};

// ReadInputFile, then the conversion for the encoding, then SplitLines. Throws
// ECliError naming the file and the first bad line when UTF-8 input is not
// UTF-8. A path naming a folder, a device or a socket is refused before
// anything is read, with '--OPTION: "PATH" is a folder, not a text file' (or
// "a device", "a socket"); a pipe is read as standard input is. The input is
// opened once: a FIFO whose writer has come and gone cannot be waited for
// again. Text in UTF-16 (its byte-order mark, or the NUL bytes of ASCII
// letters in UTF-16) is refused in either encoding with '--OPTION: NAME is
// UTF-16 (little-endian), not UTF-8 or Windows-1251: save it as UTF-8'.
TInputText ReadInputText(const std::string& path, TInputEncoding encoding,
                         std::string_view option = {}, uint64_t max_bytes = kMaxInputBytes);

}  // namespace orvana::cli
