#include "engine/SiteMenu.h"

#include <gtest/gtest.h>

#include "tests/support/TestUtil.h"

namespace orvana {
namespace {

using test::W;

// Pages as the generator names them: "index" / "index.html", then
// "Раздел k" / "pagek.html".
struct TPage {
  std::string PageTitle, PageUrl, Pagination;
};

class SiteMenuTest : public testing::Test {
 protected:
  void AddPage(const std::string& title) {
    const size_t k = pages_.size();
    std::string url = "index.html";
    if (k > 0) url.assign("page").append(std::to_string(k)).append(".html");
    pages_.push_back({title, url, {}});
  }
  void Build() {
    std::vector<std::string_view> urls, titles;
    for (const TPage& p : pages_) {
      urls.emplace_back(p.PageUrl);
      titles.emplace_back(p.PageTitle);
    }
    menu_ = BuildSiteMenu(urls, titles);
    const TPaginationBars bars(urls);
    for (size_t p = 0; p < pages_.size(); ++p)
      bars.Build(static_cast<int>(p), pages_[p].Pagination);
  }
  void MakePages(int n) {
    AddPage("index");
    for (int i = 1; i < n; ++i) AddPage(W("Раздел ") + std::to_string(i));
    Build();
  }
  std::vector<TPage> pages_;
  std::string menu_;
};

TEST_F(SiteMenuTest, OnePage) {
  MakePages(1);
  EXPECT_EQ(menu_, "<ul>\r<li><a href=\"index.html\">index</a></li>\r</ul>");
  EXPECT_EQ(pages_[0].Pagination, "&lt;&lt;&lt;  0  &gt;&gt;&gt;");
  EXPECT_EQ(pages_[0].Pagination.size(), 29u);
}

TEST_F(SiteMenuTest, TwoPages) {
  MakePages(2);
  EXPECT_EQ(pages_[0].Pagination,
            "&lt;&lt;&lt;  0  <a href=\"page1.html\">1</a>  "
            "<a href=\"page1.html\">&gt;&gt;&gt; </a>");
  EXPECT_EQ(pages_[1].Pagination,
            "<a href=\"index.html\">&lt;&lt;&lt; </a>  <a href=\"index.html\">0</a>  1  "
            "&gt;&gt;&gt;");
  EXPECT_EQ(menu_, "<ul>\r<li><a href=\"index.html\">index</a></li>\r<li><a href=\"page1.html\">" +
                       W("Раздел 1") + "</a></li>\r</ul>");
}

TEST_F(SiteMenuTest, ThreePagesMiddleHasBothArrowsLinked) {
  MakePages(3);
  EXPECT_EQ(pages_[1].Pagination,
            "<a href=\"index.html\">&lt;&lt;&lt; </a>  <a href=\"index.html\">0</a>  1  "
            "<a href=\"page2.html\">2</a>  <a href=\"page2.html\">&gt;&gt;&gt; </a>");
  EXPECT_EQ(pages_[2].Pagination,
            "<a href=\"page1.html\">&lt;&lt;&lt; </a>  <a href=\"index.html\">0</a>  "
            "<a href=\"page1.html\">1</a>  2  &gt;&gt;&gt;");
}

TEST_F(SiteMenuTest, EveryBarLinksAllNumbersButItsOwn) {
  MakePages(12);
  for (int p = 0; p < 12; ++p) {
    const std::string& bar = pages_[p].Pagination;
    for (int k = 0; k < 12; ++k) {
      const std::string link =
          "<a href=\"" + pages_[k].PageUrl + "\">" + std::to_string(k) + "</a>";
      EXPECT_EQ(bar.find(link) != std::string::npos, k != p) << "page " << p << " number " << k;
    }
    EXPECT_NE(bar.find("  " + std::to_string(p) + "  "), std::string::npos);
  }
  // Double-digit numbers are written in full.
  EXPECT_NE(pages_[3].Pagination.find("<a href=\"page11.html\">11</a> "), std::string::npos);
}

TEST_F(SiteMenuTest, MenuIsRebuiltFromScratch) {
  menu_ = "stale";
  MakePages(1);
  EXPECT_EQ(menu_.find("stale"), std::string::npos);
  EXPECT_EQ(menu_.back(), '>');  // "</ul>" with no CR after it
}

TEST_F(SiteMenuTest, TitlesAndUrlsAreNotEscaped) {
  AddPage("a<b>&c");
  pages_[0].PageUrl = "x\"y.html";
  Build();
  EXPECT_EQ(menu_, "<ul>\r<li><a href=\"x\"y.html\">a<b>&c</a></li>\r</ul>");
}

}  // namespace
}  // namespace orvana

namespace orvana {
namespace {

TEST(PaginationBarSize, EqualsTheBuiltBarForEveryPage) {
  for (const int n : {1, 2, 3, 10, 11, 101}) {
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i)
      names.push_back(std::string(i == 0 ? "index.html" : "p").append(std::to_string(i)));
    const TPaginationBars bars(std::vector<std::string_view>(names.begin(), names.end()));
    std::string bar;
    for (int p = 0; p < n; ++p) {
      bars.Build(p, bar);
      EXPECT_EQ(bars.Size(p), bar.size()) << "page " << p << " of " << n;
    }
  }
}

}  // namespace
}  // namespace orvana

namespace orvana {
namespace {

TEST(PaginationBarPieces, JoinToTheBuiltBar) {
  for (const int n : {1, 2, 3, 12}) {
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i)
      names.push_back(std::string("p").append(std::to_string(i)).append(".html"));
    if (n == 3) names[1].clear();  // an empty name is a piece of its own
    const TPaginationBars bars(std::vector<std::string_view>(names.begin(), names.end()));
    EXPECT_TRUE(bars.Inert());
    for (int p = 0; p < n; ++p) {
      std::vector<std::string_view> pieces;
      bars.AppendPieces(p, pieces);
      std::string joined;
      for (std::string_view piece : pieces) joined += piece;
      std::string built;
      bars.Build(p, built);
      EXPECT_EQ(joined, built) << "page " << p << " of " << n;
    }
  }
}

TEST(PaginationBarPieces, ANameHoldingAPlaceholderPrefixSpoilsInertness) {
  const std::vector<std::string_view> names = {"index.html", "SiteGeneratorChange.Title"};
  EXPECT_FALSE(TPaginationBars(names).Inert());
  const std::vector<std::string_view> plain = {"index.html", "SiteGeneratorChangeTitle"};
  EXPECT_TRUE(TPaginationBars(plain).Inert());
}

}  // namespace
}  // namespace orvana
