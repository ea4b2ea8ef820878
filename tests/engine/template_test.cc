#include "engine/TemplateProcessing.h"

#include <gtest/gtest.h>

#include "engine/Error.h"
#include "engine/Random.h"
#include "engine/ReplaceAll.h"
#include "engine/SiteGenerator.h"
#include "tests/support/TestUtil.h"

namespace orvana {
namespace {

TEST(ReplaceAll, ReplacesEveryOccurrenceLeftToRight) {
  EXPECT_EQ(ReplaceAll("a-b-c", "-", "+"), "a+b+c");
  EXPECT_EQ(ReplaceAll("xabcy", "abc", "R"), "xRy");
  EXPECT_EQ(ReplaceAll("aaaa", "aa", "b"), "bb");  // no overlap
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("ab", "a", "aa"), "aab");              // inserted text not searched
  EXPECT_EQ(ReplaceAll("Word word", "word", "X"), "Word X");  // case-sensitive
}

TEST(ReplaceAll, EmptyTextOrPattern) {
  EXPECT_EQ(ReplaceAll("", "a", "b"), "");
  EXPECT_EQ(ReplaceAll("abc", "", "b"), "abc");
  EXPECT_EQ(ReplaceAll("abc", "abc", ""), "");
  EXPECT_EQ(ReplaceAll("abc", "abcd", "x"), "abc");
}

// The search looks for the pattern's first byte and hands over to memmem
// once that byte proves common; texts over two- and three-letter alphabets
// take both paths, and the hits must be where std::string_view puts them.
TEST(FindBytes, FindsWhatStringViewFindsOnCommonAndRareFirstBytes) {
  TRandomSource random;
  random.Seed(7);
  for (int round = 0; round < 4000; ++round) {
    const char* alphabet = round % 2 ? "ab" : "abc\r";
    const size_t letters = round % 2 ? 2 : 4;
    std::string text(random.Uniform(600), 'x');
    for (char& c : text)
      if (random.Uniform(8) != 0 || round % 3 == 0) c = alphabet[random.Uniform(letters)];
    std::string pattern(1 + random.Uniform(5), 'a');
    for (char& c : pattern) c = alphabet[random.Uniform(letters)];
    const size_t from = text.empty() ? 0 : random.Uniform(text.size() + 1);
    const char* hit = FindBytes(text.data() + from, text.data() + text.size(), pattern);
    const size_t expected = std::string_view(text).find(pattern, from);
    ASSERT_EQ(hit ? static_cast<size_t>(hit - text.data()) : std::string_view::npos, expected)
        << "text " << text << " pattern " << pattern << " from " << from;
  }
  const std::string text = std::string(5000, 'a') + "ab";
  EXPECT_EQ(FindBytes(text.data(), text.data() + text.size(), "ab"), text.data() + 5000);
  EXPECT_EQ(FindBytes(text.data(), text.data() + text.size(), "b"), text.data() + 5001);
  EXPECT_EQ(FindBytes(text.data(), text.data() + text.size(), "aab"), text.data() + 4999);
  EXPECT_EQ(FindBytes(text.data(), text.data() + text.size(), "ba"), nullptr);
  EXPECT_EQ(FindBytes(text.data(), text.data() + 3, ""), text.data());
}

TEST(ReplaceAll, InPlaceMatchesTheCopyingForm) {
  std::string s = "one two one";
  EXPECT_EQ(ReplaceAllInPlace(s, "one", "1"), 2u);
  EXPECT_EQ(s, "1 two 1");
  EXPECT_EQ(ReplaceAllInPlace(s, "zzz", "1"), 0u);
  EXPECT_EQ(s, "1 two 1");
}

TEST(ParagraphText, SizeIsCountedWithoutBuilding) {
  for (const std::string text : {"", "A", "A\rB\r", "A\r\rB", "A\r\r\rB", "A\r\r\r\rB", "\r\r",
                                 "\r\r\r\r\r", "x\r\ry\r\rz\r"})
    EXPECT_EQ(ParagraphTextSize(text), ParagraphText(text).size()) << text.size();
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
  EXPECT_EQ(Fill("SiteGeneratorChange.MainText"),
            "<p>Site - index and SiteGeneratorChange.Menu</p>");
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

namespace orvana {
namespace {

// The template steps written out as plain successive replacements over the
// whole page: the faster builder must give the same bytes.
std::string ReferenceFill(const TSiteGenerator& g, const TSitePage& page) {
  std::string html = ReplaceAll(g.SiteTemplate(), kMenuPlaceholder, g.SiteMenu());
  html = ReplaceAll(html, kMainTextPlaceholder, ParagraphText(page.PageText));
  html = ReplaceAll(html, kPaginationPlaceholder, page.Pagination);
  html = ReplaceAll(html, kHeaderPlaceholder, g.SiteHeader());
  html = ReplaceAll(html, kFooterPlaceholder, g.SiteFooter());
  html = ReplaceAll(html, kAdsensePlaceholder, g.AdsenseCode());
  return ReplaceAll(html, kTitlePlaceholder, g.SiteTitle() + " - " + page.PageTitle);
}

TEST(IsInertText, OnlyTextsNoPlaceholderCanTouch) {
  EXPECT_TRUE(IsInertText("<ul>\r<li>x</li>\r</ul>"));
  EXPECT_TRUE(IsInertText("&lt; 1 &gt;"));
  EXPECT_FALSE(IsInertText(""));
  EXPECT_FALSE(IsInertText("<ul>SiteGeneratorChange.Title</ul>"));
  EXPECT_FALSE(IsInertText("Title</ul>"));  // may complete a placeholder before it
  EXPECT_FALSE(IsInertText("<ul>Site"));    // may begin one after it
}

TEST(FillTemplate, MatchesPlainSuccessiveReplacementOnAdversarialInputs) {
  // Fragments chosen so that placeholders appear inside inserted texts and
  // are completed across the borders between texts.
  const std::vector<std::string> bits = {"SiteGeneratorChange.",
                                         "Menu",
                                         "MainText",
                                         "Pagination",
                                         "Header",
                                         "Footer",
                                         "Adsense",
                                         "Title",
                                         "Site",
                                         "GeneratorChange.Ti",
                                         "tle",
                                         "<ul>",
                                         "</ul>",
                                         "\r",
                                         "\r\r",
                                         " ",
                                         "x",
                                         "&gt;",
                                         "SiteGeneratorChange.Title",
                                         "SiteGeneratorChange.Menu"};
  TRandomSource rng;
  rng.Seed(99);
  auto text = [&](int max_bits) {
    std::string s;
    const int n = static_cast<int>(rng.Uniform(static_cast<uint64_t>(max_bits) + 1));
    for (int i = 0; i < n; ++i) s += bits[rng.Uniform(bits.size())];
    return s;
  };
  for (int round = 0; round < 4000; ++round) {
    TSiteGenerator g;
    g.SetSiteTemplate(text(12));
    // Half of the rounds use menus and bars of the generated kind (inert),
    // half arbitrary ones.
    const bool generated_kind = round % 2 == 0;
    g.SetSiteMenu(generated_kind ? "<ul>\r" + text(3) + "\r</ul>" : text(4));
    g.SetSiteHeader(text(3));
    g.SetSiteFooter(text(3));
    g.SetAdsenseCode(text(3));
    g.SetSiteTitle(text(2));
    TSitePage& page = g.AddPage(text(2));
    page.PageText = text(6);
    page.Pagination = generated_kind ? "&lt; " + text(3) + " &gt;" : text(3);
    const TSiteTexts texts{g.SiteTemplate(), g.SiteMenu(),    g.SiteHeader(),
                           g.SiteFooter(),   g.AdsenseCode(), g.SiteTitle()};
    const std::string expected = ReferenceFill(g, page);
    ASSERT_EQ(FillTemplate(texts, page.PageText, page.Pagination, page.PageTitle), expected)
        << "template [" << g.SiteTemplate() << "] text [" << page.PageText << "]";
    // The same page handed out in pieces, the bar cut into pieces as well.
    TTemplateFiller filler(texts);
    const std::string_view bar = page.Pagination;
    const std::vector<std::string_view> bar_pieces = {bar.substr(0, bar.size() / 2),
                                                      bar.substr(bar.size() / 2)};
    std::string joined;
    for (std::string_view piece :
         filler.FillPieces(page.PageText, bar_pieces, IsInertText(bar), page.PageTitle))
      joined += piece;
    ASSERT_EQ(joined, expected) << "pieces, template [" << g.SiteTemplate() << "]";
  }
}

}  // namespace
}  // namespace orvana
