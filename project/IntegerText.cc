#include "project/IntegerText.h"

namespace orvana {

bool TryStrToInt(std::string_view s, int32_t& value) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  bool hex = false;
  if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= s.size()) return false;
  // Hexadecimal texts may spell any 32-bit pattern ($FFFFFFFF is -1), as the
  // conversion the field imitates does; decimal ones must fit the signed range.
  uint64_t magnitude = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    magnitude = magnitude * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (magnitude > 0xFFFFFFFFull) return false;
  }
  if (hex) {
    const uint32_t bits = static_cast<uint32_t>(magnitude);
    const int32_t v = static_cast<int32_t>(bits);
    value = negative ? static_cast<int32_t>(0u - bits) : v;
    return true;
  }
  if (negative ? magnitude > 2147483648ull : magnitude > 2147483647ull) return false;
  value = negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude))
                   : static_cast<int32_t>(magnitude);
  return true;
}

std::string NotAnIntegerMessage(std::string_view text) {
  std::string message;
  message.reserve(text.size() + 32);
  message += '\'';
  message += text;
  message += "' is not a valid integer value";
  return message;
}

}  // namespace orvana
