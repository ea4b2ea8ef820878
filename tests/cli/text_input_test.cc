#include "cli/TextInput.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <csignal>
#include <random>
#include <thread>

#include "cli/CliError.h"
#include "engine/CodePage.h"
#include "tests/cli/CliTestUtil.h"
#include "tests/cli/InputOracles.h"

namespace orvana::cli {
namespace {

using test::DecodeUtf8Input;
using test::SplitInputLines;
using test::TDecodedInput;
using testing::ExpectThrowsMessage;
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
  EXPECT_EQ(ReadInputText(dir / "in.txt", TInputEncoding::kUtf8).lines,
            (TStringList{"x", std::string("\0y", 2), "?"}));
  WriteWholeFile(dir / "empty.txt", "");
  EXPECT_TRUE(ReadInputText(dir / "empty.txt", TInputEncoding::kUtf8).lines.empty());
}

TEST(TextInput, UnreadableFileNamesItsAbsolutePath) {
  TempDir dir;
  ExpectThrowsMessage<ECliError>(
      [&] { ReadInputFile(dir / "missing.txt"); },
      "Cannot open file \"" + dir / "missing.txt" + "\". No such file or directory");
  ExpectThrowsMessage<ECliError>([&] { ReadInputFile(dir.Path()); },
                                 "Cannot open file \"" + dir.Path() + "\". Is a directory");
}

TEST(TextInput, InputOverTheLimitIsRefusedAsSoonAsItPassesIt) {
  // Standard input from a pipe whose writer never stops.
  std::signal(SIGPIPE, SIG_IGN);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::thread writer([w = fds[1]] {
    for (const char zeros[4096] = {}; ::write(w, zeros, sizeof zeros) > 0;) {
    }
    ::close(w);
  });
  const int saved = ::dup(0);
  ::dup2(fds[0], 0);
  ::close(fds[0]);
  ExpectThrowsMessage<ECliError>([] { ReadInputText("-", TInputEncoding::kUtf8, "ads", 1 << 20); },
                                 "--ads: standard input is larger than 1048576 bytes");
  ::dup2(saved, 0);
  writer.join();
}

TEST(TextInput, RelativePathsAreShownAbsolute) {
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(AbsoluteUtf8Path("a/b.txt"), cwd + "/a/b.txt");
  EXPECT_EQ(AbsoluteUtf8Path("/x/y"), "/x/y");
}

TEST(TextInput, InputEncodingNames) {
  const std::vector<std::pair<std::string, std::optional<TInputEncoding>>> cases = {
      {"utf-8", TInputEncoding::kUtf8},
      {"UTF-8", TInputEncoding::kUtf8},
      {"windows-1251", TInputEncoding::kWindows1251},
      {"Windows-1251", TInputEncoding::kWindows1251},
      {"utf8", std::nullopt},
      {"cp1251", std::nullopt},
      {"", std::nullopt},
      {"utf-8 ", std::nullopt},
  };
  for (const auto& [name, encoding] : cases) EXPECT_EQ(ParseInputEncoding(name), encoding) << name;
}

TEST(TextInput, ValidUtf8DecodesAsTheCodePageConversionDoes) {
  for (const std::string text :
       {"", "plain ASCII\n", "Привет, мир\r\nЁж «ёлка» — №5 €\n", "\xC2\x98 and \xC2\xA0",
        "日本 \xF0\x9F\x98\x80!", "a\xEF\xBB\xBF"}) {
    const TDecodedInput decoded = DecodeUtf8Input(text);
    EXPECT_EQ(decoded.malformed_line, 0u) << text;
    EXPECT_EQ(decoded.text, Utf8ToCp1251(text)) << text;
  }
  // The byte-order mark at the start goes, as SplitInputLines drops it.
  EXPECT_EQ(DecodeUtf8Input("\xEF\xBB\xBFЖ").text, "\xC6");
}

TEST(TextInput, CharactersOutsideTheCodePageAreCountedWithTheirFirstLine) {
  struct Case {
    std::string utf8;
    size_t unmapped;
    size_t first_line;
  };
  const std::vector<Case> cases = {
      {"Только кириллица\nи ASCII\n", 0, 0},
      {"日本", 2, 1},
      {"a\nb\n\nc \xF0\x9F\x98\x80 d é\né", 3, 4},
      {"\xEF\xBB\xBF\n\xEF\xBB\xBF", 1, 2},  // a mark after the start is a character
  };
  for (const Case& c : cases) {
    const TDecodedInput decoded = DecodeUtf8Input(c.utf8);
    EXPECT_EQ(decoded.malformed_line, 0u) << c.utf8;
    EXPECT_EQ(decoded.unmapped, c.unmapped) << c.utf8;
    EXPECT_EQ(decoded.first_unmapped_line, c.first_line) << c.utf8;
  }
}

TEST(TextInput, FirstMalformedSequenceGivesItsLine) {
  const std::vector<std::pair<std::string, size_t>> cases = {
      {Utf8ToCp1251("Привет"), 1},         // Windows-1251 text
      {"ok\n\x80", 2},                     // stray continuation byte
      {"ok\nok\nab\xD0", 3},               // truncated at the end
      {"a\xD0\nb", 1},                     // truncated by the line feed
      {"\n\n\n\xC0\xAF", 4},               // overlong '/'
      {"\xED\xA0\x80", 1},                 // a surrogate
      {"x\n\xF4\x90\x80\x80", 2},          // past U+10FFFF
      {"\xFF", 1},                         // never a lead byte
      {"é\n日本\n\xE6\x97\nok\n\xFF", 3},  // the first of several
  };
  for (const auto& [bytes, line] : cases) {
    const TDecodedInput decoded = DecodeUtf8Input(bytes);
    EXPECT_EQ(decoded.malformed_line, line) << bytes;
    EXPECT_EQ(decoded.text, "") << bytes;
  }
}

TEST(TextInput, Windows1251InputIsTakenAsItsBytes) {
  TempDir dir;
  WriteWholeFile(dir / "cp1251.txt", "first\n" + Utf8ToCp1251("Второй") + "\n");
  ExpectThrowsMessage<ECliError>(
      [&] { ReadInputText(dir / "cp1251.txt", TInputEncoding::kUtf8); },
      "Cannot read \"" + dir / "cp1251.txt" +
          "\" as UTF-8: line 2 holds bytes that are not UTF-8 (for a file in Windows-1251, give "
          "--input-encoding windows-1251)");
  // Read as Windows-1251, the bytes are the text, cut into lines.
  const TInputText text = ReadInputText(dir / "cp1251.txt", TInputEncoding::kWindows1251);
  EXPECT_EQ(text.lines, (TStringList{"first", Utf8ToCp1251("Второй")}));
  EXPECT_EQ(text.unmapped, 0u);
  // A UTF-8 byte-order mark is no mark in Windows-1251.
  WriteWholeFile(dir / "bom.txt", "\xEF\xBB\xBFx\r\n");
  EXPECT_EQ(ReadInputText(dir / "bom.txt", TInputEncoding::kWindows1251).lines,
            (TStringList{"\xEF\xBB\xBFx"}));
  EXPECT_EQ(ReadInputText(dir / "bom.txt", TInputEncoding::kUtf8).lines, (TStringList{"x"}));
}

// The conversion with its findings against a plain character-by-character
// walk, over random texts (some longer than the conversion's block).
TEST(TextInput, DecodingAgreesWithPlainWalkOverRandomTexts) {
  static const char* const kPieces[] = {"Слово ", "a",    "\n",       "\r\n",     "—", "中",
                                        "😀",      "\x80", "\xC0\x80", "\xE2\x80", "ё"};
  std::mt19937 rng(13);
  int malformed = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text = round % 2 ? "\xEF\xBB\xBF" : "";
    const size_t size = round % 100 == 0 ? 150000 : rng() % 200;
    while (text.size() < size) {
      // Broken sequences are rare, so that many texts get past them.
      const size_t piece = rng() % std::size(kPieces);
      if (piece >= 7 && piece <= 9 && rng() % 8) continue;
      text += kPieces[piece];
    }
    TDecodedInput plain;
    std::string_view rest(text);
    if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);
    size_t line = 1;
    while (!rest.empty()) {
      size_t length = 0;
      const long cp = DecodeUtf8(rest, length);
      if (cp < 0) {
        plain.text.clear();
        plain.malformed_line = line;
        break;
      }
      if (cp == '\n') ++line;
      const int b = UnicodeToCp1251(static_cast<char32_t>(cp));
      if (b < 0 && plain.unmapped++ == 0) plain.first_unmapped_line = line;
      plain.text += b < 0 ? '?' : static_cast<char>(b);
      rest.remove_prefix(length);
    }
    const TDecodedInput quick = DecodeUtf8Input(text);
    ASSERT_EQ(quick.text, plain.text);
    ASSERT_EQ(quick.malformed_line, plain.malformed_line);
    ASSERT_EQ(quick.unmapped, plain.unmapped);
    ASSERT_EQ(quick.first_unmapped_line, plain.first_unmapped_line);
    malformed += plain.malformed_line != 0;
  }
  EXPECT_GT(malformed, 300);
  EXPECT_LT(malformed, 2700);
}

