#include "SiteMenu.h"

#include <gtest/gtest.h>

#include "SiteGenerator.h"
#include "TestUtil.h"

namespace orvana {
namespace {

using test::W;

class SiteMenuTest : public testing::Test {
 protected:
  void MakePages(int n) {
    g_.AddPage("index");
    for (int i = 1; i < n; ++i) g_.AddPage(W("Раздел ") + std::to_string(i));
    BuildMenuAndPagination(g_);
  }
  TSiteGenerator g_;
};

TEST_F(SiteMenuTest, OnePage) {
  MakePages(1);
  EXPECT_EQ(g_.SiteMenu(), "<ul>\r<li><a href=\"index.html\">index</a></li>\r</ul>");
  EXPECT_EQ(g_.Pages()[0].Pagination, "&lt;&lt;&lt;  0  &gt;&gt;&gt;");
  EXPECT_EQ(g_.Pages()[0].Pagination.size(), 29u);
}

TEST_F(SiteMenuTest, TwoPages) {
  MakePages(2);
  EXPECT_EQ(g_.Pages()[0].Pagination,
            "&lt;&lt;&lt;  0  <a href=\"page1.html\">1</a>  "
            "<a href=\"page1.html\">&gt;&gt;&gt; </a>");
  EXPECT_EQ(g_.Pages()[1].Pagination,
            "<a href=\"index.html\">&lt;&lt;&lt; </a>  <a href=\"index.html\">0</a>  1  "
            "&gt;&gt;&gt;");
  EXPECT_EQ(g_.SiteMenu(),
            "<ul>\r<li><a href=\"index.html\">index</a></li>\r<li><a href=\"page1.html\">" +
                W("Раздел 1") + "</a></li>\r</ul>");
}

TEST_F(SiteMenuTest, ThreePagesMiddleHasBothArrowsLinked) {
  MakePages(3);
  EXPECT_EQ(g_.Pages()[1].Pagination,
            "<a href=\"index.html\">&lt;&lt;&lt; </a>  <a href=\"index.html\">0</a>  1  "
            "<a href=\"page2.html\">2</a>  <a href=\"page2.html\">&gt;&gt;&gt; </a>");
  EXPECT_EQ(g_.Pages()[2].Pagination,
            "<a href=\"page1.html\">&lt;&lt;&lt; </a>  <a href=\"index.html\">0</a>  "
            "<a href=\"page1.html\">1</a>  2  &gt;&gt;&gt;");
}

TEST_F(SiteMenuTest, EveryBarLinksAllNumbersButItsOwn) {
  MakePages(12);
  for (int p = 0; p < 12; ++p) {
    const std::string& bar = g_.Pages()[p].Pagination;
    for (int k = 0; k < 12; ++k) {
      const std::string link =
          "<a href=\"" + g_.Pages()[k].PageUrl + "\">" + std::to_string(k) + "</a>";
      EXPECT_EQ(bar.find(link) != std::string::npos, k != p) << "page " << p << " number " << k;
    }
    EXPECT_NE(bar.find("  " + std::to_string(p) + "  "), std::string::npos);
  }
  // Double-digit numbers are written in full.
  EXPECT_NE(g_.Pages()[3].Pagination.find("<a href=\"page11.html\">11</a> "), std::string::npos);
}

TEST_F(SiteMenuTest, MenuIsRebuiltFromScratch) {
  g_.SetSiteMenu("stale");
  MakePages(1);
  EXPECT_EQ(g_.SiteMenu().find("stale"), std::string::npos);
  EXPECT_EQ(g_.SiteMenu().back(), '>');  // "</ul>" with no CR after it
}

TEST_F(SiteMenuTest, TitlesAndUrlsAreNotEscaped) {
  g_.AddPage("a<b>&c");
  g_.Pages()[0].PageUrl = "x\"y.html";
  BuildMenuAndPagination(g_);
  EXPECT_EQ(g_.SiteMenu(), "<ul>\r<li><a href=\"x\"y.html\">a<b>&c</a></li>\r</ul>");
}

}  // namespace
}  // namespace orvana

namespace orvana {
namespace {

TEST(PaginationBarSize, EqualsTheBuiltBarForEveryPage) {
  for (const int n : {1, 2, 3, 10, 11, 101}) {
    TSiteGenerator g;
    g.AddPage("index");
    for (int i = 1; i < n; ++i) g.AddPage("p");
    const TPaginationBars bars(g.Pages());
    std::string bar;
    for (int p = 0; p < n; ++p) {
      bars.Build(p, bar);
      EXPECT_EQ(bars.Size(p), bar.size()) << "page " << p << " of " << n;
    }
  }
}

}  // namespace
}  // namespace orvana
