#include "engine/SiteGenerator.h"

#include <gtest/gtest.h>

#include "engine/Error.h"
#include "tests/support/TestUtil.h"

namespace orvana {
namespace {

using test::W;

TEST(SiteGenerator, NewGeneratorIsEmpty) {
  TSiteGenerator g;
  EXPECT_EQ(g.Pages().Count(), 0);
  EXPECT_TRUE(g.SiteText().empty());
  EXPECT_TRUE(g.SiteUrlsToLink().empty());
  EXPECT_EQ(g.MinCharsPerPage(), 0);
  EXPECT_EQ(g.MaxCharsPerPage(), 0);
  EXPECT_EQ(g.SiteTemplate(), "");
  EXPECT_EQ(g.Name(), "");
}

TEST(SiteGenerator, AddPageNamesFilesByIndexNotTitle) {
  TSiteGenerator g;
  EXPECT_EQ(g.AddPage("whatever").PageUrl, "index.html");
  EXPECT_EQ(g.AddPage("x").PageUrl, "page1.html");
  TSitePage& third = g.AddPage("y");
  EXPECT_EQ(third.PageUrl, "page2.html");
  EXPECT_EQ(third.Index(), 2);
  EXPECT_EQ(third.PageTitle, "y");
  EXPECT_EQ(third.PageText, "");
}

TEST(SiteGenerator, TextLengthCountsBytes) {
  TSitePage page;
  page.PageText = W("Привет");
  EXPECT_EQ(page.TextLength(), 6);
}

TEST(SiteGenerator, SettingAListCopiesIt) {
  TSiteGenerator g;
  TStringList lines = {"a", "b"};
  g.SetSiteText(lines);
  lines[0] = "changed";
  EXPECT_EQ(g.SiteText()[0], "a");
}

// A reader hands the text over joined, each line followed by one CR; the
// lines (which may hold CRs themselves) come back from the ends it marks,
// the pages are the same as from the lines, and lines set later replace it.
TEST(SiteGenerator, JoinedTextGivesTheSameLinesAndPages) {
  const TStringList lines = {"First paragraph. Second sentence here.", "", "a\rb",
                             "Last line without an end"};
  auto setup = [](TSiteGenerator& g) {
    g.SetMinCharsPerPage(20);
    g.SetMaxCharsPerPage(40);
    g.SetSiteTemplate("SiteGeneratorChange.MainText|SiteGeneratorChange.Pagination");
    g.SetSiteUrlsToLink({"http://x/1", "http://x/2", "http://x/3"});
    g.SetRandomSeed(9);
  };
  TSiteGenerator from_lines, from_joined;
  setup(from_lines);
  setup(from_joined);
  from_lines.SetSiteText(lines);
  std::string joined;
  std::vector<size_t> ends;
  for (const std::string& line : lines) {
    joined += line;
    ends.push_back(joined.size());
    joined += '\r';
  }
  from_joined.SetJoinedSiteText(joined, ends);
  EXPECT_EQ(from_joined.SiteText(), lines);
  from_lines.Generate();
  from_joined.Generate();
  ASSERT_GT(from_lines.Pages().Count(), 1);
  ASSERT_EQ(from_joined.Pages().Count(), from_lines.Pages().Count());
  for (int i = 0; i < from_lines.Pages().Count(); ++i) {
    EXPECT_EQ(from_joined.Pages()[i].PageText, from_lines.Pages()[i].PageText) << i;
    EXPECT_EQ(from_joined.Pages()[i].PageHTML, from_lines.Pages()[i].PageHTML) << i;
  }
  EXPECT_EQ(from_joined.LinksPlaced(), from_lines.LinksPlaced());

  from_joined.SetSiteText(TStringList{"Only this."});
  from_joined.Generate();
  ASSERT_EQ(from_joined.Pages().Count(), 1);
  EXPECT_EQ(from_joined.Pages()[0].PageText, "Only this.");
  from_joined.SetJoinedSiteText({}, {});
  EXPECT_TRUE(from_joined.SiteText().empty());
}

TEST(SiteGenerator, GenerateWithEmptyTextGivesOnePage) {
  TSiteGenerator g;
  g.SetMinCharsPerPage(4000);
  g.SetMaxCharsPerPage(5000);
  g.SetSiteTemplate("SiteGeneratorChange.Title|SiteGeneratorChange.MainText");
  g.Generate();
  ASSERT_EQ(g.Pages().Count(), 1);
  EXPECT_EQ(g.Pages()[0].PageTitle, "index");
  EXPECT_EQ(g.Pages()[0].PageText, "");
  EXPECT_EQ(g.Pages()[0].PageHTML, " - index|<p></p>");
  EXPECT_EQ(g.SiteMenu(), "<ul>\r<li><a href=\"index.html\">index</a></li>\r</ul>");
}

TEST(SiteGenerator, GenerateTwiceRebuildsAndLeavesTheInputs) {
  TSiteGenerator g;
  TStringList text;
  for (int i = 0; i < 50; ++i)
    text.push_back("Some words on this line number " + std::to_string(i) + ". More.");
  g.SetSiteText(text);
  g.SetSiteUrlsToLink({"http://a", "http://b", "http://c"});
  g.SetMinCharsPerPage(100);
  g.SetMaxCharsPerPage(300);
  g.SetSiteTemplate("SiteGeneratorChange.Menu SiteGeneratorChange.MainText");
  g.SetSiteTitle("T");
  g.Generate();
  const int count = g.Pages().Count();
  ASSERT_GT(count, 3);
  std::vector<std::string> bars, titles;
  for (int i = 0; i < count; ++i) {
    bars.push_back(g.Pages()[i].Pagination);
    titles.push_back(g.Pages()[i].PageTitle);
  }
  const TSitePage* first_object = &g.Pages()[0];
  const std::string menu = g.SiteMenu();
  g.Generate();
  ASSERT_EQ(g.Pages().Count(), count);
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(g.Pages()[i].Pagination, bars[i]);
    EXPECT_EQ(g.Pages()[i].PageTitle, titles[i]);
  }
  EXPECT_EQ(g.SiteMenu(), menu);
  (void)first_object;  // the old page objects are gone; only equality is observable
  EXPECT_EQ(g.SiteText(), text);
  EXPECT_EQ(g.SiteTitle(), "T");
  EXPECT_EQ(g.MinCharsPerPage(), 100);
}

TEST(SiteGenerator, SeededGenerationsAreRepeatable) {
  auto build = [](uint64_t seed) {
    TSiteGenerator g;
    TStringList text;
    for (int i = 0; i < 200; ++i)
      text.push_back("alpha" + std::to_string(i) + " bravo charlie. delta echo foxtrot");
    g.SetSiteText(text);
    TStringList urls;
    for (int i = 0; i < 30; ++i) urls.push_back("http://x/" + std::to_string(i));
    g.SetSiteUrlsToLink(urls);
    g.SetMinCharsPerPage(500);
    g.SetMaxCharsPerPage(900);
    g.SetSiteTemplate("SiteGeneratorChange.MainText");
    g.SetRandomSeed(seed);
    g.Generate();
    std::string all;
    for (int i = 0; i < g.Pages().Count(); ++i) all += g.Pages()[i].PageHTML;
    return std::pair{all, g.LinksPlaced()};
  };
  EXPECT_EQ(build(5), build(5));
  EXPECT_NE(build(5).first, build(6).first);
  EXPECT_GT(build(5).second, 0);
}

TEST(SiteGenerator, PublishedPropertiesInPublishedOrder) {
  std::vector<std::string> names;
  for (const auto& p : SiteGeneratorClass().properties) names.push_back(p.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Pages", "SiteText", "SiteTemplate", "SiteUrlsToLink",
                                             "SiteMenu", "AdsenseCode", "CssCode", "SiteTitle",
                                             "SiteHeader", "SiteFooter", "MaxCharsPerPage",
                                             "MinCharsPerPage", "SavePath"}));
  names.clear();
  for (const auto& p : SitePageClass().properties) names.push_back(p.name);
  EXPECT_EQ(names, (std::vector<std::string>{"PageText", "PageHTML", "PageTitle", "Pagination",
                                             "PageUrl"}));
}

