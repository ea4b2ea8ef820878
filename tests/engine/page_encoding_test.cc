// Page encoding: the declaration each page makes, and the bytes a page is
// written as in either output encoding.
#include <random>

#include <gtest/gtest.h>

#include "engine/CodePage.h"
#include "engine/PageEncoding.h"
#include "tests/support/TestUtil.h"

namespace orvana {
namespace {

// A page's bytes as written, as a new string.
std::string EncodePage(std::string_view html, std::string_view output_encoding) {
  std::string out;
  EncodePageInto(html, output_encoding, out);
  return out;
}

// The sniffer, fed a file cut anywhere, answers as DeclaredCharset does on
// the whole file; the texts are built from the bytes that steer it.
TEST(PageEncodingTest, SnifferAgreesWithWholeFileOverRandomCuts) {
  static const char* const kBits[] = {
      "<",    ">", "<meta", "<META ", "charset", "CharSet=utf-8", "<body", "<BoDy>",
      "<bod", "y", "a",     " ",      "<b",      "=windows-1251", "<p>",   "</head>"};
  std::mt19937 rng(7);
  int declared = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string html;
    const int bits = static_cast<int>(rng() % 24);
    for (int i = 0; i < bits; ++i) html += kBits[rng() % std::size(kBits)];
    TCharsetSniffer sniffer;
    for (size_t at = 0; at < html.size();) {
      const size_t n = std::min<size_t>(html.size() - at, rng() % 7);
      sniffer.Feed(std::string_view(html).substr(at, n));
      at += n;
    }
    ASSERT_EQ(sniffer.Result(), DeclaredCharset(html)) << html;
    declared += DeclaredCharset(html) != TCharsetKind::kNone;
  }
  EXPECT_GT(declared, 1000);
  EXPECT_LT(declared, 18000);
}

// UTF-8 output: whatever the template declared, the page says utf-8 once,
// in the head (or after a leading doctype), and its text is converted.
TEST(PageEncodingTest, Utf8PagesDeclareUtf8WhereBrowsersLookForIt) {
  const std::string word = test::W("Привет");
  const struct {
    std::string html, expected;
  } cases[] = {
      {"<html><head><title>t</title></head><body>" + word + "</body></html>",
       "<html><head><meta charset=\"utf-8\"><title>t</title></head><body>Привет</body></html>"},
      {"<!DOCTYPE html>\r<p>" + word, "<!DOCTYPE html><meta charset=\"utf-8\">\r<p>Привет"},
      {"<p>" + word, "<meta charset=\"utf-8\"><p>Привет"},
      {"<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">"
       "</head>" +
           word,
       "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"></head>"
       "Привет"},
      {"<HEAD><META CHARSET='koi8-r'></HEAD>" + word, "<HEAD><META CHARSET='utf-8'></HEAD>Привет"},
      {"<head><meta charset=\"UTF-8\"></head>" + word,
       "<head><meta charset=\"UTF-8\"></head>Привет"},
      {"<header>x</header>" + word, "<meta charset=\"utf-8\"><header>x</header>Привет"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodePage(c.html, "utf-8"), c.expected) << c.html;
    EXPECT_EQ(EncodePage(c.html, "windows-1251"), c.html);
    EXPECT_EQ(DeclaredCharset(EncodePage(c.html, "utf-8")), TCharsetKind::kUtf8) << c.html;
  }
}

TEST(PageEncodingTest, EncodedSizeIsTheSizeOfTheConversion) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(EncodedSize(all, true), Cp1251ToUtf8(all).size());
  EXPECT_EQ(EncodedSize(all, false), all.size());
  std::string converted;
  AppendCp1251AsUtf8(all, converted);
  EXPECT_EQ(converted, Cp1251ToUtf8(all));
}

TEST(CharsetMetaTest, InsertedWhenNoCharsetIsDeclaredRewrittenWhenAnother) {
  const std::string meta = "<meta charset=\"utf-8\">";
  const struct {
    std::string html, expected;
  } cases[] = {
      {"<html><head><title>t</title></head>", "<html><head>" + meta + "<title>t</title></head>"},
      {"<HTML><HEAD lang=\"ru\">x", "<HTML><HEAD lang=\"ru\">" + meta + "x"},
      {"<header>no head</header>", meta + "<header>no head</header>"},
      {"plain", meta + "plain"},
      {"<head><META CHARSET=\"koi8-r\"></head>", "<head><META CHARSET=\"utf-8\"></head>"},
      {"<head><meta http-equiv=\"Content-Type\" content=\"text/html\"></head>",
       "<head>" + meta + "<meta http-equiv=\"Content-Type\" content=\"text/html\"></head>"},
      {"<head><meta name=\"robots\"></head>", "<head>" + meta + "<meta name=\"robots\"></head>"},
      // A charset named only in the body does not count.
      {"<head></head><body><meta charset=x>", "<head>" + meta + "</head><body><meta charset=x>"},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodePage(c.html, "utf-8"), c.expected) << c.html;
}

TEST(EncodePageTest, Utf8OutputConvertsAndDeclaresClassicOutputIsUntouched) {
  const std::string page = "<head></head>" + test::W("Привет");
  EXPECT_EQ(EncodePage(page, "windows-1251"), page);
  EXPECT_EQ(EncodePage(page, "utf-8"), "<head><meta charset=\"utf-8\"></head>Привет");
  EXPECT_EQ(EncodeStylesheet(test::W("/* ё */"), "utf-8"), "/* ё */");
  EXPECT_EQ(EncodeStylesheet(test::W("/* ё */"), "windows-1251"), test::W("/* ё */"));
}

}  // namespace
}  // namespace orvana
