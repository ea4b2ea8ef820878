#include "engine/Paging.h"

#include <gtest/gtest.h>

#include "engine/SiteGenerator.h"
#include "tests/support/TestUtil.h"

namespace orvana {
namespace {

using test::W;

// Runs the paging phase alone through Generate (no template, no links) and
// returns the page texts.
std::vector<std::string> Pages(const TStringList& lines, int32_t min, int32_t max) {
  TSiteGenerator g;
  g.SetSiteText(lines);
  g.SetMinCharsPerPage(min);
  g.SetMaxCharsPerPage(max);
  g.Generate();
  std::vector<std::string> texts;
  for (int i = 0; i < g.Pages().Count(); ++i) texts.push_back(g.Pages()[i].PageText);
  return texts;
}

using Texts = std::vector<std::string>;

TEST(Paging, JoinPutsOneCrAfterEveryLine) {
  EXPECT_EQ(JoinLinesWithCr({"X", "", "Y"}), "X\r\rY\r");
  EXPECT_EQ(JoinLinesWithCr({}), "");
  EXPECT_EQ(JoinLinesWithCr({""}), "\r");
}

// A full stop followed by a blank ends a page after the stop, and two CRs in a
// row (an empty line) end one between them; the blank or the second CR opens
// the next page.
TEST(Paging, CutsAtSentenceAndParagraphEnds) {
  EXPECT_EQ(Pages({"A. B", "", "C"}, 0, 100), (Texts{"A.", " B\r", "\rC"}));
}

// Without a break the text is cut every max bytes; the rest is the last page.
TEST(Paging, ForcedCutsLeaveTheRestForTheLastPage) {
  EXPECT_EQ(Pages({"abcdefghij"}, 0, 4), (Texts{"abcd", "efgh", "ij"}));
}

TEST(Paging, TextThatFitsStaysWholeWithoutItsFinalCr) {
  EXPECT_EQ(Pages({"abcdefghij"}, 4000, 5000), (Texts{"abcdefghij"}));
  const std::string big(3000, 'w');
  EXPECT_EQ(Pages({big}, 4000, 5000), (Texts{big}));
}

TEST(Paging, EmptyTexts) {
  EXPECT_EQ(Pages({}, 4000, 5000), (Texts{""}));
  EXPECT_EQ(Pages({""}, 4000, 5000), (Texts{""}));
  EXPECT_EQ(Pages({""}, 0, 0), (Texts{""}));  // L = 1: no step at all
}

TEST(Paging, FullStopAtLineEndIsNoBreak) {
  // Lines ending in a full stop: "." CR is no pair, so only the forced cut.
  EXPECT_EQ(Pages({"aaaa.", "bbbb.", "cccc."}, 0, 8), (Texts{"aaaa.\rbb", "bb.\rcccc", "."}));
}

TEST(Paging, QuestionAndExclamationMarksAreNoBreaks) {
  EXPECT_EQ(Pages({"ab? cd! ef"}, 0, 6), (Texts{"ab? cd", "! ef"}));
}

TEST(Paging, FirstBreakInsideTheWindowWins) {
  // Breaks after "a." (pos 3) and "b." (pos 6); with min 0 the first wins.
  EXPECT_EQ(Pages({"a. b. c"}, 0, 100), (Texts{"a.", " b.", " c"}));
}

TEST(Paging, WindowBoundsAreStrict) {
  // "abc. d": the pair ". " has its second byte at pos 5.
  // min 4: 4 + 1 < 5 is false at start 1 ... the pair at pos 5 = start + min
  // does not cut.
  EXPECT_EQ(Pages({"abc. def"}, 4, 100), (Texts{"abc. def"}));
  // min 3: pos 5 = start + min + 1 cuts, the page holds min + 1 bytes.
  EXPECT_EQ(Pages({"abc. def"}, 3, 100), (Texts{"abc.", " def"}));
  // max 4: pos 5 = start + max is outside the window; the forced cut falls at
  // the same place, one page of max bytes, not two cuts.
  EXPECT_EQ(Pages({"abc. def"}, 0, 4), (Texts{"abc.", " def"}));
}

TEST(Paging, TwoEmptyLinesCutBetweenTheFirstTwoCrs) {
  // "ab" CR CR CR "cd" CR: the cut falls between the first two CRs and the
  // next page begins with the two remaining ones; min 1 keeps them together.
  EXPECT_EQ(Pages({"ab", "", "", "cd"}, 1, 100), (Texts{"ab\r", "\r\rcd"}));
}

TEST(Paging, NoBreakAnywhereGivesPagesOfExactlyMax) {
  EXPECT_EQ(Pages({std::string(10, 'x')}, 1, 3), (Texts{"xxx", "xxx", "xxx", "x"}));
}

TEST(Paging, CyrillicIsCutByBytes) {
  EXPECT_EQ(Pages({W("абвгдеж")}, 0, 4), (Texts{W("абвг"), W("деж")}));
}

TEST(Paging, MinNotBelowMaxGivesOnlyForcedCuts) {
  EXPECT_EQ(Pages({"a. b. c. d"}, 5, 3), (Texts{"a. ", "b. ", "c. ", "d"}));
}

TEST(Paging, MaxZeroGivesEmptyFirstPageThenTheWholeText) {
  EXPECT_EQ(Pages({"a. b"}, 0, 0), (Texts{"", "a. b"}));
}

TEST(Paging, NegativeMaxNeverCuts) { EXPECT_EQ(Pages({"a. b. c"}, -10, -1), (Texts{"a. b. c"})); }

TEST(Paging, NegativeMinOpensTheWindowRightAfterStart) {
  // Every ". " pair cuts; position 1 is never a break.
  EXPECT_EQ(Pages({". . ."}, -5, 100), (Texts{".", " .", " ."}));
}

TEST(Paging, HugeBoundsDoNotOverflow) {
  EXPECT_EQ(Pages({"a. b"}, INT32_MAX, INT32_MAX), (Texts{"a. b"}));
  EXPECT_EQ(Pages({"a. b"}, INT32_MIN, INT32_MAX), (Texts{"a.", " b"}));
  EXPECT_EQ(Pages({"a. b"}, INT32_MIN, INT32_MIN), (Texts{"a. b"}));
}

TEST(Paging, TitlesAndFileNamesFollowTheIndex) {
  TSiteGenerator g;
  g.SetSiteText({"abcdefghij"});
  g.SetMaxCharsPerPage(4);
  g.Generate();
  ASSERT_EQ(g.Pages().Count(), 3);
  EXPECT_EQ(g.Pages()[0].PageTitle, "index");
  EXPECT_EQ(g.Pages()[0].PageUrl, "index.html");
  EXPECT_EQ(g.Pages()[1].PageTitle, W("Раздел 1"));
  EXPECT_EQ(g.Pages()[1].PageUrl, "page1.html");
  EXPECT_EQ(g.Pages()[2].PageTitle, W("Раздел 2"));
  EXPECT_EQ(g.Pages()[2].PageUrl, "page2.html");
}

TEST(Paging, PagesTogetherHoldTheWholeTextButTheFinalCr) {
  TStringList lines;
  std::string expected;
  for (int i = 0; i < 400; ++i) {
    lines.push_back("Sentence number " + std::to_string(i) + ". And another one here.");
    if (i % 7 == 0) lines.push_back("");
  }
  expected = JoinLinesWithCr(lines);
  expected.pop_back();
  for (auto [min, max] : {std::pair{0, 50}, {30, 70}, {200, 201}, {100, 90}}) {
    std::string joined;
    for (const auto& t : Pages(lines, min, max)) {
      EXPECT_LE(static_cast<int>(t.size()), max);
      joined += t;
    }
    EXPECT_EQ(joined, expected) << min << ".." << max;
  }
}

}  // namespace
}  // namespace orvana
