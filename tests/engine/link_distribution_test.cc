#include "engine/LinkDistribution.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/Error.h"
#include "engine/ReplaceAll.h"
#include "tests/support/TestUtil.h"

namespace orvana {
namespace {

using test::W;

std::string Link(const std::string& url, const std::string& word) {
  std::string link = " <a href=\"";
  link += url;
  link += "\">";
  link += word;
  link += "</a> ";
  return link;
}

std::string Quoted(const std::string& s) { return '"' + s + '"'; }

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class LinkTest : public testing::Test {
 protected:
  void SetPages(std::vector<std::string> texts) { texts_ = std::move(texts); }
  int64_t Distribute(uint64_t seed = 1) {
    rng_.Seed(seed);
    return DistributeLinks(texts_, urls_, rng_);
  }
  const std::string& Text(int i) { return texts_[static_cast<size_t>(i)]; }
  void SetUrls(TStringList urls) { urls_ = std::move(urls); }
  std::vector<std::string> texts_;
  TStringList urls_;
  TRandomSource rng_;
};

// With fewer than three pages every address may go on one page; otherwise the
// addresses are shared over all pages but one, rounding down.
TEST(LinkQuota, AllAddressesBelowThreePagesElseAddressesOverPagesLessOne) {
  EXPECT_EQ(LinkQuota(10, 3), 5);
  EXPECT_EQ(LinkQuota(10, 6), 2);
  EXPECT_EQ(LinkQuota(3, 5), 0);
  EXPECT_EQ(LinkQuota(7, 2), 7);
  EXPECT_EQ(LinkQuota(7, 1), 7);
  EXPECT_EQ(LinkQuota(4, 6), 0);
}

TEST_F(LinkTest, NoAddressesChangesNothing) {
  SetPages({"alpha bravo charlie delta "});
  EXPECT_EQ(Distribute(), 0);
  EXPECT_EQ(Text(0), "alpha bravo charlie delta ");
}

TEST_F(LinkTest, ZeroQuotaLinksNothingAlthoughThereAreAddresses) {
  SetUrls({"u1", "u2", "u3", "u4"});
  SetPages(std::vector<std::string>(6, "alpha bravo charlie delta "));
  EXPECT_EQ(Distribute(), 0);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Text(i), "alpha bravo charlie delta ");
}

TEST_F(LinkTest, OnePageTakesUpToTheAddressCount) {
  SetUrls({"u1", "u2", "u3"});
  SetPages({"alpha bravo charlie delta foxtrot golfer "});
  EXPECT_EQ(Distribute(), 3);
  EXPECT_EQ(Count(Text(0), "<a href="), 3u);
  // Addresses are used in list order along the text.
  const size_t a1 = Text(0).find("\"u1\""), a2 = Text(0).find("\"u2\""),
               a3 = Text(0).find("\"u3\"");
  EXPECT_LT(a1, a2);
  EXPECT_LT(a2, a3);
}

TEST_F(LinkTest, AddressesRunAcrossPagesInOrderAndRunOut) {
  TStringList urls;
  for (int i = 0; i < 10; ++i) urls.push_back(std::string(1, 'u') += std::to_string(i));
  SetUrls(urls);
  const std::string words = "alpha bravo charlie delta echoes foxtrot golfer hotel ";
  SetPages({words, words, words});
  EXPECT_EQ(Distribute(7), 10);
  for (int i = 0; i < 5; ++i) EXPECT_NE(Text(0).find(Quoted(urls[i])), std::string::npos);
  for (int i = 5; i < 10; ++i) EXPECT_NE(Text(1).find(Quoted(urls[i])), std::string::npos);
  EXPECT_EQ(Text(2), words);
}

TEST_F(LinkTest, MoreAddressesThanWordsLeavesTheRestUnused) {
  SetUrls({"u1", "u2", "u3", "u4", "u5"});
  SetPages({"alpha bravo "});
  EXPECT_EQ(Distribute(), 2);
  EXPECT_EQ(Text(0), Link("u1", "alpha") + " " + Link("u2", "bravo") + " ");
}

TEST_F(LinkTest, WordsAreCutAtBlanksAndCrsOnly) {
  SetUrls({"u1", "u2", "u3"});
  // "word," is one 5-byte word; "tail5" after the last blank is no word; the
  // CR ends "lineA" like a blank would.
  SetPages({"word, lineA\rtail5"});
  EXPECT_EQ(Distribute(), 2);
  EXPECT_EQ(Text(0), Link("u1", "word,") + " " + Link("u2", "lineA") + "\rtail5");
}

TEST_F(LinkTest, LengthBoundsAreInclusiveFiveToTwenty) {
  TStringList urls(10, "u");
  SetUrls(urls);
  const std::string w4 = "abcd", w5 = "abcde", w20(20, 'k'), w21(21, 'z');
  SetPages({w4 + " " + w5 + " " + w20 + " " + w21 + " "});
  EXPECT_EQ(Distribute(), 2);
  EXPECT_EQ(Text(0), w4 + " " + Link("u", w5) + " " + Link("u", w20) + " " + w21 + " ");
}

TEST_F(LinkTest, CyrillicLengthsCountBytes) {
  SetUrls({"u"});
  SetPages({W("слов слово ")});  // 4 and 5 letters
  EXPECT_EQ(Distribute(), 1);
  EXPECT_EQ(Text(0), W("слов ") + Link("u", W("слово")) + " ");
}

TEST_F(LinkTest, ReplacementIsCaseSensitiveAndCoversEveryOccurrence) {
  SetUrls({"u"});
  // Quota 1 with the one candidate list [Слово, слово, слово, слово]: whatever
  // is drawn, only its exact bytes become links.
  SetPages({W("Слово слово слово слово ")});
  EXPECT_EQ(Distribute(3), 1);
  const std::string upper = W("Слово"), lower = W("слово");
  const bool upper_linked = Text(0).find(Link("u", upper)) != std::string::npos;
  if (upper_linked) {
    EXPECT_EQ(Count(Text(0), lower), 3u);
    EXPECT_EQ(Count(Text(0), "<a href"), 1u);
  } else {
    EXPECT_EQ(Count(Text(0), "<a href"), 3u);  // all three occurrences, one address
    EXPECT_EQ(Text(0).substr(0, upper.size()), upper);
  }
}

TEST_F(LinkTest, KeptWordThreeTimesGivesThreeLinksToOneAddress) {
  SetUrls({"u1"});
  SetPages({"apple apple apple "});
  // Quota 1; every candidate is the same word.
  EXPECT_EQ(Distribute(), 1);
  EXPECT_EQ(Count(Text(0), Link("u1", "apple")), 3u);
}

TEST_F(LinkTest, AWordKeptTwiceNestsTheLinks) {
  SetUrls({"u1", "u2"});
  SetPages({"apple apple "});
  EXPECT_EQ(Distribute(), 2);
  const std::string inner = Link("u2", "apple");
  EXPECT_EQ(Text(0),
            ReplaceAll(Link("u1", "apple") + " " + Link("u1", "apple") + " ", "apple", inner));
}

TEST_F(LinkTest, ShorterWordLinkedFirstUsesUpTheLongerWordsAddress) {
  SetUrls({"u1", "u2"});
  SetPages({W("книга книгами ")});
  EXPECT_EQ(Distribute(), 2);
  EXPECT_EQ(Text(0), Link("u1", W("книга")) + " " + Link("u1", W("книга")) + W("ми "));
}

TEST_F(LinkTest, AddressesAreInsertedWithTheAttributeBreakingBytesEncoded) {
  SetUrls({"", "a \"b\""});
  SetPages({"alpha bravo "});
  EXPECT_EQ(Distribute(), 2);
  EXPECT_EQ(Text(0), Link("", "alpha") + " " + Link("a%20%22b%22", "bravo") + " ");
  // The project keeps the addresses as typed.
  EXPECT_EQ(urls_[1], "a \"b\"");
}

TEST_F(LinkTest, AnAddressCannotBreakOutOfItsAttribute) {
  SetUrls({"http://x.example/\"onmouseover=\"alert(1)", "http://y.example/'<b>'"});
  SetPages({"alpha bravo "});
  EXPECT_EQ(Distribute(), 2);
  EXPECT_EQ(Text(0), Link("http://x.example/%22onmouseover=%22alert(1)", "alpha") + " " +
                         Link("http://y.example/%27%3Cb%3E%27", "bravo") + " ");
}

TEST_F(LinkTest, PageWithoutBlanksHasNoWords) {
  SetUrls({"u1", "u2"});
  SetPages({"nowhitespaceatall", "alpha "});
  EXPECT_EQ(Distribute(), 1);
  EXPECT_EQ(Text(0), "nowhitespaceatall");
  EXPECT_EQ(Text(1), Link("u1", "alpha") + " ");
}

TEST_F(LinkTest, ThinningKeepsTextOrderAndIsUniform) {
  // Ten distinct candidates, quota 3 (3 addresses, one page). Every word must
  // be chosen about equally often, and links must appear in text order.
  const std::vector<std::string> words = {"word0", "word1", "word2", "word3", "word4",
                                          "word5", "word6", "word7", "word8", "word9"};
  std::string text;
  for (const auto& w : words) text += w + " ";
  SetUrls({"a", "b", "c"});
  std::map<std::string, int> chosen;
  const int kRuns = 6000;
  for (int run = 0; run < kRuns; ++run) {
    SetPages({text});
    ASSERT_EQ(Distribute(static_cast<uint64_t>(run) + 1000), 3);
    size_t last = 0;
    for (const char* url : {"\"a\"", "\"b\"", "\"c\""}) {
      const size_t at = Text(0).find(url);
      ASSERT_NE(at, std::string::npos);
      ASSERT_GT(at, last);
      last = at;
    }
    for (const auto& w : words)
      if (Text(0).find(">" + w + "<") != std::string::npos) ++chosen[w];
  }
  // Expected 1800 each; a biased draw (always the first three, say) is far off.
  for (const auto& w : words) {
    EXPECT_GT(chosen[w], 1650) << w;
    EXPECT_LT(chosen[w], 1950) << w;
  }
}

TEST_F(LinkTest, SameSeedSameChoiceDifferentSeedsDiffer) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += "word" + std::to_string(1000 + i) + " ";
  SetUrls({"u1", "u2", "u3"});
  SetPages({text});
  Distribute(42);
  const std::string first = Text(0);
  SetPages({text});
  Distribute(42);
  EXPECT_EQ(Text(0), first);
  int differing = 0;
  for (uint64_t seed = 1; seed <= 5; ++seed) {
    SetPages({text});
    Distribute(seed);
    differing += Text(0) != first;
  }
  EXPECT_GE(differing, 4);
}

}  // namespace
}  // namespace orvana

