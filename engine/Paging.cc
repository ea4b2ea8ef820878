#include "engine/Paging.h"

#include <algorithm>

namespace orvana {

std::string JoinLinesWithCr(const TStringList& lines) {
  size_t total = 0;
  for (const auto& l : lines) total += l.size() + 1;
  std::string out;
  out.reserve(total);
  for (const auto& l : lines) {
    out += l;
    out += '\r';
  }
  return out;
}

std::vector<TPageSpan> CutIntoPages(std::string_view text, int32_t min_chars, int32_t max_chars,
                                    std::vector<int>* forced_cuts) {
  // Positions are 1-based as in the rule the scan follows: for pos = 1 .. L-1,
  // first a cut at a break pair W[pos-1], W[pos] when min+start < pos <
  // max+start, then a forced cut when pos = max+start. Rather than visit every
  // position, each page jumps straight to its window.
  const int64_t L = static_cast<int64_t>(text.size());
  const int64_t min = min_chars, max = max_chars;
  std::vector<TPageSpan> spans;
  int64_t start = 1;
  int64_t next = 1;  // first position not yet examined
  const char* w = text.data();
  auto is_break = [w](int64_t pos) {
    char a = w[pos - 2], b = w[pos - 1];  // W[pos-1], W[pos] in 1-based terms
    return (a == '\r' && b == '\r') || (a == '.' && b == ' ');
  };
  for (;;) {
    if (next > L - 1) break;
    int64_t cut = -1;
    const int64_t lo = std::max({next, min + start + 1, int64_t{2}});
    const int64_t hi = std::min(max + start - 1, L - 1);
    for (int64_t pos = lo; pos <= hi; ++pos) {
      if (is_break(pos)) {
        cut = pos;
        break;
      }
    }
    if (cut < 0) {
      const int64_t forced = max + start;
      if (forced >= next && forced <= L - 1) {
        cut = forced;
        // A break pair at the maximum itself ends the page as well as one
        // inside the window would: the page is not cut inside a sentence.
        if (forced_cuts && !(forced >= 2 && is_break(forced)))
          forced_cuts->push_back(static_cast<int>(spans.size()));
      }
    }
    if (cut < 0) break;
    spans.push_back({static_cast<size_t>(start - 1), static_cast<size_t>(cut - start)});
    start = cut;
    next = cut + 1;
  }
  // The last page: W[start .. L-1]; the final CR belongs to no page.
  const int64_t last_len = std::max<int64_t>(0, L - start);
  spans.push_back({static_cast<size_t>(std::min(start - 1, L)), static_cast<size_t>(last_len)});
  return spans;
}

}  // namespace orvana
