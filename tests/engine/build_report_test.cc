#include "engine/BuildReport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "engine/Paging.h"
#include "engine/SiteBuild.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/SiteWrite.h"
#include "tests/support/TestUtil.h"

namespace orvana {
namespace {

bool IsBreakPair(char a, char b) { return (a == '\r' && b == '\r') || (a == '.' && b == ' '); }

// The pages a forced cut must have made, read off the page texts alone: every
// page but the last whose last byte and the next page's first byte are no
// paragraph or sentence end.
std::vector<int> CutsInsideSentences(const TSiteGenerator& g) {
  std::vector<int> cuts;
  for (int p = 0; p + 1 < g.Pages().Count(); ++p) {
    const std::string& here = g.Pages()[p].PageText;
    const std::string& next = g.Pages()[p + 1].PageText;
    if (here.empty() || next.empty() || !IsBreakPair(here.back(), next.front())) cuts.push_back(p);
  }
  return cuts;
}

TEST(BuildReport, ForcedCutsAreThePagesNotEndingAtABreak) {
  struct Case {
    const char* name;
    TStringList lines;
    int32_t min, max;
    std::vector<int> forced;
  };
  const std::vector<Case> cases = {
      {"ten letters by four", {"abcdefghij"}, 0, 4, {0, 1}},
      {"break inside the window", {"A. B", "", "C"}, 0, 100, {}},
      {"break pair at the maximum itself", {"abc. defgh"}, 0, 4, {1}},
      // Page 0 ends with ". " exactly at the maximum: a sentence end, no forced cut.
      {"window empty: min above max", {"ab. cd. ef. gh"}, 9, 3, {1, 2, 3}},
      {"one page", {"short"}, 4000, 5000, {}},
  };
  for (const Case& c : cases) {
    TSiteGenerator g;
    g.SetSiteText(c.lines);
    g.SetMinCharsPerPage(c.min);
    g.SetMaxCharsPerPage(c.max);
    g.Generate();
    EXPECT_EQ(g.ForcedCuts(), c.forced) << c.name;
    EXPECT_EQ(g.ForcedCuts(), CutsInsideSentences(g)) << c.name;
  }
}

TEST(BuildReport, ForcedCutsAgreeWithThePagesOnRandomTexts) {
  std::mt19937 rng(12345);
  const char alphabet[] = "ab. \r";
  for (int round = 0; round < 300; ++round) {
    std::string line;
    const size_t length = rng() % 200;
    for (size_t i = 0; i < length; ++i) line += alphabet[rng() % 5];
    const int32_t min = static_cast<int32_t>(rng() % 40) - 10;
    const int32_t max = static_cast<int32_t>(rng() % 40) + 1;
    TSiteGenerator g;
    g.SetSiteText({line});
    g.SetMinCharsPerPage(min);
    g.SetMaxCharsPerPage(max);
    g.Generate();
    ASSERT_EQ(g.ForcedCuts(), CutsInsideSentences(g)) << "round " << round;
  }
}

TEST(BuildReport, CutIntoPagesRecordsNothingWithoutTheList) {
  // The list is optional: the spans are the same with and without it.
  std::vector<int> forced;
  const auto with = CutIntoPages("abcdefghij\r", 0, 4, &forced);
  const auto without = CutIntoPages("abcdefghij\r", 0, 4);
  ASSERT_EQ(with.size(), without.size());
  for (size_t i = 0; i < with.size(); ++i) EXPECT_EQ(with[i].length, without[i].length);
  EXPECT_EQ(forced, (std::vector<int>{0, 1}));
}

TEST(BuildReport, DeclaresCharset) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"<html><head><meta charset=\"utf-8\"></head>", true},
      {"<HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; CharSet=windows-1251\">",
       true},
      {"<head><meta name=\"robots\" content=\"index\"></head><body>charset</body>", false},
      // Browsers honour a declaration in the body, never one in a comment.
      {"<head><meta name=\"robots\"><title>x</title></head><body><meta charset=x>", true},
      {"<head><!-- <meta charset=\"utf-8\"> --></head>", false},
      // ... in the body only in the first 1024 bytes, in the head anywhere
      // (as Chromium reads them).
      {"<head></head><body><p>" + std::string(1100, 'x') + "<meta charset=x>", false},
      {"<head><style>" + std::string(1100, 'x') + "</style><meta charset=x>", true},
      {"<p>charset=utf-8</p>", false},
      {"", false},
  };
  for (const auto& [html, declares] : cases)
    EXPECT_EQ(DeclaredCharset(html) != TCharsetKind::kNone, declares) << html;
}

