#include "cli/ProjectJson.h"

#include <gtest/gtest.h>

#include "engine/CodePage.h"

namespace orvana::cli {
namespace {

TEST(ProjectJson, QuoteEscapesWhatJsonRequires) {
  EXPECT_EQ(JsonQuote(""), "\"\"");
  EXPECT_EQ(JsonQuote("a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
  EXPECT_EQ(JsonQuote("\r\n\t"), "\"\\r\\n\\t\"");
  EXPECT_EQ(JsonQuote(std::string("\0\x01\x1F\x7F", 4)), "\"\\u0000\\u0001\\u001F\x7F\"");
  EXPECT_EQ(JsonQuote("\x08\x0C"), "\"\\u0008\\u000C\"");
  EXPECT_EQ(JsonQuote("Ёж"), "\"Ёж\"");
}

TEST(ProjectJson, EmptyGeneratorListsEveryPropertyInPublishedOrder) {
  TSiteGenerator g;
  EXPECT_EQ(GeneratorToJson(g),
            "{\"Pages\":[],\"SiteText\":[],\"SiteTemplate\":\"\",\"SiteUrlsToLink\":[],"
            "\"SiteMenu\":\"\",\"AdsenseCode\":\"\",\"CssCode\":\"\",\"SiteTitle\":\"\","
            "\"SiteHeader\":\"\",\"SiteFooter\":\"\",\"MaxCharsPerPage\":0,"
            "\"MinCharsPerPage\":0,\"SavePath\":\"\"}");
}

TEST(ProjectJson, ValuesAreConvertedAndPagesAreObjects) {
  TSiteGenerator g;
  g.SetSiteText({Utf8ToCp1251("Привет"), "", "It's"});
  g.SetSiteTemplate("<p>\rx\r");
  g.SetSiteUrlsToLink({"http://example.com/?a=\"1\""});
  g.SetSiteTitle(Utf8ToCp1251("Хроника"));
  g.SetMaxCharsPerPage(-5);
  g.SetMinCharsPerPage(2147483647);
  g.SetSavePath("C:\\Site");
  TSitePage& page = g.AddPage("index");
  page.PageText = "Hi\r\r";
  page.Pagination = "<b>1</b>";
  g.AddPage(Utf8ToCp1251("Раздел 1"));
  EXPECT_EQ(GeneratorToJson(g),
            "{\"Pages\":[{\"PageText\":\"Hi\\r\\r\",\"PageHTML\":\"\",\"PageTitle\":\"index\","
            "\"Pagination\":\"<b>1</b>\",\"PageUrl\":\"index.html\"},"
            "{\"PageText\":\"\",\"PageHTML\":\"\",\"PageTitle\":\"Раздел 1\",\"Pagination\":\"\","
            "\"PageUrl\":\"page1.html\"}],"
            "\"SiteText\":[\"Привет\",\"\",\"It's\"],\"SiteTemplate\":\"<p>\\rx\\r\","
            "\"SiteUrlsToLink\":[\"http://example.com/?a=\\\"1\\\"\"],\"SiteMenu\":\"\","
            "\"AdsenseCode\":\"\",\"CssCode\":\"\",\"SiteTitle\":\"Хроника\",\"SiteHeader\":\"\","
            "\"SiteFooter\":\"\",\"MaxCharsPerPage\":-5,\"MinCharsPerPage\":2147483647,"
            "\"SavePath\":\"C:\\\\Site\"}");
}

}  // namespace
}  // namespace orvana::cli
