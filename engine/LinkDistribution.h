// Link distribution: randomly chosen words of the pages turned into links.
//
// Each address of SiteUrlsToLink is used once, in list order, from the first
// page on. On each page the words of 5 to 20 bytes (split at blanks, a CR
// counting as a blank) are the candidates; a uniformly chosen subset of at
// most the quota of them, in text order, gets the next addresses, and every
// occurrence of such a word in the page's text becomes
// ' <a href="ADDRESS">WORD</a> ', ADDRESS made safe for the attribute
// (AppendHrefAddress in UrlSafety.h). The quota is the address count for one or
// two pages, else the address count divided by (pages - 1).
#pragma once

#include <cstdint>

#include "Random.h"
#include "SiteGenerator.h"

namespace orvana {

inline constexpr size_t kShortestLinkWord = 5;
inline constexpr size_t kLongestLinkWord = 20;

// The per-page quota for the given address and page counts.
int64_t LinkQuota(int64_t addresses, int64_t pages);

// Spreads the generator's addresses over its pages' PageText, drawing from the
// given (already seeded) source. Returns the number of addresses used.
int64_t DistributeLinks(TSiteGenerator& generator, TRandomSource& random);

}  // namespace orvana
