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
