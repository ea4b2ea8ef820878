#include "engine/UrlSafety.h"

#include <gtest/gtest.h>

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
