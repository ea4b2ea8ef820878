#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include <random>

#include <source_location>
#include <string>
#include <vector>

#include "cli/CliError.h"
#include "cli/HostName.h"
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

// RFC 3492's own samples and common host names.
TEST(HostName, PunycodeOfKnownLabels) {
  EXPECT_EQ(Punycode(U"例子"), "fsqu00a");
  EXPECT_EQ(Punycode(U"bücher"), "bcher-kva");
  EXPECT_EQ(Punycode(U"пример"), "e1afmkfd");
  EXPECT_EQ(Punycode(U"他们为什么不说中文"), "ihqwcrb4cv8a8dqg056pqjye");
  EXPECT_EQ(Punycode(U"3年B組金八先生"), "3B-ww4c5e180e575a65lsy2b");
  EXPECT_EQ(Punycode(U"-> $1.00 <-"), "-> $1.00 <--");
}

TEST(HostName, OnlyTheHostOfAnAddressChanges) {
  EXPECT_EQ(UrlWithAsciiHost("https://例子.cn/"), "https://xn--fsqu00a.cn/");
  EXPECT_EQ(UrlWithAsciiHost("http://ПРИМЕР.рф:8080/путь?q#f"),
            "http://xn--e1afmkfd.xn--p1ai:8080/путь?q#f");
  EXPECT_EQ(UrlWithAsciiHost("https://u@bücher。org/"), "https://u@xn--bcher-kva.org/");
  for (const char* same : {"https://e.org/", "https://[::1]:80/", "a/例子", "https://\xFF.cn/"})
    EXPECT_EQ(UrlWithAsciiHost(same), same);
}

// Any name printed in a message is one line without control characters, and
// its escapes give the name back.
TEST(PrintablePath, EscapesEveryControlCharacterReversibly) {
  std::mt19937 random(3);
  for (int round = 0; round < 2000; ++round) {
    std::string name, back;
    for (int n = static_cast<int>(random() % 20); n > 0; --n) {
      const char c = static_cast<char>(random() % 4 ? 'a' + random() % 26 : random() % 256);
      name += c == '\\' ? '/' : c;
    }
    const std::string shown = PrintablePath(name);
    for (size_t i = 0; i < shown.size(); ++i) {
      ASSERT_TRUE(static_cast<unsigned char>(shown[i]) >= 0x20 && shown[i] != 0x7F) << shown;
      if (shown[i] != '\\')
        back += shown[i];
      else if (shown[++i] == 'x')
        back += static_cast<char>(std::stoi(shown.substr(i + 1, 2), nullptr, 16)), i += 2;
      else
        back += shown[i] == 'n' ? '\n' : shown[i] == 'r' ? '\r' : '\t';
    }
    ASSERT_EQ(back, name);
  }
}

}  // namespace
}  // namespace orvana::cli