namespace orvana {
namespace {

// The linking step written out as in its definition: each kept word, in
// order, replaced over the whole text as the earlier words left it.
std::string ReferenceLinks(const std::string& text, const TStringList& urls) {
  std::vector<std::string> words;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != ' ' && text[i] != '\r') continue;
    if (i - start >= 5 && i - start <= 20) words.push_back(text.substr(start, i - start));
    start = i + 1;
  }
  std::string out = text;
  for (size_t i = 0; i < words.size() && i < urls.size(); ++i)
    out = ReplaceAll(out, words[i], Link(urls[i], words[i]));
  return out;
}

TEST(LinkDistributor, EqualsWholeTextReplacementWordAfterWord) {
  // Words that lie inside one another, repeat, and stand inside the
  // addresses, so links nest and later words cut into earlier links. With
  // one page and as many addresses as words every candidate is kept, so no
  // draw decides anything and the bytes must be those of the definition.
  const std::vector<std::string> bits = {"apple", "apples", "pineapple", "appleapple", " ",
                                         " ",     "\r",     "\r\r",      "href=",      "a>",
                                         "books", "book",   "kbook",     "x",          "</a>"};
  TRandomSource rng;
  rng.Seed(5);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    // Long texts too, so that the search runs sixteen places at a time.
    const uint64_t n = rng.Uniform(round % 2 ? 14 : 60);
    for (uint64_t i = 0; i < n; ++i) text += bits[rng.Uniform(bits.size())];
    TStringList urls;
    for (int i = 0; i < 20; ++i)
      urls.push_back(
          std::string(i % 3 == 0 ? "http://apple.example/" : "u").append(std::to_string(i)));
    std::vector<std::string> pages = {text};
    TRandomSource draws;
    DistributeLinks(pages, urls, draws);
    ASSERT_EQ(pages[0], ReferenceLinks(text, urls)) << "text [" << text << "]";
  }
}

