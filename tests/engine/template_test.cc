#include "TemplateProcessing.h"

#include <gtest/gtest.h>

#include "Error.h"
#include "SiteGenerator.h"
#include "TestUtil.h"

namespace orvana {
namespace {

TEST(ReplaceAll, ReplacesEveryOccurrenceLeftToRight) {
  EXPECT_EQ(ReplaceAll("a-b-c", "-", "+"), "a+b+c");
  EXPECT_EQ(ReplaceAll("xabcy", "abc", "R"), "xRy");
  EXPECT_EQ(ReplaceAll("aaaa", "aa", "b"), "bb");     // no overlap
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("ab", "a", "aa"), "aab");      // inserted text not searched
  EXPECT_EQ(ReplaceAll("Word word", "word", "X"), "Word X");  // case-sensitive
}

TEST(ReplaceAll, EmptyTextOrPattern) {
  EXPECT_EQ(ReplaceAll("", "a", "b"), "");
  EXPECT_EQ(ReplaceAll("abc", "", "b"), "abc");
  EXPECT_EQ(ReplaceAll("abc", "abc", ""), "");
  EXPECT_EQ(ReplaceAll("abc", "abcd", "x"), "abc");
}

TEST(ReplaceAll, InPlaceMatchesTheCopyingForm) {
  std::string s = "one two one";
  EXPECT_EQ(ReplaceAllInPlace(s, "one", "1"), 2u);
  EXPECT_EQ(s, "1 two 1");
  EXPECT_EQ(ReplaceAllInPlace(s, "zzz", "1"), 0u);
  EXPECT_EQ(s, "1 two 1");
}

TEST(ParagraphText, CrPairsBecomeParagraphBreaks) {
  EXPECT_EQ(ParagraphText("A\rB\r"), "<p>A\rB\r</p>");
  EXPECT_EQ(ParagraphText("A\r\rB"), "<p>A</p><p>B</p>");
  EXPECT_EQ(ParagraphText("A\r\r\rB"), "<p>A</p><p>\rB</p>");
  EXPECT_EQ(ParagraphText("A\r\r\r\rB"), "<p>A</p><p></p><p>B</p>");
  EXPECT_EQ(ParagraphText(""), "<p></p>");
}

class TemplateTest : public testing::Test {
 protected:
  TemplateTest() {
    g_.AddPage("index");
    g_.Pages()[0].PageText = "text";
    g_.Pages()[0].Pagination = "BAR";
    g_.SetSiteMenu("MENU");
    g_.SetSiteTitle("Site");
  }
  std::string Fill(const std::string& tmpl) {
    g_.SetSiteTemplate(tmpl);
    g_.TemplateProcessing(0);
    return g_.Pages()[0].PageHTML;
  }
  TSiteGenerator g_;
};

TEST_F(TemplateTest, EveryPlaceholderIsFilled) {
  g_.SetSiteHeader("HEAD");
  g_.SetSiteFooter("FOOT");
  g_.SetAdsenseCode("ADS");
  EXPECT_EQ(Fill("[SiteGeneratorChange.Menu|SiteGeneratorChange.MainText|"
                 "SiteGeneratorChange.Pagination|SiteGeneratorChange.Header|"
                 "SiteGeneratorChange.Footer|SiteGeneratorChange.Adsense|"
                 "SiteGeneratorChange.Title]"),
            "[MENU|<p>text</p>|BAR|HEAD|FOOT|ADS|Site - index]");
}

TEST_F(TemplateTest, TemplateWithoutPlaceholdersIsCopied) {
  EXPECT_EQ(Fill("<html>\r</html>\r"), "<html>\r</html>\r");
  EXPECT_EQ(Fill(""), "");
}

TEST_F(TemplateTest, PlaceholdersAreMatchedExactlyAsSubstrings) {
  EXPECT_EQ(Fill("SiteGeneratorChange.Adsence sitegeneratorchange.Menu"),
            "SiteGeneratorChange.Adsence sitegeneratorchange.Menu");
  EXPECT_EQ(Fill("SiteGeneratorChange.MenuX"), "MENUX");
  EXPECT_EQ(Fill("SiteGeneratorChange.Title|SiteGeneratorChange.Title"),
            "Site - index|Site - index");
}

TEST_F(TemplateTest, LaterPlaceholdersInsideInsertedTextsAreFilled) {
  g_.Pages()[0].PageText = "SiteGeneratorChange.Title and SiteGeneratorChange.Menu";
  EXPECT_EQ(Fill("SiteGeneratorChange.MainText"), "<p>Site - index and SiteGeneratorChange.Menu</p>");
  g_.SetSiteHeader("SiteGeneratorChange.Footer");
  g_.SetSiteFooter("F");
  EXPECT_EQ(Fill("SiteGeneratorChange.Header"), "F");
  g_.SetAdsenseCode("SiteGeneratorChange.MainText SiteGeneratorChange.Title");
  EXPECT_EQ(Fill("SiteGeneratorChange.Adsense"), "SiteGeneratorChange.MainText Site - index");
}

TEST_F(TemplateTest, EmptyHalvesKeepTheSeparator) {
  g_.SetSiteTitle("");
  EXPECT_EQ(Fill("SiteGeneratorChange.Title"), " - index");
  EXPECT_EQ(Fill("SiteGeneratorChange.Header|SiteGeneratorChange.Footer"), "|");
}

TEST_F(TemplateTest, MarkupIsNotEscaped) {
  g_.Pages()[0].PageText = "a < b & <b>c</b>\r";
  EXPECT_EQ(Fill("SiteGeneratorChange.MainText"), "<p>a < b & <b>c</b>\r</p>");
}

TEST_F(TemplateTest, IndexOutOfRangeChangesNothing) {
  g_.Pages()[0].PageHTML = "old";
  EXPECT_THROW(g_.TemplateProcessing(1), EOrvanaError);
  EXPECT_THROW(g_.TemplateProcessing(-1), EOrvanaError);
  EXPECT_EQ(g_.Pages()[0].PageHTML, "old");
}

TEST(SetSiteTemplateFromStrings, EachLineFollowedByOneCr) {
  TSiteGenerator g;
  g.SetSiteTemplate("old");
  g.SetSiteTemplateFromStrings({"a", "b"});
  EXPECT_EQ(g.SiteTemplate(), "a\rb\r");
  g.SetSiteTemplateFromStrings({});
  EXPECT_EQ(g.SiteTemplate(), "");
}

}  // namespace
}  // namespace orvana
