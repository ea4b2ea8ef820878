#include "engine/CodePage.h"

#include <gtest/gtest.h>

#include <random>
#include <string_view>

namespace orvana {
namespace {

TEST(CodePage, CyrillicLettersAreOneByteEach) {
  const std::string s = Utf8ToCp1251("Привет, мир! Ёё №");
  EXPECT_EQ(s.size(), 17u);
  EXPECT_EQ(static_cast<unsigned char>(s[0]), 0xCF);   // П
  EXPECT_EQ(static_cast<unsigned char>(s[13]), 0xA8);  // Ё
  EXPECT_EQ(static_cast<unsigned char>(s[14]), 0xB8);  // ё
  EXPECT_EQ(static_cast<unsigned char>(s[16]), 0xB9);  // №
  EXPECT_EQ(Cp1251ToUtf8(s), "Привет, мир! Ёё №");
}

TEST(CodePage, EveryByteSurvivesTheRoundTripThroughUnicode) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf16ToCp1251(Cp1251ToUtf16(all)), all);
  EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
}

TEST(CodePage, Utf16CodesAreThoseOfTheCodePage) {
  EXPECT_EQ(Cp1251ToUnicode(0xCF), u'\u041F');  // capital Pe, written as #1055
  EXPECT_EQ(Cp1251ToUnicode(0x88), u'\u20AC');  // euro sign
  EXPECT_EQ(Cp1251ToUnicode('A'), u'A');
  EXPECT_EQ(UnicodeToCp1251(0x2116), 0xB9);
}

TEST(CodePage, CharactersTheCodePageLacksBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1251("a中b"), "a?b");
  EXPECT_EQ(Utf8ToCp1251("x😀y"), "x?y");             // four-byte sequence, one character
  EXPECT_EQ(Utf16ToCp1251(u"x\U0001F600y"), "x?y");  // surrogate pair, one character
  EXPECT_EQ(Utf16ToCp1251(u"é"), "?");
}

TEST(CodePage, MalformedUtf8BecomesQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1251("a\x80z"), "a?z");      // stray continuation byte
  EXPECT_EQ(Utf8ToCp1251("a\xD0"), "a?");        // truncated at the end
  EXPECT_EQ(Utf8ToCp1251("a\xC0\xAFz"), "a?z");  // overlong encoding of '/'
  EXPECT_EQ(Utf8ToCp1251("\xED\xA0\x80"), "?");  // encoded surrogate
}

// The UTF-8 form of a code point (any value below 2^21, surrogates too).
std::string EncodeUtf8(char32_t cp) {
  std::string out;
  AppendUtf8(out, cp);
  return out;
}

TEST(CodePage, DecodeUtf8TakesEveryCodePointAndRefusesSurrogates) {
  for (char32_t cp = 0; cp < 0x110000; ++cp) {
    const std::string bytes = EncodeUtf8(cp);
    size_t length = 0;
    const long decoded = DecodeUtf8(bytes, length);
    ASSERT_EQ(length, bytes.size()) << static_cast<unsigned>(cp);
    if (cp >= 0xD800 && cp <= 0xDFFF)
      ASSERT_EQ(decoded, -1) << static_cast<unsigned>(cp);
    else
      ASSERT_EQ(decoded, static_cast<long>(cp)) << static_cast<unsigned>(cp);
  }
  size_t length = 0;
  EXPECT_EQ(DecodeUtf8("\xC0\x80", length), -1);  // overlong
  EXPECT_EQ(length, 2u);
  EXPECT_EQ(DecodeUtf8("\xE2\x80", length), -1);  // truncated
  EXPECT_EQ(length, 2u);
  EXPECT_EQ(DecodeUtf8("\x80", length), -1);  // stray continuation
  EXPECT_EQ(length, 1u);
}

// One character at a time, the plain way.
std::string PlainUtf8ToCp1251(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    size_t length = 0;
    const long cp = DecodeUtf8(text, length);
    const int b = cp < 0 ? -1 : UnicodeToCp1251(static_cast<char32_t>(cp));
    out += b < 0 ? '?' : static_cast<char>(b);
    text.remove_prefix(length);
  }
  return out;
}

