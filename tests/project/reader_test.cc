#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/SiteGenerator.h"
#include "project/DefaultContent.h"
#include "project/ProjectFile.h"
#include "tests/project/ProjectTestUtil.h"

namespace orvana::test {
namespace {

// Reads the text into the generator; fails the test on an error.
void Read(std::string_view text, TSiteGenerator& g, const TProjectReadContext& context = {}) {
  ASSERT_NO_THROW(ReadProjectText(text, g, context));
}

TEST(ProjectReader, ReadsASmallProjectIntoEveryField) {
  TSiteGenerator g;
  Read(SmallProjectText(), g);
  ASSERT_EQ(g.Pages().Count(), 1);
  EXPECT_EQ(g.Pages()[0].PageText, "Hi");
  EXPECT_EQ(g.Pages()[0].PageTitle, "index");
  EXPECT_EQ(g.Pages()[0].PageUrl, "index.html");
  EXPECT_EQ(g.Pages()[0].PageHTML, "");
  EXPECT_EQ(g.SiteText(), (TStringList{W("Привет"), "", "It's"}));
  EXPECT_EQ(g.SiteTemplate(), "<p>\rSiteGeneratorChange.MainText\r");
  EXPECT_EQ(g.MaxCharsPerPage(), 5000);
  EXPECT_EQ(g.MinCharsPerPage(), 4000);
  EXPECT_EQ(g.SavePath(), "C:\\Site");
  EXPECT_EQ(g.Name(), "");
  EXPECT_TRUE(g.SiteUrlsToLink().empty());
}

TEST(ProjectReader, WriteReadWriteIsByteIdenticalForAGeneratedSite) {
  TSiteGenerator g;
  FillGeneratedSite(g);
  ASSERT_GT(g.Pages().Count(), 5);
  const std::string first = WriteProjectText(g);
  TSiteGenerator h;
  Read(first, h);
  EXPECT_EQ(WriteProjectText(h), first);
  ASSERT_EQ(h.Pages().Count(), g.Pages().Count());
  for (int i = 0; i < g.Pages().Count(); ++i) {
    EXPECT_EQ(h.Pages()[i].PageText, g.Pages()[i].PageText);
    EXPECT_EQ(h.Pages()[i].PageHTML, g.Pages()[i].PageHTML);
    EXPECT_EQ(h.Pages()[i].PageTitle, g.Pages()[i].PageTitle);
    EXPECT_EQ(h.Pages()[i].Pagination, g.Pages()[i].Pagination);
    EXPECT_EQ(h.Pages()[i].PageUrl, g.Pages()[i].PageUrl);
  }
  EXPECT_EQ(h.SiteText(), g.SiteText());
  EXPECT_EQ(h.SiteUrlsToLink(), g.SiteUrlsToLink());
  EXPECT_EQ(h.SiteMenu(), g.SiteMenu());
  EXPECT_EQ(h.SiteTemplate(), g.SiteTemplate());
  EXPECT_EQ(h.AdsenseCode(), g.AdsenseCode());
  EXPECT_EQ(h.CssCode(), g.CssCode());
  EXPECT_EQ(h.SiteTitle(), g.SiteTitle());
  EXPECT_EQ(h.SiteHeader(), g.SiteHeader());
  EXPECT_EQ(h.SavePath(), g.SavePath());
  EXPECT_EQ(h.MinCharsPerPage(), 300);
  EXPECT_EQ(h.MaxCharsPerPage(), 500);
}

TEST(ProjectReader, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  TSiteGenerator g;
  g.SetSiteTitle(all);
  g.SetSiteText({all, "", all + all});
  TSiteGenerator h;
  Read(WriteProjectText(g), h);
  EXPECT_EQ(h.SiteTitle(), all);
  EXPECT_EQ(h.SiteText(), g.SiteText());
}

// --- Variants of the notation -----------------------------------------------------

TEST(ProjectReader, AcceptsAnyBlanksAndLineBreaksBetweenTokens) {
  TSiteGenerator g;
  Read(
      "object\tTSiteGenerator SiteTitle='a' MaxCharsPerPage\n=\n12\x01\x1F"
      "SiteText . Strings=(\r\n'x'\n\n\n'y')Pages=<item PageText='p' end>end",
      g);
  EXPECT_EQ(g.SiteTitle(), "a");
  EXPECT_EQ(g.MaxCharsPerPage(), 12);
  EXPECT_EQ(g.SiteText(), (TStringList{"x", "y"}));
  ASSERT_EQ(g.Pages().Count(), 1);
  EXPECT_EQ(g.Pages()[0].PageText, "p");
}

TEST(ProjectReader, KeywordsAndPropertyNamesIgnoreLetterCase) {
  TSiteGenerator g;
  Read(
      "OBJECT TSiteGenerator\r\n  sitetitle = 'a'\r\n  PAGES = <\r\n  ITEM\r\n pagetext = 'b'\r\n"
      "  End>\r\n  sitetext.STRINGS = ('c')\r\nEND\r\n",
      g);
  EXPECT_EQ(g.SiteTitle(), "a");
  ASSERT_EQ(g.Pages().Count(), 1);
  EXPECT_EQ(g.Pages()[0].PageText, "b");
  EXPECT_EQ(g.SiteText(), TStringList{"c"});
}

TEST(ProjectReader, InheritedAndInlineHeadersAndAnOrderIndexAreRead) {
  for (const char* header : {"inherited TSiteGenerator", "inline TSiteGenerator",
                             "object Foo: TBar [3]", "object TSiteGenerator[-1]"}) {
    TSiteGenerator g;
    Read(std::string(header) + "\r\n  SiteTitle = 'ok'\r\nend\r\n", g);
    EXPECT_EQ(g.SiteTitle(), "ok") << header;
  }
}

TEST(ProjectReader, TheClassNameInTheHeaderPlaysNoPart) {
  TSiteGenerator g;
  Read("object TSomethingElse\r\n  SiteTitle = 'x'\r\nend\r\n", g);
  EXPECT_EQ(g.SiteTitle(), "x");
  EXPECT_EQ(g.Name(), "");
}

TEST(ProjectReader, StringPiecesQuotesCodesAndJoins) {
  TSiteGenerator g;
  Read(
      "object T\r\n"
      "  SiteTitle = 'It''s'#32'ok'#$41#$2c''''\r\n"
      "  SiteHeader = 'ab' +\r\n   'cd' + #1055\r\n\r\n   +'e'\r\n"
      "  SiteFooter = ''\r\n"
      "end\r\n",
      g);
  EXPECT_EQ(g.SiteTitle(), "It's okA,'");
  EXPECT_EQ(g.SiteHeader(), "abcd" + W("П") + "e");
  EXPECT_EQ(g.SiteFooter(), "");
}

TEST(ProjectReader, CodesOutsideTheCodePageBecomeQuestionMarks) {
  TSiteGenerator g;
  // 中, a surrogate pair (one character), a lone high surrogate at the end,
  // a lone low surrogate, the em dash and the euro sign (both in the page).
  Read("object T SiteTitle = #20013#55357#56832'x'#55357 SiteHeader = #56832#8212#8364 end", g);
  EXPECT_EQ(g.SiteTitle(), "??x?");
  EXPECT_EQ(g.SiteHeader(), "?\x97\x88");
}

TEST(ProjectReader, BytesAboveAsciiInsideQuotesAreWindows1251) {
  TSiteGenerator g;
  Read("object T SiteTitle = '" + W("Жук") + "' end", g);
  EXPECT_EQ(g.SiteTitle(), W("Жук"));
}

TEST(ProjectReader, IntegersInDecimalAndHexadecimalUpToThirtyTwoBits) {
  TSiteGenerator g;
  Read("object T MaxCharsPerPage = $7FFFFFFF MinCharsPerPage = -2147483648 end", g);
  EXPECT_EQ(g.MaxCharsPerPage(), 2147483647);
  EXPECT_EQ(g.MinCharsPerPage(), -2147483648);
  Read("object T MaxCharsPerPage = $1f4 MinCharsPerPage = 000123 end", g);
  EXPECT_EQ(g.MaxCharsPerPage(), 500);
  EXPECT_EQ(g.MinCharsPerPage(), 123);
}

TEST(ProjectReader, ItemIndexesAreIgnored) {
  TSiteGenerator g;
  Read("object T Pages = < item [5] PageTitle = 'a' end item[0] PageTitle = 'b' end > end", g);
  ASSERT_EQ(g.Pages().Count(), 2);
  EXPECT_EQ(g.Pages()[0].PageTitle, "a");
  EXPECT_EQ(g.Pages()[1].PageTitle, "b");
  EXPECT_EQ(g.Pages()[1].Index(), 1);
}

TEST(ProjectReader, NestedObjectsWithEveryKindOfValueAreCheckedAndIgnored) {
  TSiteGenerator g;
  Read(
      "object Main: TSiteGenerator\r\n"
      "  SiteTitle = 'before'\r\n"
      "  object Child: TPanel [2]\r\n"
      "    Left = -8\r\n"
      "    Ratio = 1.5e-3\r\n"
      "    Scale = 2.5d\r\n"
      "    Align = alClient\r\n"
      "    Owner = Form1.Panel1\r\n"
      "    Options = [a, b, 3]\r\n"
      "    Empty = []\r\n"
      "    Data = {\r\n      00FF 7a\r\n      B0 }\r\n"
      "    Items = (1 'x' (2 (3 <>)) [] {})\r\n"
      "    Cols = <\r\n      item\r\n        Sub = <item end>\r\n      end>\r\n"
      "    Unknown.Deep.Name = True\r\n"
      "    inline Grandchild: TLabel\r\n    end\r\n"
      "  end\r\n"
      "  inherited Other: TButton end\r\n"
      "end\r\n",
      g);
  EXPECT_EQ(g.SiteTitle(), "before");
  EXPECT_EQ(g.Name(), "Main");
}

TEST(ProjectReader, TextAfterTheFinalEndIsIgnored) {
  TSiteGenerator g;
  Read("object T SiteTitle = 'x' end\r\nobject 'unclosed\r\n" + std::string(9000, 'z') +
           "\r\n\x01\x02",
       g);
  EXPECT_EQ(g.SiteTitle(), "x");
}

TEST(ProjectReader, APropertyGivenTwiceTakesTheLaterValue) {
  TSiteGenerator g;
  Read(
      "object T SiteTitle = 'a' SiteTitle = 'b' SiteText.Strings = ('1' '2')"
      " SiteText.Strings = ('3') end",
      g);
  EXPECT_EQ(g.SiteTitle(), "b");
  EXPECT_EQ(g.SiteText(), TStringList{"3"});
}

// --- Assignment ---------------------------------------------------------------------

TEST(ProjectReader, UnmentionedPropertiesKeepTheirValues) {
  TSiteGenerator g;
  ApplyNewProjectContent(g);
  const std::string css = g.CssCode();
  Read("object TSiteGenerator\r\n  MaxCharsPerPage = 100\r\nend\r\n", g);
  EXPECT_EQ(g.MinCharsPerPage(), 4000);
  EXPECT_EQ(g.MaxCharsPerPage(), 100);
  EXPECT_EQ(g.CssCode(), css);
}

TEST(ProjectReader, EmptyCollectionLeavesThePagesAnItemReplacesThem) {
  TSiteGenerator g;
  g.AddPage("old0");
  g.AddPage("old1");
  Read("object T Pages = <> end", g);
  ASSERT_EQ(g.Pages().Count(), 2);
  EXPECT_EQ(g.Pages()[1].PageTitle, "old1");

  Read("object T Pages = <item PageText = 'new' end> end", g);
  ASSERT_EQ(g.Pages().Count(), 1);
  EXPECT_EQ(g.Pages()[0].PageText, "new");
  EXPECT_EQ(g.Pages()[0].PageTitle, "");
  EXPECT_EQ(g.Pages()[0].PageUrl, "");
}

TEST(ProjectReader, ListsReplaceTheirLines) {
  TSiteGenerator g;
  g.SetSiteUrlsToLink({"a", "b", "c"});
  Read("object T SiteUrlsToLink.Strings = ('' 'x') end", g);
  EXPECT_EQ(g.SiteUrlsToLink(), (TStringList{"", "x"}));
}

TEST(ProjectReader, HeaderNameBecomesTheComponentName) {
  TSiteGenerator g;
  Read("object Gen: TSiteGenerator end", g);
  EXPECT_EQ(g.Name(), "Gen");
  // A header without a name leaves it.
  Read("object TSiteGenerator end", g);
  EXPECT_EQ(g.Name(), "Gen");
}

TEST(ProjectReader, AWindowOfTheSameNameAddsTheFirstFreeSuffix) {
  const std::set<std::string> windows = {"Gen", "Gen_1", "Gen_2", "Other_1"};
  std::vector<std::string> asked;
  TProjectReadContext context;
  context.window_name_exists = [&](const std::string& name) {
    asked.push_back(name);
    return windows.count(name) > 0;
  };
  TSiteGenerator g;
  Read("object Gen: TSiteGenerator end", g, context);
  EXPECT_EQ(g.Name(), "Gen_3");
  EXPECT_EQ(asked, (std::vector<std::string>{"Gen", "Gen_1", "Gen_2", "Gen_3"}));
  TSiteGenerator h;
  Read("object Other: TSiteGenerator end", h, context);
  EXPECT_EQ(h.Name(), "Other");
}

TEST(ProjectReader, NameAppearsInAssignmentMessages) {
  TSiteGenerator g;
  ExpectReadError("object Gen: TSiteGenerator Foo = 1 end", g,
                  "Error reading Gen.Foo: Property Foo does not exist");
  TProjectReadContext context;
  context.window_name_exists = [](const std::string& name) { return name == "Gen"; };
  TSiteGenerator h;
  ExpectReadError("object Gen: T MaxCharsPerPage = 'x' end", h,
                  "Error reading Gen_1.MaxCharsPerPage: Invalid property value", context);
}

}  // namespace
}  // namespace orvana::test