TEST(SiteGenerator, PropertyTableAccessorsReachTheRightFields) {
  TSiteGenerator g;
  const auto& cls = SiteGeneratorClass();
  cls.Find("SiteTitle")->SetString(g, "title");
  cls.Find("SavePath")->SetString(g, "/out");
  cls.Find("CssCode")->SetString(g, "css");
  cls.Find("MinCharsPerPage")->SetInteger(g, -7);
  cls.Find("SiteUrlsToLink")->SetList(g, {"u"});
  EXPECT_EQ(g.SiteTitle(), "title");
  EXPECT_EQ(g.SavePath(), "/out");
  EXPECT_EQ(g.CssCode(), "css");
  EXPECT_EQ(g.MinCharsPerPage(), -7);
  EXPECT_EQ(g.MaxCharsPerPage(), 0);
  EXPECT_EQ(g.SiteUrlsToLink(), (TStringList{"u"}));
  EXPECT_EQ(cls.Find("SiteText")->GetList(g).size(), 0u);
  EXPECT_EQ(&cls.Find("Pages")->GetPages(g), &g.Pages());
  EXPECT_EQ(cls.Find("Foo"), nullptr);
  TSitePage page;
  SitePageClass().Find("Pagination")->SetString(page, "bar");
  EXPECT_EQ(page.Pagination, "bar");
  EXPECT_EQ(page.PageUrl, "");
}

TEST(SiteGenerator, PageIndexOutOfBoundsIsAnError) {
  TSiteGenerator g;
  g.AddPage("index");
  test::ExpectThrowsMessage<EOrvanaError>([&] { (void)g.Pages()[1]; },
                                          "List index out of bounds (1)");
  test::ExpectThrowsMessage<EOrvanaError>([&] { g.Pages().Items(5); },
                                          "List index out of bounds (5)");
  test::ExpectThrowsMessage<EOrvanaError>([&] { g.Pages().Items(-1); },
                                          "List index out of bounds (-1)");
}

}  // namespace
}  // namespace orvana
