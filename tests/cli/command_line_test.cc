#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include <source_location>
#include <string>
#include <vector>

#include "cli/CliError.h"
#include "tests/support/TestUtil.h"

namespace orvana::cli {
namespace {

const std::vector<TOptionEntry> kEntries = {{"out", true}, {"seed", true}, {"save", false}};

// Parsing the arguments is a usage error with this message and a pointer to
// the command's help.
void ExpectUsageError(const std::vector<std::string>& args, const std::string& message,
                      std::source_location where = std::source_location::current()) {
  const auto error = test::ExpectThrowsMessage<EUsageError>(
      [&] { ParseCommandArgs(args, kEntries); }, message, where);
  if (error) {
    EXPECT_TRUE(error->Hint()) << message;
  }
}

TEST(CommandLine, ValuesInBothFormsAndFlags) {
  const TCommandArgs a =
      ParseCommandArgs({"p.orvana", "--out", "site", "--seed=7", "--save"}, kEntries);
  EXPECT_EQ(a.positional, (std::vector<std::string>{"p.orvana"}));
  EXPECT_EQ(a.Value("out"), "site");
  EXPECT_EQ(a.Value("seed"), "7");
  EXPECT_TRUE(a.Flag("save"));
  EXPECT_FALSE(a.help);
  EXPECT_FALSE(ParseCommandArgs({"p"}, kEntries).Value("out").has_value());
}

TEST(CommandLine, ValueMayLookLikeAnOptionOrBeEmpty) {
  const TCommandArgs a = ParseCommandArgs({"--out", "--save", "--seed=", "p"}, kEntries);
  EXPECT_EQ(a.Value("out"), "--save");
  EXPECT_EQ(a.Value("seed"), "");
  EXPECT_FALSE(a.Flag("save"));
  EXPECT_EQ(ParseCommandArgs({"--out=a=b"}, kEntries).Value("out"), "a=b");
}

TEST(CommandLine, RepeatedOptionKeepsTheLastValue) {
  EXPECT_EQ(ParseCommandArgs({"--out", "a", "--out=b"}, kEntries).Value("out"), "b");
}

TEST(CommandLine, DoubleDashEndsOptions) {
  const TCommandArgs a = ParseCommandArgs({"--save", "--", "--out", "-h", "-"}, kEntries);
  EXPECT_EQ(a.positional, (std::vector<std::string>{"--out", "-h", "-"}));
  EXPECT_TRUE(a.Flag("save"));
  EXPECT_FALSE(a.help);
  EXPECT_FALSE(a.Value("out").has_value());
}

TEST(CommandLine, HelpStopsParsing) {
  EXPECT_TRUE(ParseCommandArgs({"p", "-h", "--bogus"}, kEntries).help);
  EXPECT_TRUE(ParseCommandArgs({"--help"}, kEntries).help);
}

TEST(CommandLine, BadOptionsAreUsageErrors) {
  ExpectUsageError({"--bogus"}, "unknown option '--bogus'");
  ExpectUsageError({"--bogus=1"}, "unknown option '--bogus'");
  ExpectUsageError({"-x"}, "unknown option '-x'");
  ExpectUsageError({"p", "--out"}, "option '--out' needs a value");
  ExpectUsageError({"--save=yes"}, "option '--save' takes no value");
  // Names match whole: a prefix is not an abbreviation.
  ExpectUsageError({"--sa"}, "unknown option '--sa'");
}

TEST(CommandLine, Unsigned64AcceptsTheWholeRangeOnly) {
  EXPECT_EQ(ParseUnsigned64("0"), 0u);
  EXPECT_EQ(ParseUnsigned64("42"), 42u);
  EXPECT_EQ(ParseUnsigned64("18446744073709551615"), UINT64_MAX);
  EXPECT_EQ(ParseUnsigned64("007"), 7u);
  for (const char* bad : {"", "18446744073709551616", "99999999999999999999", "-1", "+1", " 1",
                          "1 ", "0x10", "1e3", "12a"})
    EXPECT_FALSE(ParseUnsigned64(bad).has_value()) << bad;
}

}  // namespace
}  // namespace orvana::cli

#include <random>

#include "cli/HostName.h"

namespace orvana::cli {
namespace {

// RFC 3492's own samples and common host names.
TEST(HostName, PunycodeOfKnownLabels) {
  const std::pair<std::u32string, std::string> cases[] = {
      {U"例子", "fsqu00a"},
      {U"bücher", "bcher-kva"},
      {U"пример", "e1afmkfd"},
      {U"他们为什么不说中文", "ihqwcrb4cv8a8dqg056pqjye"},
      {U"3年B組金八先生", "3B-ww4c5e180e575a65lsy2b"},
      {U"-> $1.00 <-", "-> $1.00 <--"}};
  for (const auto& [label, code] : cases) EXPECT_EQ(Punycode(label), code) << code;
}

TEST(HostName, OnlyTheHostOfAnAddressChanges) {
  const std::pair<std::string, std::string> cases[] = {
      {"https://例子.cn/", "https://xn--fsqu00a.cn/"},
      {"http://ПРИМЕР.рф:8080/путь?q#f", "http://xn--e1afmkfd.xn--p1ai:8080/путь?q#f"},
      {"https://user@bücher。example/", "https://user@xn--bcher-kva.example/"},
      {"https://example.org/", "https://example.org/"},
      {"https://[::1]:80/", "https://[::1]:80/"},
      {"no scheme/例子", "no scheme/例子"},
      {"https://\xFF.cn/", "https://\xFF.cn/"}};
  for (const auto& [typed, ascii] : cases) EXPECT_EQ(UrlWithAsciiHost(typed), ascii) << typed;
}

// Any name printed for a message is one line of no control character, and
// its escapes give the name back.
TEST(PrintablePath, EscapesEveryControlCharacterReversibly) {
  std::mt19937 random(3);
  for (int round = 0; round < 2000; ++round) {
    std::string name;
    for (int n = static_cast<int>(random() % 20); n > 0; --n)
      name += static_cast<char>(random() % 4 ? ' ' + random() % 95 : random() % 256);
    if (name.find('\\') != std::string::npos) continue;
    const std::string shown = PrintablePath(name);
    std::string back;
    for (size_t i = 0; i < shown.size(); ++i) {
      const auto byte = static_cast<unsigned char>(shown[i]);
      ASSERT_TRUE(byte >= 0x20 && byte != 0x7F) << shown;
      if (shown[i] != '\\') {
        back += shown[i];
      } else if (shown[i + 1] == 'x') {
        back += static_cast<char>(std::stoi(shown.substr(i + 2, 2), nullptr, 16));
        i += 3;
      } else {
        back += shown[++i] == 'n' ? '\n' : shown[i] == 'r' ? '\r' : '\t';
      }
    }
    ASSERT_EQ(back, name);
  }
  EXPECT_EQ(AbsoluteUtf8Path("/a\nb"), "/a\\nb");
}

}  // namespace
}  // namespace orvana::cli
