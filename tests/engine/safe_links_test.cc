// Safe links: over many random pages of words, tags, entities, comments,
// scripts and existing links, every inserted link wraps one whole word of
// plain text and nothing else changes.
#include "engine/SafeLinks.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "engine/LinkDistribution.h"
#include "tests/support/TestUtil.h"

namespace orvana {
namespace {

// The letters and digits of Windows-1251, spelt out independently of the
// code under test.
bool Letter(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0xC0 ||
         c == 0xA8 || c == 0xB8;
}

// A page with, for each byte, whether a link may ever cover it.
struct TPage {
  std::string text;
  std::vector<bool> open;
  void Add(std::string_view piece, bool may_link) {
    text.append(piece);
    open.insert(open.end(), piece.size(), may_link);
  }
};

std::string RandomWord(std::mt19937& rng) {
  static const std::string letters =
      "abcdefghijklmnopqrstuvwxyzABCZ0123456789" + test::W("абвгдеёжзийклмнопрстуфхцчшщъыьэюяЖЁ");
  std::string word;
  const int length = std::uniform_int_distribution<int>(1, 14)(rng);
  for (int i = 0; i < length; ++i)
    word += letters[std::uniform_int_distribution<size_t>(0, letters.size() - 1)(rng)];
  return word;
}

TPage RandomPage(std::mt19937& rng) {
  static const char* const kGaps[] = {" ",  ", ", ". ",     "\r",   "\r\r",  " (", ") ",
                                      "! ", "-",  " \x97 ", "\xAB", "\xBB ", "'",  "\""};
  TPage page;
  const int pieces = std::uniform_int_distribution<int>(1, 60)(rng);
  for (int i = 0; i < pieces; ++i) {
    const auto gap = [&] { page.Add(kGaps[rng() % std::size(kGaps)], true); };
    switch (rng() % 12) {
      case 0:
        page.Add("<span title=\"" + RandomWord(rng) + " " + RandomWord(rng) + "\">", false);
        break;
      case 1:
        page.Add("<a href=\"http://e/" + RandomWord(rng) + "\">" + RandomWord(rng) + " " +
                     RandomWord(rng) + "</a>",
                 false);
        gap();
        break;
      case 2:
        page.Add(rng() % 2 ? "&nbsp;" : "&#1234;", false);
        break;
      case 3:
        page.Add("<!-- " + RandomWord(rng) + " > " + RandomWord(rng) + " -->", false);
        break;
      case 4:
        page.Add("<img alt='" + RandomWord(rng) + " > " + RandomWord(rng) + "' src=\"a.png\">",
                 false);
        break;
      case 5:
        page.Add("<script>var " + RandomWord(rng) + "xxxxx = 1;</script>", false);
        break;
      case 6:
        page.Add(rng() % 2 ? "<b>" : "</b>", false);
        break;
      default:
        page.Add(RandomWord(rng), true);
        gap();
        break;
    }
  }
  return page;
}

// The whole words of plain text of the lengths that can be linked.
size_t CountCandidates(const TPage& page) {
  size_t count = 0;
  const std::string& t = page.text;
  for (size_t i = 0; i < t.size();) {
    if (!page.open[i] || !Letter(static_cast<unsigned char>(t[i]))) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < t.size() && page.open[j] && Letter(static_cast<unsigned char>(t[j]))) ++j;
    if (j - i >= 5 && j - i <= 20) ++count;
    i = j;
  }
  return count;
}

constexpr std::string_view kLinkStart = "<a href=\"http://link/";

// Checks the linked text against the page; returns the number of links.
size_t CheckLinks(const TPage& page, const std::string& out, const std::string& rel) {
  const std::string& in = page.text;
  size_t i = 0, o = 0, links = 0;
  std::set<std::string> addresses;
  while (o < out.size()) {
    if (out.compare(o, kLinkStart.size(), kLinkStart) == 0) {
      const size_t quote = out.find('"', o + 9);
      const std::string address = out.substr(o + 9, quote - o - 9);
      EXPECT_TRUE(addresses.insert(address).second) << "address twice: " << address;
      std::string head = "\"";
      if (!rel.empty()) head += " rel=\"" + rel + "\"";
      head += '>';
      EXPECT_EQ(out.compare(quote, head.size(), head), 0);
      const size_t word_begin = quote + head.size();
      const size_t close = out.find("</a>", word_begin);
      const std::string word = out.substr(word_begin, close - word_begin);
      EXPECT_GE(word.size(), 5u);
      EXPECT_LE(word.size(), 20u);
      EXPECT_EQ(in.compare(i, word.size(), word), 0) << word;
      for (size_t k = 0; k < word.size(); ++k) {
        EXPECT_TRUE(page.open[i + k]) << "link inside a tag, entity or link: " << word;
        EXPECT_TRUE(Letter(static_cast<unsigned char>(word[k]))) << "not a word: " << word;
      }
      EXPECT_TRUE(i == 0 || !Letter(static_cast<unsigned char>(in[i - 1]))) << "part of " << word;
      EXPECT_TRUE(i + word.size() == in.size() ||
                  !Letter(static_cast<unsigned char>(in[i + word.size()])))
          << "part of " << word;
      i += word.size();
      o = close + 4;
      ++links;
      continue;
    }
    if (i >= in.size() || in[i] != out[o]) {
      ADD_FAILURE() << "text changed at byte " << i;
      return links;
    }
    ++i;
    ++o;
  }
  EXPECT_EQ(i, in.size());
  return links;
}

TEST(SafeLinksTest, RandomPagesGetLinksOnlyOnWholeWordsOfPlainText) {
  std::mt19937 rng(20240611);
  for (int round = 0; round < 3000; ++round) {
    const TPage page = RandomPage(rng);
    TStringList addresses;
    const int count = static_cast<int>(rng() % 30);
    for (int a = 0; a < count; ++a) addresses.push_back("http://link/" + std::to_string(a));
    const std::string rel = round % 3 == 0 ? "nofollow" : "";
    TRandomSource random;
    random.Seed(static_cast<uint64_t>(round));
    TSafeLinkDistributor links(addresses, 1, random, rel);
    std::string out;
    links.LinkPage(page.text, out);
    const size_t placed = CheckLinks(page, out, rel);
    // With one page the quota is the address count: every candidate up to
    // it gets a link.
    EXPECT_EQ(placed, std::min(CountCandidates(page), static_cast<size_t>(count)))
        << "round " << round;
    EXPECT_EQ(links.LinksPlaced(), static_cast<int64_t>(placed));
    if (HasFailure()) break;
  }
}

TEST(SafeLinksTest, QuotaAndSeedAsTheClassicDistribution) {
  const std::string text = test::W("Первое слово, второе словечко и третье: большое окончание.");
  TStringList addresses = {"http://link/0", "http://link/1", "http://link/2", "http://link/3"};
  const auto run = [&](uint64_t seed, int64_t pages) {
    TRandomSource random;
    random.Seed(seed);
    TSafeLinkDistributor links(addresses, pages, random);
    std::string out;
    links.LinkPage(text, out);
    return out;
  };
  EXPECT_EQ(run(7, 5), run(7, 5));
  // Five pages: the quota is 4 / (5 - 1) = 1 link a page.
  size_t links = 0;
  const std::string one = run(7, 5);
  for (size_t at = one.find("<a "); at != std::string::npos; at = one.find("<a ", at + 1)) ++links;
  EXPECT_EQ(links, 1u);
  EXPECT_EQ(LinkQuota(4, 5), 1);
  // Punctuation stays outside: "окончание." becomes a link before the stop.
  TStringList one_address = {"u"};
  TRandomSource random;
  TSafeLinkDistributor last(one_address, 1, random);
  std::string out;
  last.LinkPage(test::W("конец, окончание."), out);
  EXPECT_TRUE(out == test::W("<a href=\"u\">конец</a>, окончание.") ||
              out == test::W("конец, <a href=\"u\">окончание</a>."))
      << out;
}

TEST(SafeLinksTest, RelIsEscapedAsAnAttribute) {
  std::string out;
  AppendRelAttribute(out, "a\"b&c<d>");
  EXPECT_EQ(out, " rel=\"a&quot;b&amp;c&lt;d&gt;\"");
  out.clear();
  AppendRelAttribute(out, "");
  EXPECT_EQ(out, "");
}

// Texts whose "words" a browser sees inside a tag, a script or a link (the
// page turns each CR CR into "</p><p>"): it is never a candidate.
TEST(SafeLinksTest, NoCandidateWhereABrowserSeesMarkup) {
  for (const char* text :
       {"<b a\"=x y=\">words\">", "<!\"><b title=\">words\">",
        "<script>x</script-x> words</script>", "<a href=x>y</a-x> words</a>",
        "<!x\r\r<script>x words</script>", "<b title=x\r\r<a href=y>z words</a>",
        "<!-- a\r\r words -->", "<b title=\"a\r\r words\">", "<a href=x><!-- </a> --> words</a>",
        "<a href=x>y</a\r\r words</a>", "<!-- x --!> <a href=y> z --> words</a>",
        "<script\r\r<a href=x>z</script> words</a>"}) {
    for (const TWordSpan& word : SafeLinkCandidates(text))
      EXPECT_NE(std::string_view(text).substr(word.offset, word.length), "words") << text;
  }
  // Plain text around such markup still counts.
  EXPECT_EQ(SafeLinkCandidates("<!-->words").size(), 1u);
  EXPECT_EQ(SafeLinkCandidates("<!-- x --!>words").size(), 1u);
  EXPECT_EQ(SafeLinkCandidates("<a-x>words</a-x>").size(), 1u);
}

// Every Cyrillic letter of the code page belongs to a word: Ukrainian,
// Belarusian, Serbian and Macedonian words are linked whole, never split.
TEST(SafeLinksTest, WordsOfEveryCyrillicLanguageStayWhole) {
  for (const char* word : {"Київщина", "світлина", "Ґаздиня", "бўльбачка", "Љубљана", "Ђурђевак",
                           "Ќерката", "Ѕвездата", "Џамија", "ЄвроЇжак"}) {
    const std::string text = test::W(word);
    const std::vector<TWordSpan> words = SafeLinkCandidates(text);
    ASSERT_EQ(words.size(), 1u) << word;
    EXPECT_EQ(words[0].offset, 0u) << word;
    EXPECT_EQ(words[0].length, text.size()) << word;
  }
  EXPECT_FALSE(IsWordByte(0xB5));  // the micro sign is no letter
}

}  // namespace
}  // namespace orvana
