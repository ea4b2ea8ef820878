#include <gtest/gtest.h>
#include <sys/resource.h>

#include <new>

#include <ostream>
#include <string>

#include "engine/SiteGenerator.h"
#include "project/ProjectFile.h"
#include "tests/project/ProjectTestUtil.h"
#include "tests/support/ChildProcess.h"

namespace orvana::test {
namespace {

// --- Syntax errors: message and line ---------------------------------------------

// A text the reader refuses, the message it gives, and what the text does
// wrong (the name of its test).
struct TSyntaxCase {
  const char* name;
  std::string text;
  std::string message;
};

void PrintTo(const TSyntaxCase& c, std::ostream* out) { *out << c.name; }

std::string CaseName(const testing::TestParamInfo<TSyntaxCase>& param) { return param.param.name; }

// A file whose second line is "  SiteTitle = 'a'", blanks and a CR, that many
// bytes before its LF.
std::string SecondLineOfBytes(size_t bytes_before_lf) {
  std::string line = "  SiteTitle = 'a'";
  line += std::string(bytes_before_lf - line.size() - 1, ' ');
  line += '\r';
  return "object T\r\n" + line + "\nend\r\n";
}

const TSyntaxCase kObjectExpected[] = {
    {"EmptyText", "", "OBJECT expected on line 1"},
    {"AnHtmlFile", "<html><body></body></html>", "OBJECT expected on line 1"},
    {"AByteOrderMark", "\xEF\xBB\xBFobject TSiteGenerator end", "OBJECT expected on line 1"},
    {"AnotherWordAfterEmptyLines", "\r\n\r\n  objects T end", "OBJECT expected on line 3"},
    {"AQuotedKeyword", "'object'", "OBJECT expected on line 1"},
    // After a nested object only objects and "end" may follow.
    {"APropertyAfterANestedObject", "object T\r\n  object C: TC end\r\n  SiteTitle = 'x'\r\nend",
     "OBJECT expected on line 3"},
};

const TSyntaxCase kIdentifierExpected[] = {
    {"NoClassName", "object", "Identifier expected on line 1"},
    {"ANumberForTheClassName", "object Name:\r\n  5 end", "Identifier expected on line 2"},
    {"AStringForAPropertyName", "object T\r\n  SiteTitle = 'a'\r\n  'b' = 1\r\nend",
     "Identifier expected on line 3"},
    {"NothingAfterADot", "object T\r\n  SiteText.\r\n  = 1\r\nend",
     "Identifier expected on line 3"},
    {"TheTextEndsBeforeEnd", "object T\r\n  SiteTitle = 'a'\r\n", "Identifier expected on line 3"},
    {"AnItemNeverClosed", "object T Pages = <item PageText = 'a'", "Identifier expected on line 1"},
    {"AStringInASet", "object T\r\n X = [a,\r\n 'b'] end", "Identifier expected on line 3"},
    {"ANumberAfterADotInAReference", "object T\r\n X = Form1.\r\n 3 end",
     "Identifier expected on line 3"},
};

const TSyntaxCase kSignExpected[] = {
    {"NoEqualsSign", "object T\r\n  SiteTitle 'a'\r\nend", "''='' expected on line 2"},
    {"NoEqualsSignBeforeTheTextEnds", "object T\r\n  SiteTitle\r\n\r\n",
     "''='' expected on line 4"},
    {"AnOrderIndexNeverClosed", "object T [1 2", "'']'' expected on line 1"},
    {"AnItemIndexNeverClosed", "object T Pages = <item [1\r\n PageText = 'a' end> end",
     "'']'' expected on line 2"},
    {"ASetWithoutACommaBetweenNames", "object T\r\n X = [a b] end", "'','' expected on line 2"},
};

const TSyntaxCase kStringExpected[] = {
    {"ANumberAfterAPlus", "object T\r\n  SiteTitle = 'a' +\r\n   5\r\nend",
     "String expected on line 3"},
    {"TheTextEndsAfterAPlus", "object T\r\n  SiteTitle = 'a' +\r\n", "String expected on line 3"},
};

const TSyntaxCase kNumberExpected[] = {
    {"AWordAsTheOrderIndex", "object T [x] end", "Number expected on line 1"},
    {"AnEmptyItemIndex", "object T\r\n Pages = <\r\n  item []", "Number expected on line 3"},
    {"ABlankAfterTheMinus", "object T\r\n MaxCharsPerPage = - 5 end", "Number expected on line 2"},
    {"ADollarWithoutDigits", "object T\r\n MaxCharsPerPage = $ end", "Number expected on line 2"},
};

const TSyntaxCase kInvalidStringConstant[] = {
    {"AQuoteOpenAtTheLineEnd", "object T\r\n  SiteTitle = 'abc\r\n'\r\nend",
     "Invalid string constant on line 2"},
    {"AQuoteOpenAtALineFeed", "object T\r\n  SiteTitle = 'abc\nd'",
     "Invalid string constant on line 2"},
    {"AQuoteOpenAtTheTextEnd", "object T\r\n\r\n  SiteTitle = 'abc",
     "Invalid string constant on line 3"},
    {"AByteZeroInsideQuotes", std::string("object T SiteTitle = 'a\0b' end", 30),
     "Invalid string constant on line 1"},
    {"ACodeWithoutDigits", "object T SiteTitle = 'a'#'b' end", "Invalid string constant on line 1"},
    {"ACodeBeyondSixteenBits", "object T SiteTitle = #65536 end",
     "Invalid string constant on line 1"},
    {"ACodeOfManyDigits", "object T SiteTitle = #99999999999999999999999999 end",
     "Invalid string constant on line 1"},
    {"AHexadecimalCodeWithoutDigits", "object T SiteTitle = #$ end",
     "Invalid string constant on line 1"},
};

const TSyntaxCase kInvalidPropertyValue[] = {
    {"AClosingParenthesis", "object T\r\n  SiteTitle = )\r\nend",
     "Invalid property value on line 2"},
    {"TheTextEndsAfterTheEqualsSign", "object T\r\n  SiteTitle =\r\n",
     "Invalid property value on line 3"},
    {"AListNeverClosed", "object T\r\n  X = (1\r\n  2", "Invalid property value on line 3"},
    {"TwoDecimalPoints", "object T\r\n  X = 1.2.3 end", "Invalid property value on line 2"},
    {"AnExponentWithoutDigits", "object T\r\n  X = 1e end", "Invalid property value on line 2"},
};

const TSyntaxCase kInvalidBinaryValue[] = {
    {"NotAHexadecimalDigit", "object T\r\n  X = {0G}\r\nend", "Invalid binary value on line 2"},
    {"AnOddNumberOfDigits", "object T\r\n  X = {ABC}\r\nend", "Invalid binary value on line 2"},
    {"NeverClosed", "object T\r\n  X = {AB\r\n\r\n", "Invalid binary value on line 4"},
};

const TSyntaxCase kItemExpected[] = {
    {"AnotherWordInACollection", "object T\r\n  Pages = <\r\n    thing\r\n  end> end",
     "item expected on line 3"},
};

// A line and its LF must fit the reader's 4096-byte buffer, wherever the line
// stands.
const TSyntaxCase kLineTooLong[] = {
    {"FourThousandNinetySixBytesBeforeTheLineFeed", SecondLineOfBytes(4096),
     "Line too long on line 2"},
    {"OneLongToken", "object T\r\n\r\n  SiteTitle = '" + std::string(5000, 'x') + "'\r\nend",
     "Line too long on line 3"},
    {"ALongLastLineWithoutALineFeed", "object T SiteTitle = 'x'" + std::string(4096, ' ') + "end",
     "Line too long on line 1"},
    // The length is checked as if on entering the line: before an error on
    // it, and on the line of the final "end".
    {"AnErrorEarlyOnALongLine",
     "object T\r\n  SiteTitle = 'x' ?" + std::string(5000, ' ') + "\r\nend",
     "Line too long on line 2"},
    {"TheFinalEndOnALongLine", "object T\r\n  SiteTitle = 'x'\r\n" + std::string(5000, ' ') + "end",
     "Line too long on line 3"},
    {"ALongLineOfRawData", "object T\r\n  X = {" + std::string(6000, 'A') + "}\r\nend",
     "Line too long on line 2"},
    {"ALongBlankLineBeforeAnError",
     "object T\r\n  SiteTitle = 'a'\r\n" + std::string(5000, ' ') + "\r\n  ?\r\nend",
     "Line too long on line 3"},
};

class ProjectReaderSyntaxError : public testing::TestWithParam<TSyntaxCase> {};

TEST_P(ProjectReaderSyntaxError, IsReportedWithItsLineAndChangesNothing) {
  TSiteGenerator g;
  FillSmallProject(g);
  ExpectReadError(GetParam().text, g, GetParam().message);
  EXPECT_EQ(WriteProjectText(g), SmallProjectText());
}

INSTANTIATE_TEST_SUITE_P(ObjectExpected, ProjectReaderSyntaxError,
                         testing::ValuesIn(kObjectExpected), CaseName);
INSTANTIATE_TEST_SUITE_P(IdentifierExpected, ProjectReaderSyntaxError,
                         testing::ValuesIn(kIdentifierExpected), CaseName);
INSTANTIATE_TEST_SUITE_P(SignExpected, ProjectReaderSyntaxError, testing::ValuesIn(kSignExpected),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(StringExpected, ProjectReaderSyntaxError,
                         testing::ValuesIn(kStringExpected), CaseName);
INSTANTIATE_TEST_SUITE_P(NumberExpected, ProjectReaderSyntaxError,
                         testing::ValuesIn(kNumberExpected), CaseName);
INSTANTIATE_TEST_SUITE_P(InvalidStringConstant, ProjectReaderSyntaxError,
                         testing::ValuesIn(kInvalidStringConstant), CaseName);
INSTANTIATE_TEST_SUITE_P(InvalidPropertyValue, ProjectReaderSyntaxError,
                         testing::ValuesIn(kInvalidPropertyValue), CaseName);
INSTANTIATE_TEST_SUITE_P(InvalidBinaryValue, ProjectReaderSyntaxError,
                         testing::ValuesIn(kInvalidBinaryValue), CaseName);
INSTANTIATE_TEST_SUITE_P(ItemExpected, ProjectReaderSyntaxError, testing::ValuesIn(kItemExpected),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(LineTooLong, ProjectReaderSyntaxError, testing::ValuesIn(kLineTooLong),
                         CaseName);

TEST(ProjectReaderSyntax, LinesJustShortOfTheLimitAreRead) {
  // 4095 bytes before the LF fit; so does a last line of some 4000 bytes.
  TSiteGenerator g;
  ASSERT_NO_THROW(ReadProjectText(SecondLineOfBytes(4095), g));
  EXPECT_EQ(g.SiteTitle(), "a");
  // A long line after the final "end" is never read.
  ASSERT_NO_THROW(
      ReadProjectText("object T SiteTitle = 'z'\r\nend\r\n" + std::string(5000, 'x'), g));
  EXPECT_EQ(g.SiteTitle(), "z");
  TSiteGenerator h;
  ASSERT_NO_THROW(ReadProjectText("object T SiteTitle = 'y'" + std::string(4000, ' ') + "end", h));
  EXPECT_EQ(h.SiteTitle(), "y");
}

TEST(ProjectReaderSyntax, DeepNestingIsReadWithoutExhaustingTheStack) {
  const int depth = 1000000;
  std::string text = "object T X = ";
  text.reserve(static_cast<size_t>(depth) * 2 + 64);
  for (int i = 0; i < depth; ++i) text += i % 2 ? "\n(" : "<item Y = ";
  ExpectReadError(text, "Invalid property value on line " + std::to_string(depth / 2 + 1));
  std::string closed = "object T Z = ";
  for (int i = 0; i < depth; ++i) closed += '(';
  for (int i = 0; i < depth; ++i) closed += ')';
  closed = closed.substr(0, 13) + "\n" + closed.substr(13);
  // 2,000,000 bytes on one line: too long; the same nesting over short lines
  // is fine.
  ExpectReadError(closed + " end", "Line too long on line 2");
  std::string lines = "object T Z = ";
  for (int i = 0; i < depth; ++i) lines += (i % 1000 == 0) ? "\n(" : "(";
  for (int i = 0; i < depth; ++i) lines += (i % 1000 == 0) ? "\n)" : ")";
  TSiteGenerator g;
  ExpectReadError(lines + " SiteTitle = 'deep' end", g,
                  "Error reading TSiteGenerator.Z: Property Z does not exist");
}

// Every list decodes its strings into an arena of its own; only the first
// few reserve room for the rest of the text, so a text of many lists reads
// in memory proportional to it, not to the number of lists times its size.
// Read in a child limited to 512 MiB of address space.
TEST(ProjectReaderSyntax, ManyListsReadInMemoryProportionalToTheText) {
#if defined(ORVANA_SANITIZE) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers reserve terabytes of address space for their shadow memory, so "
                  "no limit on the address space can measure the reader's memory";
#endif
  std::string text = "object T\r\n";
  for (int i = 0; i < 20000; ++i) text += "  X" + std::to_string(i) + ".Strings = ('a' 'b')\r\n";
  text += "end\r\n";
  const TChildReport child = RunInChild([&] {
    struct rlimit memory {
      512u << 20, 512u << 20
    };
    ::setrlimit(RLIMIT_AS, &memory);
    try {
      TSiteGenerator g;
      ReadProjectText(text, g);
      return std::string("read");
    } catch (const EOrvanaError& e) {
      return std::string(e.what());
    } catch (const std::bad_alloc&) {
      return std::string("out of memory");
    }
  });
  EXPECT_EQ(child.report, "Error reading TSiteGenerator.X0.Strings: Property X0 does not exist");
}

TEST(ProjectReaderSyntax, SyntaxErrorLeavesTheGeneratorUntouched) {
  TSiteGenerator g;
  FillSmallProject(g);
  g.SetName("Kept");
  const std::string before = WriteProjectText(g);
  ExpectReadError(
      "object Other: TSiteGenerator\r\n  Pages = <item PageText = 'x' end>\r\n"
      "  SiteText.Strings = ('new')\r\n  SiteTitle = 'changed'\r\n"
      "  MaxCharsPerPage = 1\r\n  SavePath 'oops'\r\nend\r\n",
      g, "''='' expected on line 6");
  EXPECT_EQ(WriteProjectText(g), before);
}

// --- Assignment errors --------------------------------------------------------------

TEST(ProjectReaderAssignment, UnknownPropertyStopsAfterTheEarlierOnes) {
  TSiteGenerator g;
  g.SetSavePath("old");
  ExpectReadError(
      "object TSiteGenerator\r\n  SiteTitle = 'new'\r\n  Foo = 1\r\n"
      "  SavePath = 'after'\r\nend\r\n",
      g, "Error reading TSiteGenerator.Foo: Property Foo does not exist");
  EXPECT_EQ(g.SiteTitle(), "new");
  EXPECT_EQ(g.SavePath(), "old");
}

TEST(ProjectReaderAssignment, UnknownPagePropertyNamesThePageClass) {
  TSiteGenerator g;
  ExpectReadError(
      "object T Pages = <item PageText = 'a' end item PageTitle = 'b' Foo = 'c'"
      " PageUrl = 'd' end> SiteTitle = 'after' end",
      g, "Error reading TSitePage.Foo: Property Foo does not exist");
  // The pages are filled in file order: what came before the error stays.
  ASSERT_EQ(g.Pages().Count(), 2);
  EXPECT_EQ(g.Pages()[0].PageText, "a");
  EXPECT_EQ(g.Pages()[1].PageTitle, "b");
  EXPECT_EQ(g.Pages()[1].PageUrl, "");
  EXPECT_EQ(g.SiteTitle(), "");
}

TEST(ProjectReaderAssignment, DottedNamesReportThePartThatDoesNotResolve) {
  ExpectReadError("object T Foo.Bar = 1 end",
                  "Error reading TSiteGenerator.Foo.Bar: Property Foo does not exist");
  ExpectReadError("object T SiteText.Foo = ('a') end",
                  "Error reading TSiteGenerator.SiteText.Foo: Property Foo does not exist");
  ExpectReadError(
      "object T SiteTemplate.Strings = ('a') end",
      "Error reading TSiteGenerator.SiteTemplate.Strings: Property Strings does not exist");
  ExpectReadError("object T Pages.Strings = ('a') end",
                  "Error reading TSiteGenerator.Pages.Strings: Property Strings does not exist");
  ExpectReadError(
      "object T SiteText.Strings.X = ('a') end",
      "Error reading TSiteGenerator.SiteText.Strings.X: Property Strings does not exist");
}

TEST(ProjectReaderAssignment, ValuesOfTheWrongKind) {
  const std::string invalid = ": Invalid property value";
  const std::pair<const char*, const char*> cases[] = {
      {"MaxCharsPerPage = 'x'", "MaxCharsPerPage"},
      {"MaxCharsPerPage = 2147483648", "MaxCharsPerPage"},
      {"MinCharsPerPage = -2147483649", "MinCharsPerPage"},
      {"MinCharsPerPage = $80000000", "MinCharsPerPage"},
      {"MinCharsPerPage = $FFFFFFFFFFFFFFFF", "MinCharsPerPage"},
      {"MinCharsPerPage = 99999999999999999999999999999", "MinCharsPerPage"},
      {"MinCharsPerPage = -99999999999999999999999999999", "MinCharsPerPage"},
      {"MinCharsPerPage = 1.0", "MinCharsPerPage"},
      {"MinCharsPerPage = True", "MinCharsPerPage"},
      {"SiteTitle = 5", "SiteTitle"},
      {"SiteTitle = Foo", "SiteTitle"},
      {"SiteTitle = ('a')", "SiteTitle"},
      {"SiteTitle = [a]", "SiteTitle"},
      {"SiteTitle = {00}", "SiteTitle"},
      {"SiteText = ('a')", "SiteText"},
      {"SiteText.Strings = 'a'", "SiteText.Strings"},
      {"SiteText.Strings = <>", "SiteText.Strings"},
      {"Pages = 'x'", "Pages"},
      {"Pages = ()", "Pages"},
  };
  for (const auto& [line, name] : cases) {
    SCOPED_TRACE(line);
    ExpectReadError(std::string("object T ") + line + " end",
                    std::string("Error reading TSiteGenerator.") + name + invalid);
  }
  ExpectReadError("object T Pages = <item PageText = 1 end> end",
                  "Error reading TSitePage.PageText: Invalid property value");
}

TEST(ProjectReaderAssignment, AListWithAnElementOfAnotherKindKeepsTheOldLines) {
  TSiteGenerator g;
  g.SetSiteText({"old"});
  ExpectReadError("object T SiteText.Strings = ('a' 1 'b') end", g,
                  "Error reading TSiteGenerator.SiteText.Strings: Invalid property value");
  EXPECT_EQ(g.SiteText(), TStringList{"old"});
  ExpectReadError("object T SiteText.Strings = ('a' ('b')) end", g,
                  "Error reading TSiteGenerator.SiteText.Strings: Invalid property value");
}

TEST(ProjectReaderAssignment, HeaderNameOfAnotherComponentOfTheWindow) {
  TProjectReadContext context;
  std::vector<std::string> asked;
  context.component_name_exists = [&](const std::string& name) {
    asked.push_back(name);
    return name == "Memo1" || name == "Edit1_1";
  };
  TSiteGenerator g;
  ExpectReadError("object Memo1: TSiteGenerator SiteTitle = 'x' end", g,
                  "A component named Memo1 already exists", context);
  EXPECT_EQ(g.SiteTitle(), "");
  EXPECT_EQ(g.Name(), "");
  // The window rule comes first; the component rule sees the final name.
  context.window_name_exists = [](const std::string& name) { return name == "Edit1"; };
  ExpectReadError("object Edit1: TSiteGenerator end", g, "A component named Edit1_1 already exists",
                  context);
  EXPECT_EQ(asked, (std::vector<std::string>{"Memo1", "Edit1_1"}));
}

}  // namespace
}  // namespace orvana::test
