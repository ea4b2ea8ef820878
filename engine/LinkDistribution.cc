#include "engine/LinkDistribution.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

#include "engine/Error.h"
#include "engine/Processors.h"
#include "engine/ReplaceAll.h"
#include "engine/SafeLinks.h"
#include "engine/UrlSafety.h"

namespace orvana {
namespace {

// The high bit of each byte of the eight at `p` (in memory order, lowest
// first) that is a blank or a CR. Exact for every byte: no carry crosses
// from one byte into the next.
static_assert(std::endian::native == std::endian::little,
              "SeparatorMask counts bytes from the low end");

uint64_t SeparatorMask(const char* p) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  uint64_t x;
  std::memcpy(&x, p, sizeof x);
  auto zero_bytes = [](uint64_t y) { return ~(((y & kLow7) + kLow7) | y | kLow7); };
  return zero_bytes(x ^ (kOnes * ' ')) | zero_bytes(x ^ (kOnes * '\r'));
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ORVANA_LINK_WIDE 1

bool WideSeparatorsAvailable() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
}

// Calls end_word at each blank and CR of data[0, size) in 64-byte groups;
// returns where the groups end.
template <typename TEndWord>
__attribute__((target("avx512f,avx512bw"))) size_t WideSeparators(const char* data, size_t size,
                                                                  TEndWord& end_word) {
  size_t i = 0;
  for (; i + 64 <= size; i += 64) {
    const __m512i v = _mm512_loadu_si512(data + i);
    uint64_t mask = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(' ')) |
                    _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\r'));
    while (mask != 0) {
      end_word(i + static_cast<size_t>(__builtin_ctzll(mask)));
      mask &= mask - 1;
    }
  }
  return i;
}

// Sixty-four starting places at a time from `from` while the text lasts for
// them: the first place where the word stands, or nullptr with `from` moved
// past the places looked at (the rest is for the caller to search).
__attribute__((target("avx512f,avx512bw"))) const char* WideFind(const char*& from, const char* end,
                                                                 std::string_view word) {
  const size_t m = word.size();
  const __m512i first = _mm512_set1_epi8(word[0]), last = _mm512_set1_epi8(word[m - 1]);
  while (static_cast<size_t>(end - from) >= m - 1 + 64) {
    uint64_t mask = _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(from), first) &
                    _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(from + m - 1), last);
    while (mask != 0) {
      const char* at = from + __builtin_ctzll(mask);
      if (std::memcmp(at + 1, word.data() + 1, m - 2) == 0) return at;
      mask &= mask - 1;
    }
    from += 64;
  }
  return nullptr;
}
#endif

// Boyer-Moore-Horspool search for one short word (at most 255 bytes), which
// skips most bytes of a natural-language text.
class TWordSearch {
 public:
  explicit TWordSearch(std::string_view word) : word_(word) {
    const size_t m = word.size();
    shift_.fill(static_cast<uint8_t>(m));
    for (size_t i = 0; i + 1 < m; ++i)
      shift_[static_cast<unsigned char>(word[i])] = static_cast<uint8_t>(m - 1 - i);
  }

  // The first occurrence in [from, end), or nullptr.
  const char* Find(const char* from, const char* end) const {
    const size_t m = word_.size();
    const char last = word_[m - 1];
#if ORVANA_LINK_WIDE
    static const bool wide = WideSeparatorsAvailable();
    if (wide && m >= 2) {
      if (const char* at = WideFind(from, end, word_)) return at;
    }
#endif
#if defined(__SSE2__)
    // Sixteen starting places at a time: those where both the word's first
    // and its last byte stand are compared whole. In a text of words over
    // one alphabet few places pass both tests.
    if (m >= 2) {
      const __m128i first_bytes = _mm_set1_epi8(word_[0]);
      const __m128i last_bytes = _mm_set1_epi8(last);
      while (static_cast<size_t>(end - from) >= m - 1 + 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + m - 1));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(a, first_bytes), _mm_cmpeq_epi8(b, last_bytes))));
        while (mask != 0) {
          const char* at = from + std::countr_zero(mask);
          if (std::memcmp(at + 1, word_.data() + 1, m - 2) == 0) return at;
          mask &= mask - 1;
        }
        from += 16;
      }
    }
#endif
    while (static_cast<size_t>(end - from) >= m) {
      const char c = from[m - 1];
      if (c == last && std::memcmp(from, word_.data(), m - 1) == 0) return from;
      from += shift_[static_cast<unsigned char>(c)];
    }
    return nullptr;
  }

 private:
  std::string_view word_;
  std::array<uint8_t, 256> shift_;
};