namespace orvana::test {
namespace {

TEST(ProjectReader, RunsOfFourDigitCodesDecodeAtTheirEdges) {
  // The four-digit Cyrillic codes are taken in runs; the codes just outside
  // their range, five-digit and hexadecimal codes, a code right before a
  // digit-free end of the value and runs longer than any block must all come
  // out as the general decoding gives them.
  struct Case {
    std::string value, expected;
  };
  std::string long_codes, long_expected;
  for (int i = 0; i < 1000; ++i) {
    const int letter = i % 64;
    long_codes += '#';
    long_codes += std::to_string(0x410 + letter);
    long_expected += static_cast<char>(0xC0 + letter);
  }
  const Case cases[] = {
      {"#1040#1103", W("Ая")},
      {"#1039#1104", W("Џѐ").substr(0, 1) + "?"},  // U+040F is in the page, U+0450 is not
      {"#1025#1105", W("Ёё")},
      {"#01040", W("А")},       // five digits: the general path
      {"#10400", "?"},          // a five-digit code outside the page
      {"#$410#1041", W("АБ")},  // hexadecimal, then a run
      {"#1040'x'#1041", W("АxБ")},
      {"#1040#65#1041", W("А") + "A" + W("Б")},
      {long_codes, long_expected},
      {long_codes + "'!'" + long_codes, long_expected + "!" + long_expected},
  };
  for (const Case& c : cases) {
    TSiteGenerator g;
    // Values longer than a line are cut into pieces joined with "+", each
    // piece still longer than a block of 256 codes.
    std::string value;
    for (size_t at = 0; at < c.value.size();) {
      size_t cut = std::min(c.value.size(), at + 2000);
      while (cut < c.value.size() && c.value[cut] != '#' && c.value[cut] != '\'') ++cut;
      if (at > 0) value += " +\r\n    ";
      value += c.value.substr(at, cut - at);
      at = cut;
    }
    Read("object T\r\n  SiteTitle = " + value + "\r\nend\r\n", g);
    EXPECT_EQ(g.SiteTitle(), c.expected) << c.value.substr(0, 40);
  }
}

}  // namespace
}  // namespace orvana::test

