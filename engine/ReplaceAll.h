// The engine's text replacement, used by template filling and by the link
// distribution.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvana {

// Returns text with every occurrence of pattern replaced by replacement,
// searching left to right, byte-exact and case-sensitive; occurrences never
// overlap and the inserted bytes are never searched again. An empty text
// gives an empty result, an empty pattern the text unchanged. One pass.
std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement);

// ReplaceAll in place; leaves the string untouched (and unallocated) when the
// pattern does not occur. Returns the number of replacements.
size_t ReplaceAllInPlace(std::string& text, std::string_view pattern, std::string_view replacement);

// The first occurrence of pattern in [from, end), or nullptr. An empty
// pattern matches at `from`.
const char* FindBytes(const char* from, const char* end, std::string_view pattern);

}  // namespace orvana