// Random texts of ASCII, Cyrillic, signs of the code page, characters it
// lacks and broken sequences, converted by the quick runs and the plain way.
TEST(CodePage, QuickConversionAgreesWithPlainOverRandomTexts) {
  using namespace std::string_view_literals;
  static const std::string_view kPieces[] = {"a",
                                             "plain ascii text",
                                             " ",
                                             "\n",
                                             "\r\n",
                                             "Привет",
                                             "ё",
                                             "Ё",
                                             "№",
                                             "—",
                                             "…",
                                             "«»",
                                             "€",
                                             "™",
                                             "\xC2\xA0",
                                             "ў",
                                             "ґ",
                                             "中",
                                             "😀",
                                             "\x80",
                                             "\xC0\x80",
                                             "\xC1\xBF",
                                             "\xE2\x80",
                                             "\xED\xA0\x80",
                                             "\xF4\x90\x80\x80",
                                             "\xFF",
                                             "\xD0",
                                             "\xF0\x9F",
                                             "\xE2\x82\xAC",
                                             "\xC3\xA9",
                                             "\x7F",
                                             "\0"sv};
  std::mt19937 rng(5);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int pieces = static_cast<int>(rng() % 30);
    for (int i = 0; i < pieces; ++i) text += kPieces[rng() % std::size(kPieces)];
    if (rng() % 3 == 0 && !text.empty()) text[rng() % text.size()] = static_cast<char>(rng());
    const std::string plain = PlainUtf8ToCp1251(text);
    ASSERT_EQ(Utf8ToCp1251(text), plain) << text;
    // A run converts as the plain way does and stops only before a
    // sequence that becomes '?'.
    std::string out(text.size(), '\0');
    const TUtf8Run run = Utf8ToCp1251Run(text, out.data());
    ASSERT_EQ(out.substr(0, run.written), PlainUtf8ToCp1251(text.substr(0, run.read)));
    if (run.read < text.size()) {
      size_t length = 0;
      DecodeUtf8(std::string_view(text).substr(run.read), length);
      EXPECT_EQ(PlainUtf8ToCp1251(text.substr(run.read, length)), "?") << text;
    }
  }
}

// Long texts mostly of ASCII and two-byte letters, which the conversion takes
// 64 bytes at a time where the processor can, with odd sequences here and
// there: at every offset of a window and across two.
TEST(CodePage, WindowsOfLettersAgreeWithPlain) {
  static const std::string kCommon[] = {"а",  "я",   "Ё",    "ё",        "Ђ",
                                        "ў",  "«",   "»",    "\xC2\xA0", " ",
                                        ". ", "abc", "\r\n", "\t",       std::string(1, '\0')};
  static const std::string kOdd[] = {"Ѐ",    "\xC2\x81", "\xC3\xA9", "€",
                                     "—",    "中",       "\xD0",     "\xD0x",
                                     "\x80", "\xFF",     "\xDF\xBF", "\xF0\x9F\x98\x80"};
  std::mt19937 rng(6);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int pieces = static_cast<int>(rng() % 300);
    for (int i = 0; i < pieces; ++i)
      text += rng() % 50 ? kCommon[rng() % std::size(kCommon)] : kOdd[rng() % std::size(kOdd)];
    if (rng() % 4 == 0) text.resize(rng() % (text.size() + 1));
    std::string out(text.size(), '\0');
    const TUtf8Run run = Utf8ToCp1251Run(text, out.data());
    ASSERT_EQ(out.substr(0, run.written), PlainUtf8ToCp1251(text.substr(0, run.read))) << text;
    if (run.read < text.size()) {
      size_t length = 0;
      DecodeUtf8(std::string_view(text).substr(run.read), length);
      ASSERT_EQ(PlainUtf8ToCp1251(text.substr(run.read, length)), "?") << text;
    }
    ASSERT_EQ(Utf8ToCp1251(text), PlainUtf8ToCp1251(text)) << text;
  }
}

// Runs of two-byte letters with one odd sequence at every place of the
// eight-byte groups the conversion may take them in, and the text cut at
// every length.
TEST(CodePage, OddSequencesAmongTwoByteLettersAgreeWithPlain) {
  const std::string letters = "абвгдежзийклмнопрстуфхцчшщъыьэюяЁё";
  const std::string odd[] = {"\xC0\x80", "\xC1\xBF", "\xC3\xA9", "€", "x",
                             "\xD0x",    "\xD0",     "\x80\x80", "ў", "\xDF\xBF"};
  for (const std::string& piece : odd) {
    for (size_t at = 0; at <= 20; at += 2) {
      const std::string text = letters.substr(0, at) + piece + letters.substr(at);
      for (size_t cut = 0; cut <= text.size(); ++cut) {
        const std::string part = text.substr(0, cut);
        const std::string plain = PlainUtf8ToCp1251(part);
        ASSERT_EQ(Utf8ToCp1251(part), plain) << part;
        std::string out(part.size(), '\0');
        const TUtf8Run run = Utf8ToCp1251Run(part, out.data());
        ASSERT_EQ(out.substr(0, run.written), PlainUtf8ToCp1251(part.substr(0, run.read))) << part;
        if (run.read < part.size()) {
          size_t length = 0;
          DecodeUtf8(std::string_view(part).substr(run.read), length);
          ASSERT_EQ(PlainUtf8ToCp1251(part.substr(run.read, length)), "?") << part;
        }
      }
    }
  }
}

// Texts longer than the conversion's block, with sequences across its edges:
// mostly characters of the code page, so that runs reach the block's end.
TEST(CodePage, LongTextsAgreeWithPlainAcrossBlocks) {
  static const char* const kPieces[] = {"Жизнь ", "x", "—", "ё\n", "ab", "😀", "\xE2\x80"};
  std::mt19937 rng(9);
  for (int round = 0; round < 20; ++round) {
    std::string text;
    while (text.size() < 300000) {
      const size_t piece = rng() % std::size(kPieces);
      if (piece < 5 || rng() % 20000 == 0) text += kPieces[piece];
    }
    ASSERT_EQ(Utf8ToCp1251(text), PlainUtf8ToCp1251(text));
  }
}

}  // namespace
}  // namespace orvana
