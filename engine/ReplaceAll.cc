#include "ReplaceAll.h"

#include <cstring>

namespace orvana {

const char* FindBytes(const char* from, const char* end, std::string_view pattern) {
  return static_cast<const char*>(
      memmem(from, static_cast<size_t>(end - from), pattern.data(), pattern.size()));
}

namespace {

// The text with every occurrence of the pattern replaced, given the first
// occurrence (already found, so texts without one are never copied).
std::string Replaced(std::string_view text, const char* hit, std::string_view pattern,
                     std::string_view replacement, size_t& count) {
  const char* p = text.data();
  const char* end = p + text.size();
  std::string out;
  // A first estimate; the string grows geometrically if more matches follow.
  out.reserve(text.size() + (replacement.size() > pattern.size()
                                 ? (replacement.size() - pattern.size()) * 4
                                 : 0));
  count = 0;
  while (hit) {
    out.append(p, static_cast<size_t>(hit - p));
    out.append(replacement);
    ++count;
    p = hit + pattern.size();
    hit = FindBytes(p, end, pattern);
  }
  out.append(p, static_cast<size_t>(end - p));
  return out;
}

}  // namespace

std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement) {
  if (text.empty()) return {};
  if (pattern.empty()) return std::string(text);
  const char* hit = FindBytes(text.data(), text.data() + text.size(), pattern);
  if (!hit) return std::string(text);
  size_t count;
  return Replaced(text, hit, pattern, replacement, count);
}

size_t ReplaceAllInPlace(std::string& text, std::string_view pattern,
                         std::string_view replacement) {
  if (text.empty() || pattern.empty()) return 0;
  const char* hit = FindBytes(text.data(), text.data() + text.size(), pattern);
  if (!hit) return 0;
  size_t count;
  text = Replaced(text, hit, pattern, replacement, count);
  return count;
}

}  // namespace orvana
