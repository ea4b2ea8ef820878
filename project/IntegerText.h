// The integer rule of the project window's number fields.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvana {

// Reads the whole text as a signed 32-bit number: optional leading blanks, an
// optional sign, then decimal digits, or hexadecimal digits after "$", "x",
// "X", "0x" or "0X". Anything else (empty text, trailing blanks or letters, a
// value outside the 32-bit range) is refused. Returns false when refused.
bool TryStrToInt(std::string_view text, int32_t& value);

// The conversion's message for a refused text: "'%s' is not a valid integer
// value" with the text in place of %s.
std::string NotAnIntegerMessage(std::string_view text);

}  // namespace orvana