// A file read a line at a time gives what the whole-text conversion and the
// cut into lines give: the lines, the '?' count and its first line, or the
// first malformed line in the message.
TEST(TextInput, FilesReadLineByLineAgreeWithTheWholeTextPath) {
  static const char* const kPieces[] = {"Слово ", "a", "\n", "\r\n", "\r",   "—",
                                        "中",     "ё", "é",  "\x80", "\xD0", "\xC0\x80"};
  std::mt19937 rng(29);
  TempDir dir;
  const std::string file = dir / "in.txt";
  for (int round = 0; round < 600; ++round) {
    std::string text = round % 3 == 0 ? "\xEF\xBB\xBF" : "";
    const size_t size = round % 50 == 0 ? 100000 : rng() % 300;
    while (text.size() < size) {
      const size_t piece = rng() % std::size(kPieces);
      if (piece >= 9 && rng() % 16) continue;
      text += kPieces[piece];
    }
    WriteWholeFile(file, text);
    const TDecodedInput whole = DecodeUtf8Input(text);
    if (whole.malformed_line != 0) {
      ExpectThrowsMessage<ECliError>(
          [&] { ReadInputText(file, TInputEncoding::kUtf8); },
          "Cannot read \"" + file + "\" as UTF-8: line " + std::to_string(whole.malformed_line) +
              " holds bytes that are not UTF-8 (for a file in Windows-1251, give "
              "--input-encoding windows-1251)");
      continue;
    }
    const TInputText input = ReadInputText(file, TInputEncoding::kUtf8);
    ASSERT_EQ(input.lines, SplitLines(whole.text)) << round;
    ASSERT_EQ(input.unmapped, whole.unmapped) << round;
    ASSERT_EQ(input.first_unmapped_line, whole.first_unmapped_line) << round;
    ASSERT_EQ(ReadInputText(file, TInputEncoding::kWindows1251).lines, SplitLines(text)) << round;
  }
}

