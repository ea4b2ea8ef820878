#include "UrlSafety.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace orvana {
namespace {

std::string Href(std::string_view address) {
  std::string out = "x";
  AppendHrefAddress(out, address);
  return out.substr(1);
}

TEST(HrefAddress, OrdinaryAddressesStayByteForByte) {
  for (const std::string address : {"", "http://example.com/", "https://a.example/p?q=1&r=%20#frag",
                                    "mailto:someone@example.org", "/relative/page1.html",
                                    "http://\xEF\xF0\xE8.example/~a(b)!*,;"})
    EXPECT_EQ(Href(address), address);
}

TEST(HrefAddress, BytesThatCannotStandRawAreEncodedInUppercaseHex) {
  const struct {
    std::string address, href;
  } cases[] = {
      {"\"", "%22"},
      {"'", "%27"},
      {"<>", "%3C%3E"},
      {"a b", "a%20b"},
      {std::string("\0\x01\x1F", 3), "%00%01%1F"},
      {"\t\r\n", "%09%0D%0A"},
      {"\x7F", "%7F"},
      {"\x80\xFF", "\x80\xFF"},  // Windows-1251 letters stay
      {"http://x.example/\"onmouseover=\"alert(1)", "http://x.example/%22onmouseover=%22alert(1)"},
  };
  for (const auto& c : cases) EXPECT_EQ(Href(c.address), c.href) << c.address;
}

TEST(RunsScript, SchemesThatRunScriptInAnyCaseAndDisguise) {
  const struct {
    std::string address;
    bool runs;
  } cases[] = {
      {"javascript:alert(1)", true},
      {"JavaScript:alert(1)", true},
      {"VBSCRIPT:msgbox", true},
      {"data:text/html,<script>", true},
      {"DaTa:,x", true},
      {"  \x01\x1Fjavascript:x", true},
      {"java\tscript:x", true},
      {"jav\r\nascript:x", true},
      {"\tvb\nscript:x", true},
      {"http://example.com/javascript:x", false},
      {"https://example.com/", false},
      {"javascript", false},
      {"javascripts:x", false},
      {"xjavascript:x", false},
      {"java script:x", false},
      {"data2:x", false},
      {"/data:x", false},
      {"", false},
      {"mailto:a@b", false},
  };
  for (const auto& c : cases) EXPECT_EQ(RunsScript(c.address), c.runs) << c.address;
}

TEST(ScriptRunningAddresses, ListsTheOffendersInOrderOnceEach) {
  const TStringList addresses = {"http://a.example/", "javascript:a()", "data:,1",
                                 "http://b.example/", "javascript:a()", "JAVASCRIPT:a()"};
  EXPECT_EQ(ScriptRunningAddresses(addresses),
            (std::vector<std::string>{"javascript:a()", "data:,1", "JAVASCRIPT:a()"}));
  EXPECT_TRUE(ScriptRunningAddresses({"http://a.example/", ""}).empty());
}

TEST(SiteUrlProblem, OnlyAbsoluteHttpAddressesWithoutQueryOrFragmentPass) {
  const struct {
    std::string url, problem;  // the problem's first words, "" for none
  } cases[] = {
      {"", ""},
      {"https://example.org/", ""},
      {"HTTP://Example.org", ""},
      {"http://u@example.org:8080/a/b.html", ""},
      {"https://\xF1\xE0\xE4.example/\xF1\xE0\xE4/", ""},  // Cyrillic in Windows-1251
      {"ftp://example.org/", "it is not"},
      {"//example.org/", "it is not"},
      {"example.org", "it is not"},
      {"javascript:alert(1)", "it is not"},
      {"http:/example.org", "it is not"},
      {"https://", "it names no host"},
      {"https:///path", "it names no host"},
      {"http://?q", "it names no host"},
      {"https://example.org/a b", "it holds a blank"},
      {"https://example.org/\xA0", "it holds a blank"},
      {"https://example.org/\t", "it holds a control"},
      {std::string("https://example.org/\0", 21), "it holds a control"},
      {"https://example.org/\x7F", "it holds a control"},
      {"https://example.org/?page=1", "it holds a query"},
      {"https://example.org/#top", "it holds a fragment"},
  };
  for (const auto& c : cases) {
    const std::string problem = SiteUrlProblem(c.url);
    if (c.problem.empty())
      EXPECT_EQ(problem, "") << c.url;
    else
      EXPECT_EQ(problem.substr(0, c.problem.size()), c.problem) << c.url;
  }
  // Any one such byte anywhere in a good address spoils it.
  std::mt19937 random(7);
  const std::string good = "https://example.org/a/b/";
  for (const char bad : std::string("\x01\x1F\x7F ?#\xA0\n")) {
    std::string url = good;
    url.insert(std::uniform_int_distribution<size_t>(8, good.size())(random), 1, bad);
    EXPECT_NE(SiteUrlProblem(url), "") << url;
  }
}

}  // namespace
}  // namespace orvana
