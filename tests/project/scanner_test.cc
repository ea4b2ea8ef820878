// The scanner's quick string loop against its plain steps: the same tokens,
// decoded bytes, positions and errors over many random texts made of the
// pieces strings are written with and the ones that trip them.
#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "engine/Error.h"
#include "project/HugePages.h"
#include "project/ObjectTextScanner.h"

namespace orvana::object_text {
namespace {

// Everything one scanner makes of a text: each token with its decoded string
// or value, then the error, if any.
std::string Tokens(std::string_view text, bool fast) {
  std::string arena;
  std::string out;
  try {
    TScanner scan(text, arena, fast);
    for (scan.Next(); scan.kind() != TTokenKind::kEof; scan.Next()) {
      out += std::to_string(static_cast<int>(scan.kind())) + ":";
      if (scan.kind() == TTokenKind::kString) {
        scan.JoinStringPieces();
        out += arena.substr(scan.string_begin(), scan.string_end() - scan.string_begin());
      } else if (scan.kind() == TTokenKind::kInteger) {
        out += std::to_string(scan.integer());
      } else if (scan.kind() == TTokenKind::kChar) {
        out += scan.ch();
      } else {
        out += scan.symbol();
      }
      out += '|';
    }
  } catch (const EOrvanaError& e) {
    out += std::string("error:") + e.what();
  }
  return out + "#arena:" + arena;
}

// A quoted run of `n` times `c`.
std::string Quoted(size_t n, char c) {
  std::string run(n + 2, c);
  run.front() = run.back() = '\'';
  return run;
}

TEST(ScannerTest, QuickStringLoopAgreesWithPlainSteps) {
  static const std::string kPieces[] = {
      "#1040", "#1103", "#1105", "#1025", "#0065", "#0039", "#8212", "#9999", "#0000", "#12345",
      "#55357", "#56832", "#56320", "#104", "#10", "#", "#$41", "#$D83D", "#99999", "1", "0", "'",
      "''", "' '", "'. '", "'abc'", "'it''s'", "'\xE0\xFF'", " ", "  +", " +\r\n  ", "+", "\r",
      "\n", "x", "=", "#1040#1041#1042", "''''", Quoted(300, 'a'), Quoted(2500, 'b'),
      // Runs around sixteen bytes, and bytes that end a run inside one.
      Quoted(14, 'c'), Quoted(15, 'd'), Quoted(16, 'e'), Quoted(17, 'f'),
      std::string("'gh\0ij'", 7), "'kl\rmn'", "'op\nqr'", "'s''t" + Quoted(13, 'u').substr(1),
      // Codes that look like a run of four-digit ones but are not.
      "#1040#1041#1042#1043", "#1040#10410#1042", "#1040#1041#104", "#1040#1041#1042#",
      "#1040#1041#$0410", "#1040#55357#56832", "#10400", "#1040x", "#1040'"};
  std::mt19937 rng(11);
  int strings = 0;
  for (int round = 0; round < 30000; ++round) {
    std::string text;
    const int pieces = 1 + static_cast<int>(rng() % 40);
    for (int i = 0; i < pieces; ++i) text += kPieces[rng() % std::size(kPieces)];
    // Texts cut anywhere: codes and runs that end with the text.
    if (rng() % 4 == 0) text.resize(rng() % (text.size() + 1));
    const std::string plain = Tokens(text, false);
    ASSERT_EQ(Tokens(text, true), plain) << text;
    strings += plain.find("error:") == std::string::npos;
  }
  // Both finished texts and errors occur often.
  EXPECT_GT(strings, 3000);
  EXPECT_LT(strings, 27000);
}

// Long strings mostly of the common pieces, which the scanner decodes in
// windows of 64 bytes where the processor can, with the pieces that stop a
// window here and there: at every offset inside a window and across two.
TEST(ScannerTest, WindowsOfCommonPiecesAgreeWithPlainSteps) {
  static const std::string kCommon[] = {
      "#1040",   "#1103",         "#1105",         "#1025",        "#1026", "#1000",
      "#1127",   "#1116",         "' '",           "', '",         "'. '",  "''",
      "'a b c'", Quoted(40, 'q'), Quoted(63, 'r'), Quoted(70, 's')};
  static const std::string kRare[] = {
      "#1128", "#1199",  "#2040",    "#0104",  "#10400",
      "#104",  "#1040x", "'it''s'",  "'a\rb'", std::string("'\0'", 3),
      "'\n'",  " + ",    " +\r\n  ", "#$0410", "#55357#56832",
      "'",     "#",      "x"};
  // Each kind of code at every offset of a window, and so across two.
  for (size_t pad = 0; pad < 130; ++pad) {
    for (const char* code : {"#13", "#9", "#39", "#1040", "#1105", "'b'", "' '"}) {
      std::string text = Quoted(pad, 'a') + code;
      for (int i = 0; i < 30; ++i) text += "#1040";
      ASSERT_EQ(Tokens(text + " x", true), Tokens(text + " x", false)) << text;
    }
  }
  std::mt19937 rng(12);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int pieces = 1 + static_cast<int>(rng() % 200);
    for (int i = 0; i < pieces; ++i)
      text += rng() % 40 ? kCommon[rng() % std::size(kCommon)] : kRare[rng() % std::size(kRare)];
    if (rng() % 4 == 0) text.resize(rng() % (text.size() + 1));
    ASSERT_EQ(Tokens(text, true), Tokens(text, false)) << text;
  }
}

// Every code of four digits, through the quick loop's table and through the
// code page's own conversion.
TEST(ScannerTest, EveryFourDigitCodeDecodesAsThePlainStepsDo) {
  std::string text;
  char code[8];
  for (int c = 0; c < 10000; ++c) {
    std::snprintf(code, sizeof code, "#%04d", c);
    text += code;
    if (c % 100 == 99 && c < 9999) text += " +\r\n";  // lines the reader can take
  }
  const std::string fast = Tokens(text, true);
  EXPECT_EQ(fast, Tokens(text, false));
  EXPECT_EQ(fast.size(), 2 + 10000 + 1 + 7 + 10000);  // "2:" bytes "|" "#arena:" bytes
}

// Strings decoded into a list's arena are each followed by one CR there,
// however many pieces they are joined from; other arenas get none.
TEST(ScannerTest, SeparatedStringsAreEachFollowedByOneCr) {
  for (const bool fast : {false, true}) {
    std::string main_arena, list;
    TScanner scan("'ab' + #1040\r\n + 'c' 'd'#65 x 'e'", main_arena, fast);
    scan.SetArena(list, true);
    scan.Next();
    ASSERT_EQ(scan.kind(), TTokenKind::kString);
    scan.JoinStringPieces();
    EXPECT_EQ(list.substr(scan.string_begin(), scan.string_end() - scan.string_begin()),
              "ab\xC0"
              "c");
    EXPECT_EQ(list,
              "ab\xC0"
              "c\r");
    scan.Next();
    scan.JoinStringPieces();
    EXPECT_EQ(list,
              "ab\xC0"
              "c\rdA\r")
        << fast;
    scan.Next();
    EXPECT_TRUE(scan.IsKeyword("x"));
    scan.SetArena(main_arena, false);
    scan.Next();
    EXPECT_EQ(main_arena, "e");
    EXPECT_EQ(list,
              "ab\xC0"
              "c\rdA\r");
  }
}

// A reader that reads on to the end of the text has entered its last line:
// one that is too long fails there, as it would on entering it.
TEST(ScannerTest, ALongLastLineFailsWhenTheEndIsReached) {
  const std::string text = "x = 'a'" + std::string(5000, ' ');
  for (const bool fast : {false, true}) {
    EXPECT_EQ(Tokens(text, fast), "1:x|5:=|2:a|error:Line too long on line 1#arena:a") << fast;
    EXPECT_EQ(Tokens("x\n" + text.substr(0, 4000), fast), "1:x|1:x|5:=|2:a|#arena:a");
  }
}

// Long paragraphs, cut into lines joined with "+" as the writer cuts them.
TEST(ScannerTest, LongParagraphsDecodeWhole) {
  std::mt19937 rng(3);
  for (int round = 0; round < 50; ++round) {
    std::string text, expected;
    const int words = static_cast<int>(rng() % 3000);
    for (int w = 0; w < words; ++w) {
      const int letters = 1 + static_cast<int>(rng() % 12);
      for (int l = 0; l < letters; ++l) {
        const unsigned code = 0x410 + rng() % 64;
        text += '#';
        text += std::to_string(code);
        expected += static_cast<char>(code - 0x410 + 0xC0);
      }
      text += "' '";
      expected += ' ';
      if (w % 9 == 8 && w + 1 < words) text += " +\r\n  ";
    }
    ASSERT_EQ(Tokens(text, true), Tokens(text, false));
    if (words > 0) {
      EXPECT_EQ(Tokens(text, true), "2:" + expected + "|#arena:" + expected);
    }
  }
}

// Lines of strings around the longest line the reader takes, among shorter
// ones: the same tokens and the same error on the same line either way.
TEST(ScannerTest, LinesNearTheLengthLimitAgree) {
  static const std::string kPieces[] = {"#1040", "' '", "'. '", "'abcdefghijklmnopq'", "#0065"};
  std::mt19937 rng(5);
  int failed = 0, read = 0;
  for (int round = 0; round < 300; ++round) {
    std::string text = "x = ";
    const int lines = 1 + static_cast<int>(rng() % 5);
    for (int l = 0; l < lines; ++l) {
      // Mostly short lines; now and then one within a few bytes of the limit.
      const size_t target = rng() % 3 == 0 ? kMaxLineBytes - 8 + rng() % 16 : 20 + rng() % 200;
      std::string line = l == 0 ? "" : "  ";
      while (line.size() + 20 < target) line += kPieces[rng() % std::size(kPieces)];
      // A quoted run brings the line to its length exactly.
      const size_t rest = target - line.size();
      line += rest < 2 ? std::string(rest, ' ') : Quoted(rest - 2, 'z');
      text += line;
      if (l + 1 < lines) text += rng() % 2 ? " +\r\n" : " +\n";
    }
    const std::string plain = Tokens(text, false);
    ASSERT_EQ(Tokens(text, true), plain) << text;
    (plain.find("error:") == std::string::npos ? read : failed)++;
  }
  EXPECT_GT(read, 30);
  EXPECT_GT(failed, 30);
}

// The huge-page hint covers exactly the whole 2 MiB pages inside a buffer:
// the kernel marks them ("hg" among a mapping's flags in /proc/self/smaps)
// and leaves the partial pages at either end alone.
std::string FlagsOfMappingAt(const void* address) {
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  const uintptr_t at = reinterpret_cast<uintptr_t>(address);
  while (std::getline(smaps, line)) {
    uintptr_t begin = 0, end = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx ", &begin, &end) == 2 && line.find('-') < 16) {
      inside = begin <= at && at < end;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      return line;
    }
  }
  return {};
}

