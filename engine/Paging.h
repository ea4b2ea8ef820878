// Paging: the site text joined into one working text and cut into pages.
//
// A page ends at a paragraph end (CR CR) or a sentence end (full stop, space)
// that falls strictly inside the window set by the two bounds; where no such
// end lies in the window, the page is cut at exactly the maximum, even inside
// a word.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/StringList.h"

namespace orvana {

// Joins lines into one text, every line (the last one included) followed by
// exactly one CR. An empty list gives the empty text.
std::string JoinLinesWithCr(const TStringList& lines);

// A page's share of the working text: `length` bytes from 0-based `offset`.
struct TPageSpan {
  size_t offset;
  size_t length;
};

// Cuts the working text into page spans. Always returns at least one span
// (the first page); the final CR of the text belongs to no page. Bounds of any
// value are accepted: the window arithmetic is done in 64 bits, a maximum of 0
// gives an empty first page followed by the whole text, a negative maximum
// never cuts. One pass; break pairs are looked for only inside the window.
// `forced_cuts`, when given, receives the index of every page that was closed
// at the maximum without a break pair there (a page cut inside a word or
// sentence), ascending.
std::vector<TPageSpan> CutIntoPages(std::string_view text, int32_t min_chars, int32_t max_chars,
                                    std::vector<int>* forced_cuts = nullptr);

}  // namespace orvana
