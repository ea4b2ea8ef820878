// Conversion between the program's ANSI code page, Windows-1251, and Unicode.
//
// Every text inside the engine is a byte string in Windows-1251: a Cyrillic
// letter is one byte, and all lengths and positions count bytes. The user
// interface and the files of other programs speak Unicode; these functions are
// the only bridge. A character that Windows-1251 lacks becomes '?'.
#pragma once

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

// UTF-8 to Windows-1251. Characters the code page lacks, and every malformed
// UTF-8 sequence, become '?'.
std::string Utf8ToCp1251(std::string_view text);

}  // namespace orvana
