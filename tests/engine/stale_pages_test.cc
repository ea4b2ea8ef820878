#include "engine/StalePages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "tests/support/TestUtil.h"

namespace orvana {
namespace {

TEST(StalePagesTest, OnlyTheGeneratorsOwnNamesArePageNumbers) {
  const struct {
    const char* name;
    int number;  // -1: not a generated page
  } cases[] = {
      {"page1.html", 1},           {"page12.html", 12}, {"page2147483647.html", 2147483647},
      {"page0.html", -1},          {"page01.html", -1}, {"page.html", -1},
      {"Page3.html", -1},          {"page3.HTML", -1},  {"page3.htm", -1},
      {"page3.html~", -1},         {"xpage3.html", -1}, {"page-3.html", -1},
      {"page+3.html", -1},         {"page 3.html", -1}, {"page3a.html", -1},
      {"index.html", -1},          {"style.css", -1},   {".page3.html.tmp-1-1", -1},
      {"page2147483648.html", -1},
  };
  for (const auto& c : cases) {
    const std::optional<int> n = GeneratedPageNumber(c.name);
    if (c.number < 0)
      EXPECT_FALSE(n.has_value()) << c.name;
    else
      EXPECT_EQ(n, c.number) << c.name;
  }
}

TEST(StalePagesTest, ListsNumbersAtOrAboveThePageCountInOrder) {
  const std::vector<std::string> names = {"page10.html", "page2.html", "page3.html", "index.html",
                                          "page03.html", "page9.html", "notes.txt",  "page1.html"};
  EXPECT_EQ(StalePageNames(names, 3),
            (std::vector<std::string>{"page3.html", "page9.html", "page10.html"}));
  EXPECT_EQ(StalePageNames(names, 1),
            (std::vector<std::string>{"page1.html", "page2.html", "page3.html", "page9.html",
                                      "page10.html"}));
  EXPECT_TRUE(StalePageNames(names, 11).empty());
}

// A folder in memory that records every removal.
class TListingFileSystem : public TFileSystem {
 public:
  std::vector<std::string> files;
  std::vector<std::string> removed;
  bool IsDirectory(const std::string&) override { return true; }
  bool ReplaceFile(const std::string&, std::string_view, TReplaceMode, TWriteFailure*) override {
    return true;
  }
  bool ListRegularFiles(const std::string&, std::vector<std::string>& names) override {
    names = files;
    return true;
  }
  bool RemoveFile(const std::string& path, int*) override {
    removed.push_back(path);
    return true;
  }
};

TEST(StalePagesTest, RemovesOnlyGeneratedNamesEvenWhenAskedForOthers) {
  TListingFileSystem fs;
  fs.files = {"page4.html", "page04.html", "index.html", "page5.html", "style.css"};
  const std::vector<std::string> stale = ListStaleFiles(fs, "site", 4, {});
  EXPECT_EQ(stale, (std::vector<std::string>{"page4.html", "page5.html"}));
  // A caller's list is checked again: other names are never removed.
  const std::vector<std::string> removed =
      RemoveStaleFiles(fs, "site", {"page4.html", "index.html", "style.css", "page04.html"});
  EXPECT_EQ(removed, (std::vector<std::string>{"page4.html"}));
  EXPECT_EQ(fs.removed, (std::vector<std::string>{"site/page4.html"}));
}

TEST(StalePagesTest, SitemapsTheBuildDidNotWriteAreStale) {
  using V = std::vector<std::string>;
  TListingFileSystem fs;
  fs.files = {"sitemap-2.xml", "sitemap.xml",    "sitemap-10.xml", "sitemap-1.xml", "sitemap-0.xml",
              "Sitemap.xml",   "sitemap-01.xml", "sitemap.xml.gz", "sitemap-.xml",  "page1.html"};
  const V all = {"sitemap.xml", "sitemap-1.xml", "sitemap-2.xml", "sitemap-10.xml"};
  for (size_t written = 0; written <= all.size(); ++written)  // none when the site lost its address
    EXPECT_EQ(ListStaleFiles(fs, "s", 2, V(all.begin() + written, all.end())),
              V(all.begin(), all.begin() + written));
  // Pages come first, by number, then sitemaps.
  EXPECT_EQ(ListStaleFiles(fs, "s", 1, {"sitemap.xml", "sitemap-1.xml", "sitemap-2.xml"}),
            (V{"page1.html", "sitemap-10.xml"}));
  EXPECT_EQ(RemoveStaleFiles(fs, "s", {"page01.html", "sitemap-1.xml", "Sitemap.xml"}),
            V{"sitemap-1.xml"});
  EXPECT_EQ(fs.removed, V{"s/sitemap-1.xml"});
}

TEST(StalePagesTest, RealFolderKeepsEverythingButStaleRegularPages) {
  test::TempDir dir;
  const std::filesystem::path root = dir.Path();
  for (const char* name : {"index.html", "page1.html", "page2.html", "page3.html", "page007.html",
                           "page8.html.bak", "style.css"})
    test::WriteWholeFile(root / name, "x");
  std::filesystem::create_directory(root / "page4.html");
  std::filesystem::create_symlink(root / "style.css", root / "page5.html");
  const std::string folder = root.string();
  const std::vector<std::string> stale = ListStaleFiles(RealFileSystem(), folder, 2, {});
  EXPECT_EQ(stale, (std::vector<std::string>{"page2.html", "page3.html"}));
  EXPECT_EQ(RemoveStaleFiles(RealFileSystem(), folder, stale), stale);
  for (const char* kept : {"index.html", "page1.html", "page007.html", "page8.html.bak",
                           "style.css", "page4.html", "page5.html"})
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(root / kept))) << kept;
  for (const char* gone : {"page2.html", "page3.html"})
    EXPECT_FALSE(std::filesystem::exists(root / gone)) << gone;
}

}  // namespace
}  // namespace orvana