TEST(LinkDistributor, EverySubsetOfTheQuotaIsEquallyLikely) {
  // Five distinct candidates, quota 2: each of the ten pairs must come up
  // about a tenth of the time over many seeds. A draw that is uniform word by
  // word but favours some pairs (say, neighbours) fails here.
  const std::vector<std::string> words = {"word0", "word1", "word2", "word3", "word4"};
  std::string text;
  for (const auto& w : words) text += w + " ";
  const TStringList urls = {"a", "b"};
  std::map<std::pair<int, int>, int> pairs;
  const int kRuns = 10000;
  for (int run = 0; run < kRuns; ++run) {
    std::vector<std::string> pages = {text};
    TRandomSource rng;
    rng.Seed(static_cast<uint64_t>(run) * 7919 + 1);
    ASSERT_EQ(DistributeLinks(pages, urls, rng), 2);
    std::vector<int> linked;
    for (int w = 0; w < 5; ++w)
      if (pages[0].find(">" + words[static_cast<size_t>(w)] + "<") != std::string::npos)
        linked.push_back(w);
    ASSERT_EQ(linked.size(), 2u);
    // The first address goes to the earlier word: text order is kept.
    ASSERT_LT(pages[0].find("\"a\""), pages[0].find("\"b\""));
    ++pairs[{linked[0], linked[1]}];
  }
  ASSERT_EQ(pairs.size(), 10u);
  // Expected 1000 each, standard deviation 30.
  for (const auto& [pair, count] : pairs) {
    EXPECT_GT(count, 870) << pair.first << "," << pair.second;
    EXPECT_LT(count, 1130) << pair.first << "," << pair.second;
  }
}

