// The generator with extras: titles, windows, links, encoding, sitemap and
// stale pages, through Generate and the writers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "engine/ExtrasOutput.h"
#include "engine/SiteGenerator.h"
#include "tests/support/SiteWrite.h"
#include "tests/support/TestUtil.h"

namespace orvana {
namespace {

using test::W;

// A generator of `pages` pages of "wordNN" text, a small template and some
// addresses, seeded.
void MakeSite(TSiteGenerator& g, int paragraphs) {
  TStringList text;
  for (int i = 0; i < paragraphs; ++i) {
    text.push_back(W("Слово") + std::to_string(i) + " alphabet, <b>bravo</b> charlie.");
    text.push_back("");
  }
  g.SetSiteText(text);
  g.SetSiteUrlsToLink({"http://x/1", "http://x/2", "http://x/3"});
  g.SetMinCharsPerPage(40);
  g.SetMaxCharsPerPage(60);
  g.SetSiteTemplate(
      "<html><head><title>SiteGeneratorChange.Title</title></head>"
      "SiteGeneratorChange.Menu|SiteGeneratorChange.MainText|SiteGeneratorChange.Pagination");
  g.SetCssCode(W("/* Ё */"));
  g.SetRandomSeed(3);
}

TEST(GeneratorExtrasTest, PageWordAndIndexLabelNameThePages) {
  TSiteGenerator g;
  MakeSite(g, 6);
  TOrvanaExtras e;
  e.PageWord = "Part";
  e.IndexLabel = "Start";
  g.SetExtras(e);
  g.Generate();
  ASSERT_GT(g.Pages().Count(), 2);
  EXPECT_EQ(g.Pages()[0].PageTitle, "Start");
  EXPECT_EQ(g.Pages()[2].PageTitle, "Part 2");
  EXPECT_NE(g.SiteMenu().find("<a href=\"page2.html\">Part 2</a>"), std::string::npos);
}

// Whatever the page word and the index label hold, every page, windowed
// menu or not, has the tags and quotes of the same site with plain words.
TEST(GeneratorExtrasTest, PageWordAndIndexLabelAreWrittenAsText) {
  std::mt19937 rng(5);
  const std::string alphabet = "<>&\"/ab" + W("Гл");
  for (int run = 0; run < 40; ++run) {
    TSiteGenerator plain, g;
    TOrvanaExtras e;
    e.MenuWindow = static_cast<int32_t>(rng() % 3);
    for (TSiteGenerator* site : {&plain, &g}) {
      MakeSite(*site, 6);
      site->SetExtras(e);
      site->Generate();
      for (std::string* word : {&e.PageWord, &e.IndexLabel})
        for (int n = 1 + rng() % 8; n > 0; --n) *word += alphabet[rng() % alphabet.size()];
    }
    for (int p = 0; p < g.Pages().Count(); ++p)
      for (const char c : {'<', '"'})
        EXPECT_EQ(std::ranges::count(g.Pages()[p].PageHTML, c),
                  std::ranges::count(plain.Pages()[p].PageHTML, c));
  }
}

TEST(GeneratorExtrasTest, WindowedBarsAndMenusGoIntoEachPage) {
  TSiteGenerator g;
  MakeSite(g, 20);
  TOrvanaExtras e;
  e.PagerWindow = 1;
  e.MenuWindow = 1;
  g.SetExtras(e);
  g.Generate();
  const int n = g.Pages().Count();
  ASSERT_GT(n, 6);
  std::vector<std::string_view> urls, titles;
  for (int i = 0; i < n; ++i) {
    urls.emplace_back(g.Pages()[i].PageUrl);
    titles.emplace_back(g.Pages()[i].PageTitle);
  }
  for (int i = 0; i < n; ++i) {
    const TSitePage& page = g.Pages()[i];
    EXPECT_EQ(page.Pagination, BuildWindowedBar(urls, i, 1));
    EXPECT_TRUE(page.PageHTML.starts_with("<html><head><title> - " + page.PageTitle +
                                          "</title></head>" +
                                          BuildWindowedMenu(urls, titles, i, 1) + "|"))
        << i;
    EXPECT_TRUE(page.PageHTML.ends_with("|" + page.Pagination)) << i;
  }
}

TEST(GeneratorExtrasTest, SafeLinksWithRelThroughTheGenerator) {
  TSiteGenerator g;
  MakeSite(g, 3);
  TOrvanaExtras e;
  e.SafeLinks = true;
  e.LinkRel = "nofollow";
  g.SetExtras(e);
  g.Generate();
  std::string all;
  for (int i = 0; i < g.Pages().Count(); ++i) all += g.Pages()[i].PageText;
  EXPECT_EQ(g.LinksPlaced(), 3);
  EXPECT_NE(all.find("<a href=\"http://x/1\" rel=\"nofollow\">"), std::string::npos) << all;
  // The existing tag's word is never linked.
  EXPECT_EQ(all.find(">bravo</a>"), std::string::npos);
  // Classic links get the rel too.
  e.SafeLinks = false;
  g.SetExtras(e);
  g.Generate();
  all.clear();
  for (int i = 0; i < g.Pages().Count(); ++i) all += g.Pages()[i].PageText;
  EXPECT_NE(all.find("\" rel=\"nofollow\">"), std::string::npos) << all;
}

TEST(GeneratorExtrasTest, Utf8SiteWithSitemapAndStalePagesRemoved) {
  test::TempDir dir;
  const std::filesystem::path root = dir.Path();
  for (const char* name : {"page40.html", "page041.html", "page41.htm", "notes.txt"})
    test::WriteWholeFile(root / name, "old");
  TSiteGenerator g;
  MakeSite(g, 6);
  TOrvanaExtras e;
  e.OutputEncoding = TOutputEncoding::kUtf8;
  e.SiteUrl = "https://example.org";
  e.PruneStale = true;
  g.SetExtras(e);
  std::vector<std::string> asked;
  TSiteBuildOptions options;
  options.confirm_prune = [&](const std::vector<std::string>& stale) {
    asked = stale;
    return true;
  };
  const TSiteBuildResult built = test::BuildInto(g, dir.Path(), RealFileSystem(), options);
  ASSERT_EQ(built.outcome, TBuildOutcome::kWritten);
  const uint64_t bytes = built.report.bytes;
  const int n = g.Pages().Count();
  const std::string index = test::ReadWholeFile(root / "index.html");
  EXPECT_TRUE(index.starts_with("<html><head><meta charset=\"utf-8\"><title>")) << index;
  EXPECT_NE(index.find("Слово0"), std::string::npos);
  EXPECT_EQ(test::ReadWholeFile(root / "style.css"), "/* Ё */");
  const std::string sitemap = test::ReadWholeFile(root / "sitemap.xml");
  EXPECT_NE(sitemap.find("<loc>https://example.org/page" + std::to_string(n - 1) + ".html</loc>"),
            std::string::npos);
  EXPECT_EQ(asked, std::vector<std::string>{"page40.html"});
  EXPECT_EQ(built.report.pruned, std::vector<std::string>{"page40.html"});
  EXPECT_FALSE(std::filesystem::exists(root / "page40.html"));
  for (const char* kept : {"page041.html", "page41.htm", "notes.txt"})
    EXPECT_EQ(test::ReadWholeFile(root / kept), "old") << kept;
  uint64_t on_disk = 0;
  for (int i = 0; i < n; ++i) on_disk += std::filesystem::file_size(root / g.Pages()[i].PageUrl);
  EXPECT_EQ(bytes, on_disk + std::filesystem::file_size(root / "style.css") + sitemap.size());
  // The pages keep no HTML once written, as in the classic build.
  EXPECT_TRUE(g.Pages()[0].PageHTML.empty());
}

TEST(GeneratorExtrasTest, RefusedOrUnsetPruneKeepsOrRemovesOnlyStalePages) {
  test::TempDir dir;
  const std::filesystem::path root = dir.Path();
  test::WriteWholeFile(root / "page90.html", "old");
  TSiteGenerator g;
  MakeSite(g, 2);
  TOrvanaExtras e;
  e.PruneStale = true;
  g.SetExtras(e);
  TSiteBuildOptions refused;
  refused.confirm_prune = [](const std::vector<std::string>&) { return false; };
  const TSiteBuildResult built = test::BuildInto(g, dir.Path(), RealFileSystem(), refused);
  ASSERT_EQ(built.outcome, TBuildOutcome::kWritten);
  EXPECT_TRUE(std::filesystem::exists(root / "page90.html"));
  EXPECT_TRUE(built.report.pruned.empty());
  // Windows-1251 pages without charset stay as they were written before.
  EXPECT_EQ(test::ReadWholeFile(root / "style.css"), W("/* Ё */"));
  test::GenerateThenImport(g, dir.Path());
  EXPECT_FALSE(std::filesystem::exists(root / "page90.html"));
  EXPECT_TRUE(std::filesystem::exists(root / "index.html"));
}

TEST(GeneratorExtrasTest, DefaultExtrasWriteTheClassicFilesOnly) {
  test::TempDir dir;
  TSiteGenerator g;
  MakeSite(g, 4);
  ASSERT_EQ(test::BuildInto(g, dir.Path()).outcome, TBuildOutcome::kWritten);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(dir.Path()) / "sitemap.xml"));
  const std::string index = test::ReadWholeFile(std::filesystem::path(dir.Path()) / "index.html");
  EXPECT_EQ(index.find("charset"), std::string::npos);
  EXPECT_NE(index.find(W("Слово0")), std::string::npos);
}

}  // namespace
}  // namespace orvana