// The pages of a generator as Generate left them, measured as written.
TBuildOutput OutputOfGeneratedPages(const TSiteGenerator& g, const std::string& folder) {
  TBuildOutput output;
  output.folder = folder;
  for (int p = 0; p < g.Pages().Count(); ++p)
    output.pages.push_back({g.Pages()[p].PageHTML.size(), DeclaredCharset(g.Pages()[p].PageHTML)});
  output.css_bytes = g.CssCode().size();
  return output;
}

// A generator with `pages` paragraphs of about 100 bytes, cut one per page.
class BuildReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_.SetSiteTemplate(
        "<html><head><meta charset=\"windows-1251\"><title>SiteGeneratorChange.Title</title>"
        "</head><body>SiteGeneratorChange.MainText</body></html>\r");
    g_.SetMinCharsPerPage(50);
    g_.SetMaxCharsPerPage(150);
  }
  void SetParagraphs(int pages) {
    TStringList lines;
    for (int p = 0; p < pages; ++p) {
      if (p > 0) lines.push_back("");
      lines.push_back("Paragraph number" + std::to_string(p) +
                      " speaks of meadows, rivers, mountains, forests and harbours today.");
    }
    g_.SetSiteText(lines);
  }
  // Generates and writes the site into memory, keeping the pages as the window does.
  TBuildReport Build() {
    g_.SetRandomSeed(7);
    test::TMemoryFileSystem fs;
    TSiteBuildOptions options;
    options.on_page = g_.KeepPages();
    return test::BuildInto(g_, "/srv/site", fs, options).report;
  }
  static std::vector<std::string> Codes(const TBuildReport& r) {
    std::vector<std::string> codes;
    for (const TBuildWarning& w : r.warnings) codes.push_back(w.code);
    return codes;
  }
  static const TBuildWarning* Find(const TBuildReport& r, std::string_view code) {
    for (const TBuildWarning& w : r.warnings)
      if (w.code == code) return &w;
    return nullptr;
  }

  TSiteGenerator g_;
};

TEST_F(BuildReportTest, AnOrdinarySiteHasNoWarnings) {
  SetParagraphs(4);
  g_.SetSiteUrlsToLink({"http://a.example/", "http://b.example/", "http://c.example/"});
  const TBuildReport r = Build();
  EXPECT_EQ(r.pages, 4);
  EXPECT_EQ(Codes(r), std::vector<std::string>{});
  EXPECT_EQ(r.encoding, "windows-1251");
  EXPECT_EQ(r.folder, "/srv/site");
  EXPECT_EQ(r.quota, 1);
  EXPECT_EQ(r.placed, 3);
}

TEST_F(BuildReportTest, SizesComeFromTheOutput) {
  SetParagraphs(3);
  g_.SetCssCode("body{}");
  g_.Generate();
  TBuildOutput output = OutputOfGeneratedPages(g_, "site");
  ASSERT_EQ(output.pages.size(), 3u);
  output.pages[0].bytes = 10;
  output.pages[1].bytes = 30;
  output.pages[2].bytes = 21;
  const TBuildReport r = MakeBuildReport(g_, output);
  EXPECT_EQ(r.bytes, 10u + 30u + 21u + 6u);
  EXPECT_EQ(r.page_bytes_min, 10u);
  EXPECT_EQ(r.page_bytes_max, 30u);
  EXPECT_DOUBLE_EQ(r.page_bytes_mean, 61.0 / 3);
  // A relative folder is made absolute.
  EXPECT_EQ(r.folder.front(), '/');
  EXPECT_NE(r.folder.find("/site"), std::string::npos);
}

