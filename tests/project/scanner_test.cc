// The scanner's quick string loop against its plain steps: the same tokens,
// decoded bytes, positions and errors over many random texts made of the
// pieces strings are written with and the ones that trip them.
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "Error.h"
#include "ObjectTextScanner.h"

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

TEST(ScannerTest, QuickStringLoopAgreesWithPlainSteps) {
  static const std::string kPieces[] = {"#1040",
                                        "#1103",
                                        "#1105",
                                        "#1025",
                                        "#0065",
                                        "#0039",
                                        "#8212",
                                        "#9999",
                                        "#0000",
                                        "#12345",
                                        "#55357",
                                        "#56832",
                                        "#56320",
                                        "#104",
                                        "#10",
                                        "#",
                                        "#$41",
                                        "#$D83D",
                                        "#99999",
                                        "1",
                                        "0",
                                        "'",
                                        "''",
                                        "' '",
                                        "'. '",
                                        "'abc'",
                                        "'it''s'",
                                        "'\xE0\xFF'",
                                        " ",
                                        "  +",
                                        " +\r\n  ",
                                        "+",
                                        "\r",
                                        "\n",
                                        "x",
                                        "=",
                                        "#1040#1041#1042",
                                        "''''",
                                        "'" + std::string(300, 'a') + "'",
                                        "'" + std::string(2500, 'b') + "'"};
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

}  // namespace
}  // namespace orvana::object_text
