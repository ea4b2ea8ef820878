// Safe links: the link distribution's choice of words, with links that
// respect the page's HTML.
//
// A candidate is a whole word: a maximal run of letters and digits of
// Windows-1251 (the Latin letters, every Cyrillic letter of the code page:
// Russian with Ё ё, Ukrainian, Belarusian, Serbian and Macedonian, and the
// digits) of 5 to 20
// bytes, standing in plain text: never inside a tag (attributes included), a
// comment, an entity such as "&nbsp;", an existing <a>...</a> or the content
// of <script> and <style>. As in the classic distribution, a uniformly chosen
// subset of at most the quota of the candidates, in text order, takes the
// next addresses; but only the chosen occurrence becomes
// '<a href="ADDRESS">WORD</a>' (with ' rel="REL"' when given), punctuation
// around it staying outside. Each address is used once; an address that the
// list holds again and that already has its link on the page is passed by
// (used up, no link), so one URL is linked at most once a page. Equal seeds
// give equal links.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/LinkDistribution.h"
#include "engine/Random.h"
#include "engine/StringList.h"

namespace orvana {

// Appends ' rel="REL"' with the value escaped for a double-quoted
// attribute ("&", '"', "<" and ">" as entities); nothing for an empty value.
void AppendRelAttribute(std::string& out, std::string_view rel);

// True for a byte that is a letter or a digit of Windows-1251.
bool IsWordByte(unsigned char byte);

// A candidate word of a page: its offset and length in bytes.
struct TWordSpan {
  size_t offset;
  size_t length;
};

// The candidates of a page's text (see above), in text order.
std::vector<TWordSpan> SafeLinkCandidates(std::string_view text);

class TSafeLinkDistributor : public TLinkPlacer {
 public:
  // As TLinkDistributor; `rel`, when not empty, goes into every link.
  TSafeLinkDistributor(const TStringList& addresses, int64_t page_count, TRandomSource& random,
                       std::string rel = {});

  // The next page's text with its links, built into `out` (old content
  // discarded). Pages come in order, page 0 first.
  void LinkPage(std::string_view text, std::string& out);

 private:
  // The addresses linked on the page being built.
  std::vector<std::string_view> linked_here_;
};

}  // namespace orvana