TEST_F(BuildReportTest, EachWarningHasItsCase) {
  struct Case {
    const char* name;
    std::function<void(TSiteGenerator&)> set;
    std::string code;
    std::vector<std::string> in_message;
  };
  const std::vector<Case> cases = {
      {"9 pages and 5 addresses",
       [](TSiteGenerator& g) {
         g.SetSiteUrlsToLink({"http://1/", "http://2/", "http://3/", "http://4/", "http://5/"});
       },
       "link-quota-zero",
       {"5 link addresses over 9 pages", "(5 div 8 = 0)", "at least 8 addresses"}},
      {"minimum above maximum",
       [](TSiteGenerator& g) {
         g.SetMinCharsPerPage(600);
         g.SetMaxCharsPerPage(500);
       },
       "min-above-max",
       {"minimum page size, 600", "maximum, 500"}},
      {"bounds -5 and 10",
       [](TSiteGenerator& g) {
         g.SetMinCharsPerPage(-5);
         g.SetMaxCharsPerPage(10);
       },
       "forced-cuts",
       {"cut inside a word or sentence at the maximum of 10 characters", "between -5 and 10",
        "pages 0, 1, 2"}},
      {"template without charset",
       [](TSiteGenerator& g) {
         g.SetSiteTemplate("<html><head></head>SiteGeneratorChange.MainText\r");
       },
       "no-charset",
       {"the pages declare no charset", "windows-1251"}},
      {"javascript: address",
       [](TSiteGenerator& g) {
         g.SetSiteUrlsToLink({"http://ok/", " JavaScript:alert(1)", "http://2/", "http://3/",
                              "http://4/", "http://5/", "http://6/", "http://7/", "http://8/"});
       },
       "unsafe-url",
       {"the link address \" JavaScript:alert(1)\" runs script when clicked; its links were "
        "inserted as written"}},
      {"menu and bars on every page",
       [](TSiteGenerator& g) {
         g.SetSiteTemplate(
             "<meta charset=x>SiteGeneratorChange.Menu SiteGeneratorChange.Pagination "
             "SiteGeneratorChange.MainText\r");
       },
       "large-output",
       {"menus and pagination bars make up",
        "every page's menu and pagination bar list every "
        "page",
        "MenuWindow and PagerWindow"}},
      {"windowed menu, full bars",
       [](TSiteGenerator& g) {
         g.SetSiteTemplate(
             "<meta charset=x>SiteGeneratorChange.Pagination SiteGeneratorChange.Pagination "
             "SiteGeneratorChange.MainText\r");
         TOrvanaExtras extras;
         extras.MenuWindow = 1;
         g.SetExtras(extras);
       },
       "large-output",
       {"every page's pagination bar lists every page", "PagerWindow (--pager-window)"}},
      {"a template that declares utf-8 over Windows-1251 pages",
       [](TSiteGenerator& g) {
         g.SetSiteTemplate(
             "<html><head><meta charset=\"utf-8\"></head>SiteGeneratorChange.MainText\r");
       },
       "charset-mismatch",
       {"the pages declare a charset other than windows-1251", "--output-encoding"}},
      {"a site address with a query",
       [](TSiteGenerator& g) {
         TOrvanaExtras extras;
         extras.SiteUrl = "http://e.org/?x=1";
         g.SetExtras(extras);
       },
       "bad-site-url",
       {"\"http://e.org/?x=1\" cannot be used", "no sitemap was written"}},
      {"blank addresses",
       [](TSiteGenerator& g) {
         g.SetSiteUrlsToLink({"http://a/", "", "http://b/", " ", "http://c/", "http://d/",
                              "http://e/", "http://f/", "http://g/"});
       },
       "empty-address",
       {"2 link addresses are blank"}},
      {"addresses with blanks around them",
       [](TSiteGenerator& g) {
         g.SetSiteUrlsToLink({" http://a/", "http://b/\t", "\xA0/c", "http://d/", "http://e/",
                              "http://f/", "http://g/", "http://h/", "http://i/"});
       },
       "padded-address",
       {"3 link addresses have blanks at either end"}},
  };
  for (const Case& c : cases) {
    SetUp();
    SetParagraphs(9);
    c.set(g_);
    const TBuildReport r = Build();
    const TBuildWarning* w = Find(r, c.code);
    ASSERT_NE(w, nullptr) << c.name;
    for (const std::string& part : c.in_message)
      EXPECT_NE(w->message.find(part), std::string::npos) << c.name << ": " << w->message;
    // Warnings that this case has no reason for stay away.
    if (c.code != "min-above-max" && c.code != "forced-cuts") {
      EXPECT_EQ(Find(r, "forced-cuts"), nullptr) << c.name;
    }
    if (c.code != "no-charset") {
      EXPECT_EQ(Find(r, "no-charset"), nullptr) << c.name;
    }
  }
}