TEST(LinkDistributor, PagesAfterTheLastAddressAreCopiedUnchanged) {
  TStringList urls = {"u1"};
  TRandomSource rng;
  TLinkDistributor links(urls, 2, rng);
  std::string out = "stale";
  links.LinkPage("alpha bravo ", out);
  EXPECT_EQ(links.LinksPlaced(), 1);
  links.LinkPage("charlie delta ", out);
  EXPECT_EQ(out, "charlie delta ");
  EXPECT_EQ(links.LinksPlaced(), 1);
}

// Links every page of `texts` with a fresh distributor of the given budget,
// seeded alike; returns the pages' total size, or the page that was refused.
struct TBudgetRun {
  uint64_t total = 0;
  int last_nonempty = -1;
  int refused = -1;
  std::string message;
};
TBudgetRun LinkWithBudget(const std::vector<std::string>& texts, const TStringList& urls,
                          uint64_t budget, uint64_t seed) {
  TRandomSource rng;
  rng.Seed(seed);
  TLinkDistributor links(urls, static_cast<int64_t>(texts.size()), rng);
  links.SetByteBudget(budget);
  TBudgetRun run;
  std::string out;
  for (size_t i = 0; i < texts.size(); ++i) {
    try {
      links.LinkPage(texts[i], out);
    } catch (const EOrvanaError& e) {
      run.refused = static_cast<int>(i);
      run.message = e.what();
      return run;
    }
    run.total += out.size();
    if (!out.empty()) run.last_nonempty = static_cast<int>(i);
  }
  return run;
}

TEST(LinkDistributor, TheBudgetIsCheckedAgainstTheExactSizeBeforeAPageIsMade) {
  // Nesting words and addresses that hold the words make pages grow far
  // beyond their texts. Whatever the growth, the size counted before a
  // page is made must be the size it then has: a budget of exactly the
  // site's linked size passes, one byte less refuses the page that passes
  // it, naming it, and nothing is refused early.
  const std::vector<std::string> bits = {"apple", "apples", "pineapple", " ", " ",         "\r",
                                         "books", "kbook",  "href=",     "x", "appleapple"};
  TRandomSource rng;
  rng.Seed(11);
  for (int round = 0; round < 400; ++round) {
    std::vector<std::string> texts(1 + rng.Uniform(4));
    for (std::string& text : texts)
      for (uint64_t i = rng.Uniform(40); i > 0; --i) text += bits[rng.Uniform(bits.size())];
    TStringList urls;
    for (uint64_t i = rng.Uniform(30); i > 0; --i)
      urls.push_back(i % 2 ? "http://apple.example/books/" + std::to_string(i) : "u");
    const TBudgetRun free_run = LinkWithBudget(texts, urls, UINT64_MAX, 3);
    ASSERT_EQ(free_run.refused, -1);
    const TBudgetRun exact = LinkWithBudget(texts, urls, free_run.total, 3);
    ASSERT_EQ(exact.refused, -1) << exact.message;
    if (free_run.total == 0) continue;
    const TBudgetRun tight = LinkWithBudget(texts, urls, free_run.total - 1, 3);
    ASSERT_EQ(tight.refused, free_run.last_nonempty) << tight.message;
    const std::string file = tight.refused == 0
                                 ? "\"index.html\""
                                 : "\"page" + std::to_string(tight.refused) + ".html\"";
    EXPECT_NE(tight.message.find(file), std::string::npos) << tight.message;
  }
}

TEST(LinkDistributor, AWordInsideEveryLinkIsRefusedBeforeTheGrowthIsMade) {
  // Every address holds the next words, so each word multiplies the page:
  // the distributor refuses it while it holds only a few kilobytes.
  std::string text;
  for (int i = 0; i < 40; ++i) text += "wordx" + std::to_string(i % 10) + " ";
  TStringList urls;
  for (int i = 0; i < 40; ++i) urls.push_back("wordx0wordx1wordx2wordx3wordx4wordx5wordx6wordx7");
  TRandomSource rng;
  TLinkDistributor links(urls, 1, rng);
  links.SetByteBudget(1 << 20);
  std::string out;
  try {
    links.LinkPage(text, out);
    FAIL() << "a page of " << out.size() << " bytes was made";
  } catch (const EOrvanaError& e) {
    EXPECT_NE(std::string(e.what()).find("Page 0 (\"index.html\") would be at least"),
              std::string::npos)
        << e.what();
    EXPECT_TRUE(out.empty());
  }
}

}  // namespace
}  // namespace orvana