namespace orvana::test {
namespace {

TEST(ProjectReader, JoinedPiecesAcrossLinesReadAsOneStringWithTheirOwnErrors) {
  struct Case {
    std::string value, expected;
  };
  const Case cases[] = {
      {"'a' +\r\n    'b' +\r\n    #1041", "ab" + W("Б")},
      {"'a'\r\n  +\r\n\r\n  'b'", "ab"},
      // A surrogate pair cut by a join is two characters the page lacks.
      {"#55357 +\r\n #56832", "??"},
      {"'x' + 'y' + ''", "xy"},
  };
  for (const Case& c : cases) {
    TSiteGenerator g;
    Read("object T\r\n  SiteTitle = " + c.value + "\r\n  SiteFooter = 'f'\r\nend\r\n", g);
    EXPECT_EQ(g.SiteTitle(), c.expected) << c.value;
    EXPECT_EQ(g.SiteFooter(), "f");
  }
  // A "+" that no string follows fails on the line of what follows it; a
  // bad piece on the line where it stands.
  ExpectReadError("object T\r\n  SiteTitle = 'a' +\r\n 'b' +\r\n\r\n 5\r\nend\r\n",
                  "String expected on line 5");
  ExpectReadError("object T\r\n  SiteTitle = 'a' +\r\n 'b' +\r\n 'c\r\nend\r\n",
                  "Invalid string constant on line 4");
  ExpectReadError("object T\r\n  SiteTitle = 'a' +\r\n " + std::string(5000, 'x') + "\r\nend\r\n",
                  "Line too long on line 3");
}

}  // namespace
}  // namespace orvana::test
