#include "engine/ReplaceAll.h"

#include <cstring>

namespace orvana {

const char* FindBytes(const char* from, const char* end, std::string_view pattern) {
  const size_t m = pattern.size();
  if (m == 0) return from;
  if (static_cast<size_t>(end - from) < m) return nullptr;
  // The patterns looked for (placeholders, a CR pair, a word) mostly begin
  // with a byte that is rare in the text, so memchr finds the candidates at
  // memory speed. Where that byte turns out to be common, memmem, which never
  // looks at a byte twice, takes over for the rest of the text.
  const char* const last = end - m;
  const char* p = from;
  size_t misses = 0;
  while (p <= last) {
    const char* hit =
        static_cast<const char*>(std::memchr(p, pattern[0], static_cast<size_t>(last - p) + 1));
    if (!hit) return nullptr;
    if (std::memcmp(hit + 1, pattern.data() + 1, m - 1) == 0) return hit;
    p = hit + 1;
    if (++misses >= 8 && static_cast<size_t>(p - from) < misses * 64)
      return static_cast<const char*>(
          memmem(p, static_cast<size_t>(end - p), pattern.data(), pattern.size()));
  }
  return nullptr;
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
