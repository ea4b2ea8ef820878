// Plain, whole-text forms of what the input reader does a line at a time:
// the tests hold its output against them.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "cli/TextInput.h"
#include "engine/CodePage.h"

namespace orvana::cli::test {

inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Converts UTF-8 text to Windows-1251 as Utf8ToCp1251 does and cuts it into
// lines as SplitLines does; a leading byte-order mark is dropped.
inline TStringList SplitInputLines(std::string_view utf8) {
  if (utf8.substr(0, kByteOrderMark.size()) == kByteOrderMark)
    utf8.remove_prefix(kByteOrderMark.size());
  return SplitLines(Utf8ToCp1251(utf8));
}

// UTF-8 input converted to Windows-1251, with what the conversion met.
struct TDecodedInput {
  std::string text;  // Windows-1251; empty when malformed_line is set
  // The 1-based line of the first sequence that is not UTF-8; 0 when none.
  size_t malformed_line = 0;
  // Characters that Windows-1251 lacks, and the line of the first of them.
  size_t unmapped = 0;
  size_t first_unmapped_line = 0;
};

inline TDecodedInput DecodeUtf8Input(std::string_view utf8) {
  if (utf8.substr(0, kByteOrderMark.size()) == kByteOrderMark)
    utf8.remove_prefix(kByteOrderMark.size());
  TDecodedInput decoded;
  const auto line_at = [&](size_t at) {
    size_t line = 1;
    for (size_t i = 0; i < at; ++i) line += utf8[i] == '\n';
    return line;
  };
  AppendUtf8AsCp1251(utf8, decoded.text, [&](size_t at, long code_point) {
    if (code_point < 0) {
      decoded.malformed_line = line_at(at);
      return false;
    }
    if (decoded.unmapped++ == 0) decoded.first_unmapped_line = line_at(at);
    return true;
  });
  if (decoded.malformed_line != 0) decoded.text.clear();
  return decoded;
}

}  // namespace orvana::cli::test
