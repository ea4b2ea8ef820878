#include "engine/UrlSafety.h"

#include <gtest/gtest.h>

#include <cstdio>
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
  for (const std::string address :
       {"", "http://example.com/", "https://a.example/p?q=1&r=%20#frag",
        "mailto:someone@example.org", "/relative/page1.html",
        "http://\xEF\xF0\xE8.example/~a(b)!*,;", "/?a=1&copy=2&amp;b&#106;&x&"})
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
      // References a browser would read otherwise than RunsScript does.
      {"&copy;x&fjlig;", "&amp;copy;x&amp;fjlig;"},
      {"?a&not/&reg_id=1&yen", "?a&amp;not/&amp;reg_id=1&amp;yen"},
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

// Every disguise of the three schemes that a browser sees through, character
// references included, is judged as script.
TEST(RunsScript, SeesThroughEveryDisguiseABrowserDoes) {
  std::mt19937 rng(31);
  const auto pick = [&rng](std::initializer_list<std::string> from) {
    return from.begin()[rng() % from.size()];
  };
  for (int run = 0; run < 3000; ++run) {
    std::string address = pick({"", " ", "&#32;", "\x01", "&Tab;", "&#x0A;"});
    for (const char c : pick({"javascript:", "vbscript:", "data:"})) {
      const int code = c == ':' || rng() % 2 ? c : c - 32;  // either letter case
      char hex[16];
      std::snprintf(hex, sizeof hex, rng() % 2 ? "&#x%x;" : "&#X%X;", code);
      const std::string decimal = "&#00" + std::to_string(code) + pick({";", ""});
      address +=
          pick({std::string(1, static_cast<char>(code)), decimal, hex, c == ':' ? "&colon;" : hex});
      if (rng() % 4 == 0) address += pick({"&Tab;", "&NewLine;", "&#9;", "&#x0d;", "\t"});
    }
    EXPECT_TRUE(RunsScript(address + "alert(1)")) << address;
  }
}

TEST(ScriptRunningAddresses, ListsTheOffendersInOrderOnceEach) {
  const TStringList addresses = {"http://a.example/", "javascript:a()", "data:,1",
                                 "http://b.example/", "javascript:a()", "JAVASCRIPT:a()"};
  EXPECT_EQ(ScriptRunningAddresses(addresses),
            (std::vector<std::string>{"javascript:a()", "data:,1", "JAVASCRIPT:a()"}));
  EXPECT_TRUE(ScriptRunningAddresses({"http://a.example/", ""}).empty());
}

TEST(SiteUrlProblem, OnlyAbsoluteHttpAddressesWithoutBlanksQueryOrFragmentPass) {
  for (const std::string good : {"", "HTTP://u@Example.org:8080/a.html", "https://\xF1\xE0\xE4.x/"})
    EXPECT_EQ(SiteUrlProblem(good), "") << good;
  for (const std::string bad :
       {"ftp://x.org/", "//x.org/", "javascript:x", "http:/x.org", "https://", "https:///p",
        "http://?q", "http://x.org/a b", "http://x/\xA0", "http://x/\t", "http://x/\x7F",
        "http://x/?p", "http://x/#p"})
    EXPECT_NE(SiteUrlProblem(bad), "") << bad;
}

}  // namespace
}  // namespace orvana