TEST(HugePages, OnlyTheWholeHugePagesOfABufferAreAdvised) {
  if (!std::ifstream("/sys/kernel/mm/transparent_hugepage/enabled"))
    GTEST_SKIP() << "this kernel has no transparent huge pages";
  constexpr size_t kHuge = size_t{2} << 20;
  void* map =
      ::mmap(nullptr, 5 * kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(map, MAP_FAILED);
  char* base = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(map) + kHuge - 1) / kHuge *
                                       kHuge);  // 4 whole pages from here
  // From 4 KiB into the first huge page to 4 KiB into the fourth: only the
  // second and third are whole.
  AdviseHugePages(base + 4096, 3 * kHuge);
  EXPECT_EQ(FlagsOfMappingAt(base + 4096).find(" hg"), std::string::npos);
  EXPECT_NE(FlagsOfMappingAt(base + kHuge).find(" hg"), std::string::npos);
  EXPECT_NE(FlagsOfMappingAt(base + 3 * kHuge - 1).find(" hg"), std::string::npos);
  EXPECT_EQ(FlagsOfMappingAt(base + 3 * kHuge).find(" hg"), std::string::npos);
  // Less than one whole page: nothing.
  AdviseHugePages(base + 3 * kHuge + 1, kHuge);
  EXPECT_EQ(FlagsOfMappingAt(base + 3 * kHuge + 4096).find(" hg"), std::string::npos);
  ::munmap(map, 5 * kHuge);
}

}  // namespace
}  // namespace orvana::object_text
