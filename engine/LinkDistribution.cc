#include "LinkDistribution.h"

#include <algorithm>

#include "ReplaceAll.h"
#include "UrlSafety.h"

namespace orvana {

int64_t LinkQuota(int64_t addresses, int64_t pages) {
  return pages < 3 ? addresses : addresses / (pages - 1);
}

TLinkDistributor::TLinkDistributor(const TStringList& addresses, int64_t page_count,
                                   TRandomSource& random)
    : addresses_(addresses),
      random_(random),
      quota_(LinkQuota(static_cast<int64_t>(addresses.size()), page_count)) {}

void TLinkDistributor::LinkPage(std::string_view text, std::string& out) {
  const int64_t u = static_cast<int64_t>(addresses_.size());
  if (link_index_ >= u || quota_ <= 0) {
    out.assign(text);
    return;
  }
  words_.clear();
  size_t word_start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\r') {
      const size_t len = i - word_start;
      if (len >= kShortestLinkWord && len <= kLongestLinkWord)
        words_.push_back(text.substr(word_start, len));
      word_start = i + 1;
    }
  }
  // Thinning to the quota by repeated uniform removal leaves a uniformly
  // chosen subset of that size, in text order. Floyd's sampling draws such a
  // subset with one number per kept word, however many words the page has.
  const size_t n = words_.size();
  const size_t k = std::min(n, static_cast<size_t>(quota_));
  chosen_.assign(n, k == n ? 1 : 0);
  if (k < n) {
    for (size_t j = n - k; j < n; ++j) {
      const size_t t = static_cast<size_t>(random_.Uniform(j + 1));
      chosen_[chosen_[t] ? j : t] = 1;
    }
  }

  segments_.clear();
  segments_.push_back({text, -1});
  links_.clear();
  std::string link;
  for (size_t i = 0; i < n && link_index_ < u; ++i) {
    if (!chosen_[i]) continue;
    const std::string_view word = words_[i];
    link.clear();
    link += " <a href=\"";
    AppendHrefAddress(link, addresses_[static_cast<size_t>(link_index_)]);
    link += "\">";
    link += word;
    link += "</a> ";
    Replace(word, link);
    ++link_index_;
  }

  size_t size = 0;
  for (const TSegment& s : segments_)
    size += s.link < 0 ? s.original.size() : links_[static_cast<size_t>(s.link)].size();
  out.clear();
  out.reserve(size);
  for (const TSegment& s : segments_) {
    if (s.link < 0)
      out += s.original;
    else
      out += links_[static_cast<size_t>(s.link)];
  }
}

void TLinkDistributor::Replace(std::string_view word, const std::string& link) {
  // Replacing every occurrence in the whole text equals replacing it in each
  // segment: a word holds no blank, and every link begins and ends with one,
  // so no occurrence reaches across a segment's border; two runs of original
  // text are never neighbours. An occurrence inside an earlier link nests the
  // new link inside it, as the whole-text replacement does.
  // A link standing at several places is one string, replaced once.
  for (std::string& earlier : links_) ReplaceAllInPlace(earlier, word, link);
  next_segments_.clear();
  int64_t new_link = -1;
  for (const TSegment& s : segments_) {
    if (s.link >= 0) {
      next_segments_.push_back(s);
      continue;
    }
    const char* p = s.original.data();
    const char* end = p + s.original.size();
    const char* hit = FindBytes(p, end, word);
    if (!hit) {
      next_segments_.push_back(s);
      continue;
    }
    if (new_link < 0) {
      links_.push_back(link);
      new_link = static_cast<int64_t>(links_.size()) - 1;
    }
    while (hit) {
      if (hit > p)
        next_segments_.push_back({std::string_view(p, static_cast<size_t>(hit - p)), -1});
      next_segments_.push_back({{}, new_link});
      p = hit + word.size();
      hit = FindBytes(p, end, word);
    }
    if (p < end) next_segments_.push_back({std::string_view(p, static_cast<size_t>(end - p)), -1});
  }
  segments_.swap(next_segments_);
}

int64_t DistributeLinks(std::vector<std::string>& page_texts, const TStringList& addresses,
                        TRandomSource& random) {
  TLinkDistributor distributor(addresses, static_cast<int64_t>(page_texts.size()), random);
  std::string linked;
  for (std::string& text : page_texts) {
    distributor.LinkPage(text, linked);
    text.swap(linked);
  }
  return distributor.LinksPlaced();
}

}  // namespace orvana
