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
  EncodePageInto(html, *ParseOutputEncoding(output_encoding), out);
  return out;
}

// A random page of `count` pieces of the '|'-separated list.
std::string RandomPage(std::mt19937& rng, std::string_view list, int count) {
  std::vector<std::string_view> pieces;
  for (size_t at = 0, bar; at <= list.size(); at = bar + 1) {
    bar = std::min(list.find('|', at), list.size());
    pieces.push_back(list.substr(at, bar - at));
  }
  std::string html;
  for (int i = 0; i < count; ++i) html += pieces[rng() % pieces.size()];
  return html;
}

// The sniffer, fed a page cut anywhere, answers as the whole page read at
// once does: the same declaration at the same offset, the same head and body.
TEST(PageEncodingTest, SnifferAgreesWithWholeFileOverRandomCuts) {
  constexpr std::string_view kBits =
      "<|>|<meta|<META | charset|CharSet=utf-8|<body|<BoDy>|<bod|y|a| |<b|=windows-1251|<p>|"
      "</head>|<head>|<!--|-->|--!>|'|\"|=| http-equiv=Content-Type|-|<meta charset=|"
      " content='text/html; charset=koi8-r'";
  std::mt19937 rng(7);
  int declared = 0;
  for (int round = 0; round < 20000; ++round) {
    const std::string html = RandomPage(rng, kBits, static_cast<int>(rng() % 24));
    TCharsetSniffer whole, sniffer;
    whole.Feed(html);
    for (size_t at = 0, n = 0; at < html.size(); at += n)
      sniffer.Feed(std::string_view(html).substr(at, n = rng() % 7));
    ASSERT_EQ(sniffer.Result(), DeclaredCharset(html)) << html;
    ASSERT_EQ(sniffer.Name(), whole.Name()) << html;
    if (whole.Declaration())
      ASSERT_EQ(sniffer.Declaration()->offset, whole.Declaration()->offset) << html;
    ASSERT_EQ(sniffer.HeadEnd(), whole.HeadEnd()) << html;
    ASSERT_EQ(sniffer.BodyStart(), whole.BodyStart()) << html;
    declared += DeclaredCharset(html) != TCharsetKind::kNone;
  }
  EXPECT_GT(declared, 2000);
  EXPECT_LT(declared, 18000);
}

// A comment hides what it holds: a page with a comment anywhere between
// its elements, whatever the comment holds, is encoded as the page without
// it, with the comment kept where it stood.
TEST(PageEncodingTest, CommentsHideTheirMarkupFromTheDeclaration) {
  constexpr std::string_view kElements =
      "<meta charset=\"koi8-r\">|<META CHARSET=utf-8>|<head>|<HEAD lang=ru>|<body>|text|"
      "<p title='<meta charset=x>'>|<!DOCTYPE html>|<meta name=robots>|</head>|<!---->|\xE0\xE1|"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">";
  std::mt19937 rng(11);
  for (int round = 0; round < 5000; ++round) {
    const std::string before = RandomPage(rng, kElements, static_cast<int>(rng() % 5));
    const std::string after = RandomPage(rng, kElements, static_cast<int>(rng() % 5));
    std::string inside = RandomPage(rng, kElements, static_cast<int>(rng() % 4));
    std::replace(inside.begin(), inside.end(), '-', '_');  // no end of the comment inside
    // Browsers end a comment at "-->" or "--!>", and right after "<!--" at
    // ">" or "->".
    const std::string comment = "<!-- " + inside + (rng() % 2 ? " -->" : " --!>");
    const std::string with = before + comment + after;
    ASSERT_EQ(DeclaredCharset(with), DeclaredCharset(before + after)) << with;
    const std::string plain = EncodePage(before + after, "utf-8");
    std::string expected = EncodePage(with, "utf-8");
    const size_t at = expected.find(Cp1251ToUtf8(comment));
    ASSERT_NE(at, std::string::npos) << with;
    expected.erase(at, Cp1251ToUtf8(comment).size());
    ASSERT_EQ(expected, plain) << with;
  }
}

// Where a page that declares nothing gets its declaration: within the first
// 1024 bytes, where browsers look before they parse.
TEST(PageEncodingTest, AnAddedDeclarationLiesInTheFirst1024Bytes) {
  for (size_t filler : {0, 500, 995, 996, 1000, 2000}) {
    const std::string html = "<!DOCTYPE html><!--" + std::string(filler, 'x') + "--><head><p>";
    const std::string page = EncodePage(html, "utf-8");
    const size_t meta = page.find("<meta charset=\"utf-8\">");
    EXPECT_LE(meta + 22, 1024u) << filler;
    EXPECT_EQ(DeclaredCharset(page), TCharsetKind::kUtf8);
  }
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
      // Browsers honour a charset named in the body, never one in a comment.
      {"<head></head><body><meta charset=x>", "<head></head><body><meta charset=utf-8>"},
      {"<head><!-- <meta charset=koi8-r> --></head>",
       "<head>" + meta + "<!-- <meta charset=koi8-r> --></head>"},
      {"<!-- <head> --><html><head>x", "<!-- <head> --><html><head>" + meta + "x"},
      {"<html title='<meta charset=x>'><head>", "<html title='<meta charset=x>'><head>" + meta},
      // A tag that cannot stand in a head ends it: a later <head> is none.
      {"<p><head>x", meta + "<p><head>x"},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodePage(c.html, "utf-8"), c.expected) << c.html;
}

TEST(EncodePageTest, Utf8OutputConvertsAndDeclaresClassicOutputIsUntouched) {
  const std::string page = "<head></head>" + test::W("Привет");
  EXPECT_EQ(EncodePage(page, "windows-1251"), page);
  EXPECT_EQ(EncodePage(page, "utf-8"), "<head><meta charset=\"utf-8\"></head>Привет");
  EXPECT_EQ(EncodeStylesheet(test::W("/* ё */"), TOutputEncoding::kUtf8), "/* ё */");
  EXPECT_EQ(EncodeStylesheet(test::W("/* ё */"), TOutputEncoding::kWindows1251),
            test::W("/* ё */"));
}

}  // namespace
}  // namespace orvana
