#include "LinkDistribution.h"

#include <string>
#include <string_view>
#include <vector>

#include "TemplateProcessing.h"
#include "UrlSafety.h"

namespace orvana {

int64_t LinkQuota(int64_t addresses, int64_t pages) {
  return pages < 3 ? addresses : addresses / (pages - 1);
}

int64_t DistributeLinks(TSiteGenerator& generator, TRandomSource& random) {
  const TStringList& urls = generator.SiteUrlsToLink();
  const int64_t u = static_cast<int64_t>(urls.size());
  TSitePages& pages = generator.Pages();
  const int64_t quota = LinkQuota(u, pages.Count());
  int64_t link_index = 0;
  std::vector<std::string_view> words;
  std::vector<std::string_view> kept;
  std::string link;
  for (int p = 0; p < pages.Count() && link_index < u && quota > 0; ++p) {
    TSitePage& page = pages[p];
    // The word list is cut from the text as it stands before any link of this
    // page goes in; a CR counts as a blank, so no copy of the text is needed.
    const std::string original = page.PageText;
    words.clear();
    size_t word_start = 0;
    for (size_t i = 0; i < original.size(); ++i) {
      const char c = original[i];
      if (c == ' ' || c == '\r') {
        const size_t len = i - word_start;
        if (len >= kShortestLinkWord && len <= kLongestLinkWord)
          words.emplace_back(original.data() + word_start, len);
        word_start = i + 1;
      }
    }
    // Thinning to the quota by repeated uniform removal leaves a uniformly
    // chosen subset of that size in text order; selection sampling draws the
    // same distribution in one pass.
    kept.clear();
    if (static_cast<int64_t>(words.size()) <= quota) {
      kept = words;
    } else {
      uint64_t needed = static_cast<uint64_t>(quota);
      uint64_t remaining = words.size();
      for (size_t i = 0; i < words.size() && needed > 0; ++i, --remaining) {
        if (random.Uniform(remaining) < needed) {
          kept.push_back(words[i]);
          --needed;
        }
      }
    }
    for (std::string_view word : kept) {
      if (link_index >= u) break;
      const std::string& address = urls[static_cast<size_t>(link_index)];
      link.clear();
      link += " <a href=\"";
      AppendHrefAddress(link, address);
      link += "\">";
      link += word;
      link += "</a> ";
      ReplaceAllInPlace(page.PageText, word, link);
      ++link_index;
    }
  }
  return link_index;
}

}  // namespace orvana
