#include "CodePage.h"

#include <gtest/gtest.h>

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
  EXPECT_EQ(Utf8ToCp1251("x😀y"), "x?y");            // four-byte sequence, one character
  EXPECT_EQ(Utf16ToCp1251(u"x\U0001F600y"), "x?y");  // surrogate pair, one character
  EXPECT_EQ(Utf16ToCp1251(u"é"), "?");
}

TEST(CodePage, MalformedUtf8BecomesQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1251("a\x80z"), "a?z");       // stray continuation byte
  EXPECT_EQ(Utf8ToCp1251("a\xD0"), "a?");         // truncated at the end
  EXPECT_EQ(Utf8ToCp1251("a\xC0\xAFz"), "a?z");   // overlong encoding of '/'
  EXPECT_EQ(Utf8ToCp1251("\xED\xA0\x80"), "?");   // encoded surrogate
}

}  // namespace
}  // namespace orvana