// The writer is gone before a second open could find it; after ten seconds a
// watchdog plays a second writer, so that a regression fails, not hangs.
TEST(TextInput, NamedPipeIsOpenedOnce) {
  std::signal(SIGPIPE, SIG_IGN);
  TempDir dir;
  const std::string fifo = dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (int round = 0; round < 5; ++round) {
    std::atomic<bool> done = false;
    std::thread writer([&] {
      const int fd = ::open(fifo.c_str(), O_WRONLY);
      EXPECT_EQ(::write(fd, "one\ntwo\n", 8), 8);
      ::close(fd);
      for (int i = 0; i < 1000 && !done; ++i) ::usleep(10000);
      if (!done) ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    });
    const TStringList lines = ReadInputText(fifo, TInputEncoding::kUtf8).lines;
    done = true;
    writer.join();
    ASSERT_EQ(lines, (TStringList{"one", "two"})) << round;
  }
}

// Text in UTF-16 of either byte order, with its mark or without, is named as
// UTF-16 in either input encoding; the same text in UTF-8 is read.
TEST(TextInput, Utf16IsNamedAsSuch) {
  TempDir dir;
  const std::string file = dir / "in.txt";
  std::mt19937 rng(5);
  for (int round = 0; round < 200; ++round) {
    // Without its mark, only the NUL bytes of ASCII give UTF-16 away.
    const bool big = round % 2, mark = round % 3 == 0;
    std::u16string text;
    for (size_t i = 1 + rng() % 300; i > 0; --i)
      text += rng() % 3 || !mark ? char16_t(' ' + rng() % 95) : char16_t(0x430 + rng() % 32);
    std::string bytes = !mark ? "" : big ? "\xFE\xFF" : "\xFF\xFE", utf8;
    for (const char16_t c : text) {
      const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
      (bytes += big ? high : low) += big ? low : high;
      utf8 += c < 0x80 ? Cp1251ToUtf8(std::string(1, static_cast<char>(c)))
                       : Cp1251ToUtf8(std::string(1, static_cast<char>(c - 0x430 + 0xE0)));
    }
    WriteWholeFile(file, bytes);
    for (const TInputEncoding encoding : {TInputEncoding::kUtf8, TInputEncoding::kWindows1251})
      ExpectThrowsMessage<ECliError>([&] { ReadInputText(file, encoding, "text"); },
                                     "--text: \"" + file + "\" is UTF-16 (" +
                                         (big ? "big" : "little") +
                                         "-endian), not UTF-8 or Windows-1251: save it as UTF-8");
    WriteWholeFile(file, utf8);
    EXPECT_EQ(ReadInputText(file, TInputEncoding::kUtf8).lines.size(), 1u);
  }
}

}  // namespace
}  // namespace orvana::cli