// a + b and a * b, held at UINT64_MAX instead of wrapping round.
uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
  uint64_t sum;
  return __builtin_add_overflow(a, b, &sum) ? UINT64_MAX : sum;
}
uint64_t SaturatingMul(uint64_t a, uint64_t b) {
  uint64_t product;
  return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

size_t CountBytes(std::string_view text, std::string_view pattern) {
  size_t count = 0;
  const char* end = text.data() + text.size();
  for (const char* p = FindBytes(text.data(), end, pattern); p;
       p = FindBytes(p + pattern.size(), end, pattern))
    ++count;
  return count;
}

[[noreturn]] void RefuseOversizedPage(int page, uint64_t page_bytes, uint64_t held,
                                      uint64_t budget) {
  const std::string file = page == 0 ? "index.html" : "page" + std::to_string(page) + ".html";
  std::string message = "Page " + std::to_string(page) + " (\"" + file + "\") would be at least " +
                        std::to_string(page_bytes) + " bytes with its links";
  if (held > 0) message += ", the pages before it " + std::to_string(held) + " bytes";
  message += ": more than the " + std::to_string(budget) +
             " bytes of memory the build may use for the linked text; use fewer link "
             "addresses or safe links";
  throw EOrvanaError(message);
}

}  // namespace

int64_t LinkQuota(int64_t addresses, int64_t pages) {
  return pages < 3 ? addresses : addresses / (pages - 1);
}

void ChooseUniformSubset(size_t n, size_t k, TRandomSource& random, std::vector<uint8_t>& chosen) {
  k = std::min(n, k);
  chosen.assign(n, k == n ? 1 : 0);
  if (k == n) return;
  for (size_t j = n - k; j < n; ++j) {
    const size_t t = static_cast<size_t>(random.Uniform(j + 1));
    chosen[chosen[t] ? j : t] = 1;
  }
}

TLinkPlacer::TLinkPlacer(const TStringList& addresses, int64_t page_count, TRandomSource& random,
                         std::string rel)
    : addresses_(addresses),
      random_(random),
      quota_(LinkQuota(static_cast<int64_t>(addresses.size()), page_count)),
      rel_(std::move(rel)) {}

size_t TLinkPlacer::Choose(size_t candidates) {
  const size_t k = std::min(candidates, static_cast<size_t>(quota_));
  ChooseUniformSubset(candidates, k, random_, chosen_);
  return k;
}

void TLinkPlacer::UseAddress(int page, int64_t links) {
  if (log_) log_->push_back({link_index_, page, links});
  ++link_index_;
}

void TLinkPlacer::AppendLink(std::string& out, std::string_view address,
                             std::string_view word) const {
  out += "<a href=\"";
  AppendHrefAddress(out, address);
  out += '"';
  AppendRelAttribute(out, rel_);
  out += '>';
  out += word;
  out += "</a>";
}

TLinkDistributor::TLinkDistributor(const TStringList& addresses, int64_t page_count,
                                   TRandomSource& random, std::string rel)
    : TLinkPlacer(addresses, page_count, random, std::move(rel)), budget_(UsableMemory() / 2) {}

void TLinkDistributor::LinkPage(std::string_view text, std::string& out) {
  const int page = BeginPage();
  page_bytes_ = text.size();
  if (!Placing()) {
    if (SaturatingAdd(held_, page_bytes_) > budget_)
      RefuseOversizedPage(page, page_bytes_, held_, budget_);
    out.assign(text);
    held_ += page_bytes_;
    return;
  }
  CollectWords(text);
  const size_t n = word_count_;
  Choose(n);

  segments_.clear();
  segments_.push_back({text, -1});
  links_.clear();
  link_uses_.clear();
  std::string link;
  for (size_t i = 0; i < n && Placing(); ++i) {
    if (!Chosen(i)) continue;
    const std::string_view word = words_[i];
    link.assign(1, ' ');
    AppendLink(link, NextAddress(), word);
    link += ' ';
    UseAddress(page, Replace(page, word, link));
  }

  size_t size = 0;
  for (const TSegment& s : segments_)
    size += s.link < 0 ? s.original.size() : links_[static_cast<size_t>(s.link)].size();
  // A page no word was linked on is measured here.
  if (SaturatingAdd(held_, size) > budget_) RefuseOversizedPage(page, size, held_, budget_);
  held_ += size;
  out.clear();
  out.reserve(size);
  for (const TSegment& s : segments_) {
    if (s.link < 0)
      out += s.original;
    else
      out += links_[static_cast<size_t>(s.link)];
  }
}

