// Conversion between the program's ANSI code page, Windows-1251, and Unicode.
//
// Every text inside the engine is a byte string in Windows-1251: a Cyrillic
// letter is one byte, and all lengths and positions count bytes. The user
// interface and the files of other programs speak Unicode; these functions are
// the only bridge. A character that Windows-1251 lacks becomes '?'.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orvana {

// The Unicode code point of one Windows-1251 byte. Bytes 0..127 are ASCII; the
// one byte the code page leaves undefined (0x98) maps to U+0098 so that every
// byte survives a round trip.
char16_t Cp1251ToUnicode(unsigned char byte);

// The Windows-1251 byte of a code point, or -1 when the code page lacks it.
int UnicodeToCp1251(char32_t code_point);

// Windows-1251 to UTF-16, one UTF-16 unit per byte.
std::u16string Cp1251ToUtf16(std::string_view text);

// UTF-16 to Windows-1251. Characters the code page lacks become '?'; a
// surrogate pair (one character) becomes one '?', a lone surrogate too.
std::string Utf16ToCp1251(std::u16string_view text);

// Windows-1251 to UTF-8.
std::string Cp1251ToUtf8(std::string_view text);

// The one check of a name (a file or folder, as the user typed or chose it,
// in UTF-8) on its way into the engine: its Windows-1251 spelling, or nothing
// when the code page cannot spell every character of it. With '?' in their
// place the name would reach some other file, or none.
std::optional<std::string> SpellInCp1251(std::string_view utf8_name);

// UTF-8 to Windows-1251. Characters the code page lacks, and every malformed
// UTF-8 sequence, become '?'.
std::string Utf8ToCp1251(std::string_view text);

// Appends the UTF-8 form of a code point (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t cp);

// The code point of the UTF-8 sequence at the start of `text` (not empty),
// with the bytes it spans in `length`; -1 for a sequence UTF-8 does not
// allow (then `length` is how many bytes it spans, at least 1): a stray
// continuation byte, an invalid lead byte, a truncated sequence, an overlong
// form, a surrogate or a value past U+10FFFF.
long DecodeUtf8(std::string_view text, size_t& length);

// How far Utf8ToCp1251Run got.
struct TUtf8Run {
  size_t read = 0;     // bytes of UTF-8 taken
  size_t written = 0;  // bytes of Windows-1251 made, one per character
};

// Converts UTF-8 from the start of `text` into `out` (room for text.size()
// bytes) as Utf8ToCp1251 would, up to the first sequence that is malformed
// or stands for a character the code page lacks, which is left unread.
TUtf8Run Utf8ToCp1251Run(std::string_view text, char* out);

// Utf8ToCp1251 appended to `out`. Before each '?' it calls `stop`, when
// given, with the sequence's offset in `text` and its code point (-1 when it
// is malformed); when that returns false, the conversion ends before the
// sequence. Returns the bytes of `text` taken.
size_t AppendUtf8AsCp1251(std::string_view text, std::string& out,
                          const std::function<bool(size_t offset, long code_point)>& stop = {});

}  // namespace orvana
