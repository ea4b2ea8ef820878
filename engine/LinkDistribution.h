// Link distribution: randomly chosen words of the pages turned into links.
//
// Each address is used once, in list order, from the first page on. On each
// page the words of 5 to 20 bytes (split at blanks, a CR counting as a blank,
// the bytes after the last blank no word) are the candidates; a uniformly
// chosen subset of at most the quota of them, in text order, gets the next
// addresses, and every occurrence of such a word in the page's text, as the
// earlier words of the page left it, becomes ' <a href="ADDRESS">WORD</a> ',
// ADDRESS made safe for the attribute (AppendHrefAddress in UrlSafety.h). The
// quota is the address count for one or two pages, else the address count
// divided by (pages - 1).
//
// As a word is linked inside the links placed before it too, a page can grow
// far beyond its text. The distributor counts what each word adds before it
// adds it, and refuses a page whose linked text, with the pages before it,
// would pass the memory the build may use: nothing of that page is made.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Random.h"
#include "engine/StringList.h"

namespace orvana {

inline constexpr size_t kShortestLinkWord = 5;
inline constexpr size_t kLongestLinkWord = 20;

// The per-page quota for the given address and page counts.
int64_t LinkQuota(int64_t addresses, int64_t pages);

// Marks in `chosen` (resized to n) a uniformly chosen subset of min(n, k) of
// the positions 0 .. n - 1: what thinning a list of n words to k by repeated
// uniform removal keeps. Floyd's sampling draws one number per kept position,
// however large n is, and none when all are kept.
void ChooseUniformSubset(size_t n, size_t k, TRandomSource& random, std::vector<uint8_t>& chosen);

// One use of an address: the links it gave on one page. Every address the
// distribution uses up has one, also when its word no longer occurred and it
// gave no link.
struct TLinkPlacement {
  int64_t address = 0;  // index into the address list
  int page = 0;         // index of the page
  int64_t links = 0;    // the links inserted for it
};

// What both ways of placing links share: the addresses, used once each in
// list order from the first page on, the per-page quota, the uniform choice
// of a page's words, the placement log and the link's own markup.
class TLinkPlacer {
 public:
  // The addresses used so far, each counted once.
  int64_t LinksPlaced() const { return link_index_; }

  // Each address use from now on is appended to `log` (not owned; nullptr
  // stops the log).
  void SetPlacementLog(std::vector<TLinkPlacement>* log) { log_ = log; }

 protected:
  // `addresses` and `random` (already seeded) must outlive the object;
  // `page_count` is the number of pages of the site, which sets the quota.
  // `rel`, when not empty, gives every link ' rel="REL"' after its address.
  TLinkPlacer(const TStringList& addresses, int64_t page_count, TRandomSource& random,
              std::string rel);

  // Starts the next page; returns its index.
  int BeginPage() { return page_++; }
  // True while an address is left to place and the quota allows any.
  bool Placing() const {
    return link_index_ < static_cast<int64_t>(addresses_.size()) && quota_ > 0;
  }
  // Chooses which of a page's `candidates` words take the next addresses,
  // drawing as many numbers as the choice needs; Chosen(i) tells. Returns
  // how many are chosen.
  size_t Choose(size_t candidates);
  bool Chosen(size_t i) const { return chosen_[i] != 0; }
  // The address the next chosen word takes.
  std::string_view NextAddress() const { return addresses_[static_cast<size_t>(link_index_)]; }
  // Uses up the next address, which gave `links` links on page `page`.
  void UseAddress(int page, int64_t links);
  // Appends '<a href="ADDRESS" rel="REL">WORD</a>'.
  void AppendLink(std::string& out, std::string_view address, std::string_view word) const;

 private:
  const TStringList& addresses_;
  TRandomSource& random_;
  int64_t quota_;
  std::string rel_;
  int64_t link_index_ = 0;
  int page_ = 0;
  std::vector<TLinkPlacement>* log_ = nullptr;
  std::vector<uint8_t> chosen_;
};

// Spreads the addresses over the pages of a site, one page after the other.
class TLinkDistributor : public TLinkPlacer {
 public:
  // As TLinkPlacer.
  TLinkDistributor(const TStringList& addresses, int64_t page_count, TRandomSource& random,
                   std::string rel = {});

  // The next page's text with its links, built into `out` (old content
  // discarded). Pages must come in order, page 0 first; `text` may not lie
  // inside `out`. Draws from the random source only as many numbers as the
  // page's choice needs.
  void LinkPage(std::string_view text, std::string& out);

  // The most bytes the linked texts of all pages may take together; by
  // default half of UsableMemory() when the distributor is made, the rest
  // left for filling and writing the pages. A page that would pass it throws
  // EOrvanaError naming the page, its file and the size reached, before the
  // page is made; `out` and the pages before it stay as they were.
  void SetByteBudget(uint64_t bytes) { budget_ = bytes; }

 private:
  // One part of a page's linked text: a run of the original text, or a link.
  struct TSegment {
    std::string_view original;  // when link < 0
    int64_t link = -1;          // index into links_
  };
  // The candidates of the text into words_ and word_count_.
  void CollectWords(std::string_view text);
  // Replaces every occurrence on page `page`; returns how many there were.
  // Throws, changing nothing, when the page would pass the budget.
  int64_t Replace(int page, std::string_view word, const std::string& link);

  uint64_t budget_;
  // The bytes of the pages linked so far, and of the page being linked.
  uint64_t held_ = 0;
  uint64_t page_bytes_ = 0;
  // Reused from page to page: the page's candidates are the first
  // word_count_ of words_.
  std::vector<std::string_view> words_;
  size_t word_count_ = 0;
  std::vector<TSegment> segments_, next_segments_;
  std::vector<std::string> links_;
  // How many segments stand for each link of links_.
  std::vector<int64_t> link_uses_;
  // The occurrences of the word being linked in each string of links_.
  std::vector<size_t> link_hits_;
};

// Spreads the addresses over the given page texts in place, drawing from the
// (already seeded) source. Returns the number of addresses used.
int64_t DistributeLinks(std::vector<std::string>& page_texts, const TStringList& addresses,
                        TRandomSource& random);

}  // namespace orvana
