#include "TextInput.h"

#include <gtest/gtest.h>

#include "CliError.h"
#include "CliTestUtil.h"

namespace orvana::cli {
namespace {

using testing::TempDir;
using testing::WriteWholeFile;

TEST(TextInput, FinalLineFeedAddsNoLine) {
  EXPECT_EQ(SplitInputLines("a\nb\n"), (TStringList{"a", "b"}));
  EXPECT_EQ(SplitInputLines("a\nb"), (TStringList{"a", "b"}));
}

TEST(TextInput, OnlyOneFinalEmptyPieceIsDropped) {
  EXPECT_EQ(SplitInputLines("a\n\n"), (TStringList{"a", ""}));
  EXPECT_EQ(SplitInputLines("\n"), (TStringList{""}));
  EXPECT_EQ(SplitInputLines("\n\n"), (TStringList{"", ""}));
  EXPECT_EQ(SplitInputLines("a\n\nb"), (TStringList{"a", "", "b"}));
}

TEST(TextInput, EmptyTextGivesNoLine) { EXPECT_TRUE(SplitInputLines("").empty()); }

TEST(TextInput, CrBeforeLfBelongsToTheLineBreak) {
  EXPECT_EQ(SplitInputLines("a\r\nb\r\n"), (TStringList{"a", "b"}));
  EXPECT_EQ(SplitInputLines("a\r\n\r\n"), (TStringList{"a", ""}));
  // Only the one CR right before the LF goes; others stay in their line.
  EXPECT_EQ(SplitInputLines("a\r\r\n"), (TStringList{"a\r"}));
  EXPECT_EQ(SplitInputLines("a\rb\nc\r"), (TStringList{"a\rb", "c\r"}));
}

TEST(TextInput, ConvertsUtf8ToWindows1251) {
  EXPECT_EQ(SplitInputLines("Привет, мир\nЁж"),
            (TStringList{"\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0", "\xA8\xE6"}));
  // Characters the code page lacks, one '?' each, also outside the BMP.
  EXPECT_EQ(SplitInputLines("日本 \xF0\x9F\x98\x80!"), (TStringList{"?? ?!"}));
  // A malformed sequence does not swallow the line break after it.
  EXPECT_EQ(SplitInputLines("a\xD0\nb"), (TStringList{"a?", "b"}));
}

TEST(TextInput, LeadingByteOrderMarkIsNotText) {
  EXPECT_EQ(SplitInputLines("\xEF\xBB\xBF"
                            "a\nb"),
            (TStringList{"a", "b"}));
  EXPECT_TRUE(SplitInputLines("\xEF\xBB\xBF").empty());
  EXPECT_EQ(SplitInputLines("a\xEF\xBB\xBF"), (TStringList{"a?"}));
}

TEST(TextInput, ReadsFileBytesUnchanged) {
  TempDir dir;
  const std::string bytes("x\r\n\0y\n\xC3\xA9", 8);
  WriteWholeFile(dir / "in.txt", bytes);
  EXPECT_EQ(ReadInputFile(dir / "in.txt"), bytes);
  EXPECT_EQ(ReadInputLines(dir / "in.txt"), (TStringList{"x", std::string("\0y", 2), "?"}));
  WriteWholeFile(dir / "empty.txt", "");
  EXPECT_TRUE(ReadInputLines(dir / "empty.txt").empty());
}

TEST(TextInput, UnreadableFileNamesItsAbsolutePath) {
  TempDir dir;
  try {
    ReadInputFile(dir / "missing.txt");
    ADD_FAILURE() << "no error";
  } catch (const ECliError& e) {
    EXPECT_STREQ(
        e.what(),
        ("Cannot open file \"" + dir / "missing.txt" + "\". No such file or directory").c_str());
  }
  try {
    ReadInputFile(dir.Path());
    ADD_FAILURE() << "no error";
  } catch (const ECliError& e) {
    EXPECT_STREQ(e.what(), ("Cannot open file \"" + dir.Path() + "\". Is a directory").c_str());
  }
}

TEST(TextInput, RelativePathsAreShownAbsolute) {
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(AbsoluteUtf8Path("a/b.txt"), cwd + "/a/b.txt");
  EXPECT_EQ(AbsoluteUtf8Path("/x/y"), "/x/y");
}

}  // namespace
}  // namespace orvana::cli
