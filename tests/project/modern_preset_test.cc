#include "project/ModernPreset.h"

#include <gtest/gtest.h>

#include "project/DefaultContent.h"
#include "project/MemoText.h"
#include "tests/support/TestUtil.h"

namespace orvana {
namespace {

TEST(ModernPresetTest, SetsTemplateStylesheetAdsAndItsThreeExtras) {
  TSiteGenerator g;
  ApplyNewProjectContent(g);
  TOrvanaExtras before;
  before.SiteUrl = "https://example.org/";
  before.PagerWindow = 7;
  g.SetExtras(before);
  g.SetSiteTitle("T");
  ApplyModernPreset(g);
  EXPECT_EQ(g.SiteTemplate(), MemoToStrings(ModernTemplateLines()));
  EXPECT_EQ(g.CssCode(), MemoToStrings(ModernCssLines()));
  EXPECT_EQ(g.AdsenseCode(), "");
  EXPECT_EQ(g.Extras().PagerWindow, 2);
  EXPECT_TRUE(g.Extras().SafeLinks);
  EXPECT_EQ(g.Extras().OutputEncoding, TOutputEncoding::kUtf8);
  // What the preset does not name stays.
  EXPECT_EQ(g.Extras().SiteUrl, "https://example.org/");
  EXPECT_EQ(g.SiteTitle(), "T");
  EXPECT_EQ(g.MinCharsPerPage(), kDefaultMinCharsPerPage);
}

TEST(ModernPresetTest, TemplateIsHtml5WithCharsetViewportAndLandmarks) {
  const std::string t = MemoToStrings(ModernTemplateLines());
  for (const char* needle :
       {"<!DOCTYPE html>", "<html lang=", "<meta charset=\"windows-1251\">", "name=\"viewport\"",
        "<nav", "<main", "SiteGeneratorChange.Menu", "SiteGeneratorChange.MainText",
        "SiteGeneratorChange.Pagination", "SiteGeneratorChange.Title", "href=\"style.css\""})
    EXPECT_NE(t.find(needle), std::string::npos) << needle;
  // Nothing is fetched from elsewhere: no script, no image.
  for (const char* absent : {"<script", "<img", "http://", "https://"})
    EXPECT_EQ(t.find(absent), std::string::npos) << absent;
  const std::string css = MemoToStrings(ModernCssLines());
  EXPECT_EQ(css.find("url("), std::string::npos);
  EXPECT_EQ(css.find("width: 776px"), std::string::npos);
}

}  // namespace
}  // namespace orvana