void TLinkDistributor::CollectWords(std::string_view text) {
  // The blanks and CRs are found sixteen (or eight) bytes at a time; each
  // one ends the word that began after the one before it. Every word is
  // written down and only those of a candidate's length are counted, so the
  // lengths, which follow no pattern, decide no branch.
  const char* const data = text.data();
  const size_t size = text.size();
  const size_t most = size / (kShortestLinkWord + 1) + 2;
  if (words_.size() < most) words_.resize(most);
  std::string_view* const words = words_.data();
  size_t count = 0;
  size_t word_start = 0;
  auto end_word = [&](size_t at) {
    const size_t len = at - word_start;
    words[count] = std::string_view(data + word_start, len);
    count += len - kShortestLinkWord <= kLongestLinkWord - kShortestLinkWord;
    word_start = at + 1;
  };
  size_t i = 0;
#if ORVANA_LINK_WIDE
  // Sixty-four bytes at a time where the processor can: fewer groups, so
  // fewer mispredicted ends of the loop over a group's separators.
  static const bool wide = WideSeparatorsAvailable();
  if (wide) i = WideSeparators(data, size, end_word);
#endif
#if defined(__SSE2__)
  const __m128i blank = _mm_set1_epi8(' '), cr = _mm_set1_epi8('\r');
  for (; i + 16 <= size; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, blank), _mm_cmpeq_epi8(v, cr))));
    while (mask != 0) {
      end_word(i + static_cast<size_t>(std::countr_zero(mask)));
      mask &= mask - 1;
    }
  }
#endif
  for (; i + 8 <= size; i += 8) {
    uint64_t mask = SeparatorMask(data + i);
    while (mask != 0) {
      end_word(i + static_cast<size_t>(__builtin_ctzll(mask) >> 3));
      mask &= mask - 1;
    }
  }
  for (; i < size; ++i)
    if (data[i] == ' ' || data[i] == '\r') end_word(i);
  word_count_ = count;
}

int64_t TLinkDistributor::Replace(int page, std::string_view word, const std::string& link) {
  // Replacing every occurrence in the whole text equals replacing it in each
  // segment: a word holds no blank, and every link begins and ends with one,
  // so no occurrence reaches across a segment's border; two runs of original
  // text are never neighbours. An occurrence inside an earlier link nests the
  // new link inside it, as the whole-text replacement does.
  const TWordSearch search(word);
  const uint64_t growth = link.size() - word.size();
  // What the word adds is counted before anything is replaced: a link
  // standing at several places is one string, and each of its places gains
  // the occurrences it holds.
  int64_t inserted = 0;
  uint64_t page_bytes = page_bytes_;
  link_hits_.assign(links_.size(), 0);
  for (size_t e = 0; e < links_.size(); ++e) {
    const size_t hits = CountBytes(links_[e], word);
    if (hits == 0) continue;
    link_hits_[e] = hits;
    inserted += static_cast<int64_t>(hits) * link_uses_[e];
    page_bytes = SaturatingAdd(page_bytes, SaturatingMul(SaturatingMul(hits, growth),
                                                         static_cast<uint64_t>(link_uses_[e])));
  }
  next_segments_.clear();
  int64_t new_link = -1;
  int64_t new_uses = 0;
  for (const TSegment& s : segments_) {
    if (s.link >= 0) {
      next_segments_.push_back(s);
      continue;
    }
    const char* p = s.original.data();
    const char* end = p + s.original.size();
    const char* hit = search.Find(p, end);
    if (!hit) {
      next_segments_.push_back(s);
      continue;
    }
    if (new_link < 0) new_link = static_cast<int64_t>(links_.size());
    while (hit) {
      if (hit > p)
        next_segments_.push_back({std::string_view(p, static_cast<size_t>(hit - p)), -1});
      next_segments_.push_back({{}, new_link});
      ++new_uses;
      p = hit + word.size();
      hit = search.Find(p, end);
    }
    if (p < end) next_segments_.push_back({std::string_view(p, static_cast<size_t>(end - p)), -1});
  }
  page_bytes = SaturatingAdd(page_bytes, SaturatingMul(static_cast<uint64_t>(new_uses), growth));
  if (SaturatingAdd(held_, page_bytes) > budget_)
    RefuseOversizedPage(page, page_bytes, held_, budget_);
  page_bytes_ = page_bytes;
  for (size_t e = 0; e < links_.size(); ++e)
    if (link_hits_[e] != 0) ReplaceAllInPlace(links_[e], word, link);
  if (new_link >= 0) {
    links_.push_back(link);
    link_uses_.push_back(new_uses);
  }
  inserted += new_uses;
  segments_.swap(next_segments_);
  return inserted;
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