TEST_F(BuildReportTest, LargeOutputWeighsTheMenuAndBarsAgainstTheSite) {
  SetParagraphs(9);
  g_.SetSiteTemplate(
      "<meta charset=x>SiteGeneratorChange.Pagination SiteGeneratorChange.MainText\r");
  TBuildReport r = Build();
  // Every page's HTML is its bar, a blank, the paragraph text and the rest of
  // the template; the bars counted must be exactly those.
  uint64_t bars = 0;
  for (int p = 0; p < g_.Pages().Count(); ++p) bars += g_.Pages()[p].Pagination.size();
  EXPECT_EQ(r.menu_and_bar_bytes, bars);
  EXPECT_EQ(Find(r, "large-output") != nullptr, bars * 2 > r.bytes);
  // With two bars a page, they outweigh the text.
  g_.SetSiteTemplate(
      "<meta charset=x>SiteGeneratorChange.Pagination SiteGeneratorChange.Pagination "
      "SiteGeneratorChange.MainText\r");
  r = Build();
  EXPECT_EQ(r.menu_and_bar_bytes, 2 * bars);
  EXPECT_NE(Find(r, "large-output"), nullptr);
}

// The links of each address counted straight from the page texts.
int64_t CountIn(const std::string& text, const std::string& pattern) {
  int64_t n = 0;
  for (size_t at = text.find(pattern); at != std::string::npos; at = text.find(pattern, at + 1))
    ++n;
  return n;
}

TEST_F(BuildReportTest, LinksAreCountedPerAddressInThePages) {
  SetParagraphs(3);
  // Repeated words give several links to one address; a duplicate address is
  // reported once; the blank in an address is percent-encoded in the href.
  g_.SetSiteText({"rivers rivers meadows forests. harbours mountains rivers", "",
                  "forests rivers meadows today.", "", "harbours mountains valleys"});
  g_.SetMinCharsPerPage(10);
  g_.SetMaxCharsPerPage(60);
  // More addresses than words to carry them: the last ones stay unused.
  TStringList urls = {"http://a/", "http://b/x y", "http://a/"};
  for (int i = 0; i < 17; ++i) urls.push_back("http://u/" + std::to_string(i));
  g_.SetSiteUrlsToLink(urls);
  const TBuildReport r = Build();
  ASSERT_EQ(r.by_address.size(), 19u);
  EXPECT_EQ(r.by_address[0].url, "http://a/");
  EXPECT_EQ(r.by_address[1].url, "http://b/x y");
  EXPECT_EQ(r.by_address[2].url, "http://u/0");
  int64_t total = 0;
  std::vector<std::string> unused;
  for (const TAddressLinks& a : r.by_address) {
    std::string href = a.url == "http://b/x y" ? "http://b/x%20y" : a.url;
    int64_t count = 0;
    std::vector<int> pages;
    for (int p = 0; p < g_.Pages().Count(); ++p) {
      const int64_t here = CountIn(g_.Pages()[p].PageText, " <a href=\"" + href + "\">");
      count += here;
      if (here > 0) pages.push_back(p);
    }
    EXPECT_EQ(a.count, count) << a.url;
    EXPECT_EQ(a.pages, pages) << a.url;
    if (count == 0) unused.push_back(a.url);
    total += count;
  }
  EXPECT_EQ(r.unused, unused);
  EXPECT_GT(total, 0);
  // The addresses the distribution never reached got no link.
  ASSERT_LT(r.placed, 20);
  for (size_t i = static_cast<size_t>(r.placed); i < g_.SiteUrlsToLink().size(); ++i)
    EXPECT_NE(std::find(r.unused.begin(), r.unused.end(), g_.SiteUrlsToLink()[i]), r.unused.end())
        << g_.SiteUrlsToLink()[i];
}

}  // namespace
}  // namespace orvana
