// Windowed bars and menus, UTF-8 pages with their charset, the sitemap.
#include "engine/ExtrasOutput.h"
#include "engine/PageEncoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <random>

#include "engine/CodePage.h"
#include "engine/SiteMenu.h"
#include "tests/support/TestUtil.h"

namespace orvana {
namespace {

std::vector<std::string> PageUrls(int count) {
  std::vector<std::string> urls;
  for (int i = 0; i < count; ++i)
    urls.push_back(i == 0 ? "index.html" : "page" + std::to_string(i) + ".html");
  return urls;
}

std::vector<std::string_view> Views(const std::vector<std::string>& strings) {
  return {strings.begin(), strings.end()};
}

TEST(WindowedEntriesTest, ShowsEndsAndWindowAndFoldsLongerGaps) {
  constexpr int E = kEllipsisEntry;
  const struct {
    int count, current, window;
    std::vector<int> expected;
  } cases[] = {
      {1, 0, 1, {0}},
      {3, 1, 1, {0, 1, 2}},
      {10, 0, 2, {0, 1, 2, E, 9}},
      {10, 9, 2, {0, E, 7, 8, 9}},
      // One hidden number between shown ones is shown, two fold.
      {10, 5, 2, {0, E, 3, 4, 5, 6, 7, 8, 9}},
      {10, 4, 2, {0, 1, 2, 3, 4, 5, 6, E, 9}},
      {5, 4, 1, {0, E, 3, 4}},
      {7, 3, 1, {0, 1, 2, 3, 4, 5, 6}},
      {8, 3, 1, {0, 1, 2, 3, 4, E, 7}},
      {6, 2, 10, {0, 1, 2, 3, 4, 5}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WindowedEntries(c.count, c.current, c.window), c.expected)
        << c.count << " " << c.current << " " << c.window;
}

// The rule read literally, page by page, in 64 bits.
std::vector<int> NaiveEntries(int count, int current, int window) {
  const auto shown = [&](int64_t k) {
    return k == 0 || k == count - 1 || std::abs(k - current) <= window;
  };
  std::vector<int> entries;
  for (int k = 0; k < count; ++k) {
    entries.push_back(shown(k) || shown(k + 1) ? k : kEllipsisEntry);  // shown, or hidden alone
    while (!shown(k) && !shown(k + 1)) ++k;
  }
  return entries;
}

TEST(WindowedEntriesTest, AgreesWithTheRuleForAnyWindowUpToInt32Max) {
  std::mt19937 random(20240611);
  for (int i = 0; i < 5000; ++i) {
    const int count = 1 + static_cast<int>(random() % (i % 10 ? 40 : 5000));
    const int current = static_cast<int>(random() % count),
              near = static_cast<int>(random() % (count + 3));
    const int window = std::array{near, INT32_MAX - near, static_cast<int>(random() >> 1)}[i % 3];
    EXPECT_EQ(WindowedEntries(count, current, window), NaiveEntries(count, current, window))
        << count << " " << current << " " << window;
  }
}

TEST(WindowedBarTest, ExactBytesOfSmallBars) {
  const std::vector<std::string> urls = PageUrls(6);
  EXPECT_EQ(BuildWindowedBar(Views(urls), 0, 1),
            "&lt;&lt;&lt;  0  <a href=\"page1.html\">1</a>  \x85  <a href=\"page5.html\">5</a>  "
            "<a href=\"page1.html\">&gt;&gt;&gt; </a>");
  EXPECT_EQ(BuildWindowedBar(Views(urls), 3, 1),
            "<a href=\"page2.html\">&lt;&lt;&lt; </a>  <a href=\"index.html\">0</a>  "
            "<a href=\"page1.html\">1</a>  <a href=\"page2.html\">2</a>  3  "
            "<a href=\"page4.html\">4</a>  <a href=\"page5.html\">5</a>  "
            "<a href=\"page4.html\">&gt;&gt;&gt; </a>");
  EXPECT_EQ(BuildWindowedBar(Views(urls), 5, 1),
            "<a href=\"page4.html\">&lt;&lt;&lt; </a>  <a href=\"index.html\">0</a>  \x85  "
            "<a href=\"page4.html\">4</a>  5  &gt;&gt;&gt;");
}

TEST(WindowedBarTest, AWindowOverEveryPageIsTheFullBar) {
  for (int count : {1, 2, 5, 9}) {
    const std::vector<std::string> urls = PageUrls(count);
    const TPaginationBars bars(Views(urls));
    std::string full;
    for (int p = 0; p < count; ++p) {
      bars.Build(p, full);
      for (int window : {count, INT32_MAX - 1, INT32_MAX})
        EXPECT_EQ(BuildWindowedBar(Views(urls), p, window), full) << count << " " << p;
    }
  }
}

TEST(WindowedMenuTest, ExactBytesAndFullMenuForAWideWindow) {
  const std::vector<std::string> urls = PageUrls(5);
  const std::vector<std::string> titles = {"index", "P 1", "P 2", "P 3", "P 4"};
  EXPECT_EQ(BuildWindowedMenu(Views(urls), Views(titles), 0, 1),
            "<ul>\r<li><a href=\"index.html\">index</a></li>\r"
            "<li><a href=\"page1.html\">P 1</a></li>\r<li>\x85</li>\r"
            "<li><a href=\"page4.html\">P 4</a></li>\r</ul>");
  EXPECT_EQ(BuildWindowedMenu(Views(urls), Views(titles), 2, 5),
            BuildSiteMenu(Views(urls), Views(titles)));
}

TEST(WindowedMenuTest, MenusOfAWindowedSiteGrowLinearly) {
  const std::vector<std::string> small = PageUrls(100), large = PageUrls(1000);
  const auto total = [](const std::vector<std::string>& urls) {
    size_t size = 0;
    for (int p = 0; p < static_cast<int>(urls.size()); ++p)
      size += BuildWindowedMenu(Views(urls), Views(urls), p, 2).size();
    return size;
  };
  // Ten times the pages, about ten times the bytes (the file names grow a
  // digit), far from the hundred times of full menus.
  EXPECT_LT(total(large), total(small) * 14);
}

TEST(SitemapTest, ProtocolDocumentWithEscapedAddresses) {
  const std::vector<std::string> urls = PageUrls(2);
  EXPECT_EQ(BuildSitemap("https://example.org/a&b", Views(urls)),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n"
            "<url><loc>https://example.org/a&amp;b/index.html</loc></url>\n"
            "<url><loc>https://example.org/a&amp;b/page1.html</loc></url>\n"
            "</urlset>\n");
  EXPECT_EQ(BuildSitemap(test::W("http://пример.рф/it's <x>/"), {"index.html"}),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n"
            "<url><loc>http://%D0%BF%D1%80%D0%B8%D0%BC%D0%B5%D1%80.%D1%80%D1%84/"
            "it&apos;s%20%3Cx%3E/index.html</loc></url>\n"
            "</urlset>\n");
}

TEST(SitemapTest, PartsKeepBothLimitsAndTheIndexListsThemInOrder) {
  std::mt19937 random(7);
  for (int i = 0; i < 300; ++i) {
    const std::vector<std::string> urls = PageUrls(1 + static_cast<int>(random() % 60));
    const size_t max_urls = 1 + random() % 20, max_bytes = 200 + random() % 1500;
    const std::string site = i % 2 ? "http://x.org/" : test::W("http://пример.рф/a b&c");
    const std::string whole = BuildSitemap(site, Views(urls));
    const auto files = BuildSitemapFiles(site, Views(urls), max_urls, max_bytes);
    std::string index =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<sitemapindex xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
    size_t done = 0;  // pages in the parts so far
    for (size_t p = 0; p + 1 < files.size(); ++p) {
      const std::string name = "sitemap-" + std::to_string(p + 1) + ".xml",
                        one = BuildSitemap(site, {name});
      const size_t pages = static_cast<size_t>(std::ranges::count(files[p].bytes, '\n')) - 3;
      ASSERT_TRUE(pages >= 1 && pages <= max_urls && done + pages <= urls.size()) << pages;
      EXPECT_TRUE(files[p].bytes.size() <= max_bytes || pages == 1);  // or one address too long
      const std::vector<std::string> own(urls.begin() + done, urls.begin() + done + pages);
      EXPECT_EQ(files[p].name + files[p].bytes, name + BuildSitemap(site, Views(own)));
      done += pages;
      const size_t loc = one.find("<loc>");
      index += "<sitemap>" + one.substr(loc, one.find("</url>") - loc) + "</sitemap>\n";
    }
    const bool fits = urls.size() <= max_urls && whole.size() <= max_bytes;
    EXPECT_EQ(files.back().name + files.back().bytes,
              "sitemap.xml" + (fits ? whole : index + "</sitemapindex>\n"));
    EXPECT_EQ(fits ? 0 : urls.size(), done);
  }
  const std::string first = BuildSitemap("e.org", Views(PageUrls(50000)));
  for (int count : {50000, 50001}) {
    const auto files = BuildSitemapFiles("e.org", Views(PageUrls(count)));
    EXPECT_EQ(files.size(), count == 50000 ? 1u : 3u);
    EXPECT_EQ(files[0].bytes, first);
  }
}

}  // namespace
}  // namespace orvana
