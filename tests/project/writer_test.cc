#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <string_view>

#include "engine/CodePage.h"
#include "engine/SiteGenerator.h"
#include "project/DefaultContent.h"
#include "project/ProjectFile.h"
#include "tests/project/ProjectTestUtil.h"

namespace orvana::test {
namespace {

TEST(ProjectWriter, WritesASmallProjectByteForByte) {
  TSiteGenerator g;
  FillSmallProject(g);
  EXPECT_EQ(WriteProjectText(g), SmallProjectText());
}

TEST(ProjectWriter, EmptyGeneratorWritesPagesAndBothBoundsOnly) {
  TSiteGenerator g;
  g.SetMaxCharsPerPage(-7);
  EXPECT_EQ(WriteProjectText(g),
            CrLfLines({"object TSiteGenerator", "  Pages = <>", "  MaxCharsPerPage = -7",
                       "  MinCharsPerPage = 0", "end"}));
}

TEST(ProjectWriter, HeaderCarriesTheComponentNameWhenThereIsOne) {
  TSiteGenerator g;
  g.SetName("Generator1");
  EXPECT_EQ(WriteProjectText(g).substr(0, 37), "object Generator1: TSiteGenerator\r\n  ");
}

TEST(ProjectWriter, EveryPropertyInPublishedOrder) {
  TSiteGenerator g;
  TSitePage& page = g.AddPage("t");
  page.PageText = "a";
  page.PageHTML = "b";
  page.Pagination = "c";
  g.SetSiteText({"x"});
  g.SetSiteTemplate("1");
  g.SetSiteUrlsToLink({"u"});
  g.SetSiteMenu("2");
  g.SetAdsenseCode("3");
  g.SetCssCode("4");
  g.SetSiteTitle("5");
  g.SetSiteHeader("6");
  g.SetSiteFooter("7");
  g.SetMaxCharsPerPage(8);
  g.SetMinCharsPerPage(9);
  g.SetSavePath("10");
  EXPECT_EQ(WriteProjectText(g), CrLfLines({"object TSiteGenerator",
                                            "  Pages = <",
                                            "    item",
                                            "      PageText = 'a'",
                                            "      PageHTML = 'b'",
                                            "      PageTitle = 't'",
                                            "      Pagination = 'c'",
                                            "      PageUrl = 'index.html'",
                                            "    end>",
                                            "  SiteText.Strings = (",
                                            "    'x')",
                                            "  SiteTemplate = '1'",
                                            "  SiteUrlsToLink.Strings = (",
                                            "    'u')",
                                            "  SiteMenu = '2'",
                                            "  AdsenseCode = '3'",
                                            "  CssCode = '4'",
                                            "  SiteTitle = '5'",
                                            "  SiteHeader = '6'",
                                            "  SiteFooter = '7'",
                                            "  MaxCharsPerPage = 8",
                                            "  MinCharsPerPage = 9",
                                            "  SavePath = '10'",
                                            "end"}));
}

TEST(ProjectWriter, SeveralPagesFollowEachOtherWithoutIndexes) {
  TSiteGenerator g;
  g.AddPage("index");
  g.AddPage("two");
  const std::string text = WriteProjectText(g);
  EXPECT_NE(text.find("  Pages = <\r\n    item\r\n      PageTitle = 'index'\r\n"
                      "      PageUrl = 'index.html'\r\n    end\r\n    item\r\n"
                      "      PageTitle = 'two'\r\n      PageUrl = 'page1.html'\r\n    end>\r\n"),
            std::string::npos)
      << text;
}

TEST(ProjectWriter, CharactersOutsideThePrintableRangeBecomeCodes) {
  TSiteGenerator g;
  // CR, LF, TAB, byte 0, apostrophe, DEL (stays quoted), the euro sign (0x88),
  // Ё (0xA8), the code page's undefined byte 0x98, and я (0xFF).
  g.SetSiteTitle(std::string("a\r\n\t") + '\0' + "'\x7F\x88\xA8\x98\xFF" + "z");
  EXPECT_NE(
      WriteProjectText(g).find("  SiteTitle = 'a'#13#10#9#0#39'\x7F'#8364#1025#152#1103'z'\r\n"),
      std::string::npos);
}

TEST(ProjectWriter, ApostrophesAloneAreCodesWithoutQuotes) {
  TSiteGenerator g;
  g.SetSiteTitle("'''");
  EXPECT_NE(WriteProjectText(g).find("  SiteTitle = #39#39#39\r\n"), std::string::npos);
}

// --- Cutting long strings -----------------------------------------------------

std::string Repeat(std::string_view piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text.append(piece);
  return text;
}

// A string property of up to 64 characters stays on its line; a longer one
// starts on a line of its own, one level deeper, and is cut after every 64
// characters, each line but the last ending in " +". A character written as
// a code counts as one.
struct TCutCase {
  const char* name;
  std::function<void(TSiteGenerator&)> fill;
  // Whole lines of the written file, from the CR LF before the property to
  // the start of the line after it.
  std::string lines;
};

void PrintTo(const TCutCase& c, std::ostream* out) { *out << c.name; }

std::function<void(TSiteGenerator&)> Title(std::string title) {
  return [title](TSiteGenerator& g) { g.SetSiteTitle(title); };
}

const TCutCase kCutCases[] = {
    {"SixtyFourCharactersStayOnThePropertyLine", Title(std::string(64, 'a')),
     "\r\n  SiteTitle = '" + std::string(64, 'a') + "'\r\n  MaxCharsPerPage"},
    {"SixtyFiveStartOnTheirOwnLineAndAreCutAfterSixtyFour", Title(std::string(65, 'a')),
     "\r\n  SiteTitle = \r\n    '" + std::string(64, 'a') + "' +\r\n    'a'\r\n  MaxCharsPerPage"},
    {"SeventyAreCutIntoSixtyFourAndSix", Title(std::string(64, 'x') + "abcdef"),
     "\r\n  SiteTitle = \r\n    '" + std::string(64, 'x') +
         "' +\r\n    'abcdef'\r\n  MaxCharsPerPage"},
    // 63 letters, then two Cyrillic letters: the first code is the 64th
    // character, the second goes to the next line.
    {"CodesCountAsOneCharacter", Title(std::string(63, 'a') + W("Жж")),
     "\r\n  SiteTitle = \r\n    '" + std::string(63, 'a') +
         "'#1046 +\r\n    #1078\r\n  MaxCharsPerPage"},
    // 100 characters, every third a Cyrillic letter: lines of 64 and 36.
    {"MixedQuotedRunsAndCodesAreCutByCharacters", Title(Repeat(W("ыbb"), 33) + W("ы")),
     "\r\n  SiteTitle = \r\n    " + Repeat("#1099'bb'", 21) + "#1099 +\r\n    " +
         Repeat("'bb'#1099", 12) + "\r\n  MaxCharsPerPage"},
    {"ALongListItemStartsOnALineOfItsOwnOneLevelDeeper",
     [](TSiteGenerator& g) {
       g.SetSiteText({"short", std::string(65, 'q')});
     },
     "\r\n  SiteText.Strings = (\r\n    'short'\r\n    \r\n      '" + std::string(64, 'q') +
         "' +\r\n      'q')\r\n  MaxCharsPerPage"},
    {"ALongPagePropertyIsIndentedBelowTheItem",
     [](TSiteGenerator& g) { g.AddPage("index").PageText = std::string(66, 'p'); },
     "\r\n      PageText = \r\n        '" + std::string(64, 'p') +
         "' +\r\n        'pp'\r\n      PageTitle"},
};

class ProjectWriterCuts : public testing::TestWithParam<TCutCase> {};

TEST_P(ProjectWriterCuts, WritesTheLinesOfTheProperty) {
  TSiteGenerator g;
  GetParam().fill(g);
  const std::string text = WriteProjectText(g);
  EXPECT_NE(text.find(GetParam().lines), std::string::npos) << text;
}

std::string CaseName(const testing::TestParamInfo<TCutCase>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(LongStrings, ProjectWriterCuts, testing::ValuesIn(kCutCases), CaseName);

TEST(ProjectWriter, NoLineOfALargeProjectComesNearTheReadersLimit) {
  TSiteGenerator g;
  g.SetSiteText({std::string(10000, '\xFF'), std::string(10000, 'a')});
  g.SetSiteTemplate(std::string(5000, '\''));
  const std::string text = WriteProjectText(g);
  size_t start = 0, longest = 0;
  for (size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', start)) {
    longest = std::max(longest, lf - start);
    start = lf + 1;
  }
  EXPECT_LE(longest, 64u * 5 + 8 + 4);
}

// --- A new project ----------------------------------------------------------------

TEST(ProjectWriter, NewProjectWritesPagesTheThreeTextsAndTheBounds) {
  TSiteGenerator g;
  ApplyNewProjectContent(g);
  const std::string text = WriteProjectText(g);
  const size_t pages = text.find("\r\n  Pages = <>\r\n");
  const size_t tmpl = text.find("\r\n  SiteTemplate = \r\n");
  const size_t ads = text.find("\r\n  AdsenseCode = \r\n");
  const size_t css = text.find("\r\n  CssCode = \r\n");
  const size_t max = text.find("\r\n  MaxCharsPerPage = 5000\r\n");
  const size_t min = text.find("\r\n  MinCharsPerPage = 4000\r\nend\r\n");
  ASSERT_EQ(pages, std::string("object TSiteGenerator").size());
  ASSERT_NE(tmpl, std::string::npos);
  ASSERT_NE(ads, std::string::npos);
  ASSERT_NE(css, std::string::npos);
  ASSERT_NE(max, std::string::npos);
  ASSERT_NE(min, std::string::npos);
  EXPECT_LT(pages, tmpl);
  EXPECT_LT(tmpl, ads);
  EXPECT_LT(ads, css);
  EXPECT_LT(css, max);
  EXPECT_LT(max, min);
  EXPECT_EQ(min + std::string("\r\n  MinCharsPerPage = 4000\r\nend\r\n").size(), text.size());
  // Memo lines end in CR, written as #13.
  EXPECT_NE(text.find("#13"), std::string::npos);
  EXPECT_NE(text.find("#13\r\n  AdsenseCode"), std::string::npos);
  EXPECT_NE(text.find("#13\r\n  CssCode"), std::string::npos);
  EXPECT_NE(text.find("#13\r\n  MaxCharsPerPage"), std::string::npos);
  for (const char* absent : {"SiteText.Strings = ", "SiteUrlsToLink.Strings = ", "SiteTitle = ",
                             "SavePath = ", "SiteMenu = ", "SiteHeader = ", "SiteFooter = "})
    EXPECT_EQ(text.find(std::string("\r\n  ") + absent), std::string::npos) << absent;
  // The file is 7-bit ASCII.
  for (char c : text) ASSERT_LT(static_cast<unsigned char>(c), 128u);
}

// --- Strings of every kind against a plain writer ------------------------------

// The string writer done the slow, obvious way: one character at a time, a
// quoted run opened and closed around the characters that may stand in one,
// 64 characters a line.
std::string PlainStringLines(const std::string& s, const std::string& indent) {
  if (s.empty()) return "''";
  std::string out;
  if (s.size() > 64) out += "\r\n" + indent;
  bool quoted = false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (i != 0 && i % 64 == 0) {
      if (quoted) out += '\'';
      quoted = false;
      out += " +\r\n" + indent;
    }
    const auto b = static_cast<unsigned char>(s[i]);
    const bool plain = b >= 32 && b <= 127 && b != '\'';
    if (plain != quoted) out += '\'';
    quoted = plain;
    if (plain)
      out += static_cast<char>(b);
    else
      out += "#" + std::to_string(static_cast<unsigned>(Cp1251ToUnicode(b)));
  }
  if (quoted) out += '\'';
  return out;
}

TEST(ProjectWriter, RandomStringsAreWrittenAsThePlainWriterWritesThem) {
  std::mt19937 random(20261208);
  // Bytes drawn from groups, so that runs of letters, codes, quotes and
  // controls meet in every order and at every place of a line.
  const std::string groups[] = {"abc xyz.,", "\xE0\xE1\xF0\xFF\xC0\xA8\xB8", "'",
                                std::string("\r\n\t\0\x1F", 5), "\x80\x88\x98\x99\xA0\x7F"};
  for (int round = 0; round < 400; ++round) {
    std::string title;
    const size_t length = random() % (round < 200 ? 140 : 1400);
    const size_t run = 1 + random() % 9;
    const std::string* group = &groups[0];
    for (size_t i = 0; i < length; ++i) {
      if (i % run == 0) group = &groups[random() % std::size(groups)];
      title += (*group)[random() % group->size()];
    }
    TSiteGenerator g;
    g.SetSiteTitle(title);
    g.SetSiteText({title, "x"});
    const std::string text = WriteProjectText(g);
    if (title.empty()) continue;
    const std::string expected = "\r\n  SiteTitle = " + PlainStringLines(title, "    ") + "\r\n";
    ASSERT_NE(text.find(expected), std::string::npos) << "round " << round << "\n" << text;
    const std::string item = "\r\n    " + PlainStringLines(title, "      ") + "\r\n    'x')";
    ASSERT_NE(text.find(item), std::string::npos) << "round " << round << "\n" << text;
  }
}

}  // namespace
}  // namespace orvana::test
