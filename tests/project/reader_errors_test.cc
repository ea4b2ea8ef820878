#include <gtest/gtest.h>

#include <string>

#include "ProjectFile.h"
#include "ProjectTestUtil.h"
#include "SiteGenerator.h"

namespace orvana::test {
namespace {

// --- Syntax errors: message and line ---------------------------------------------

TEST(ProjectReaderSyntax, FileNotBeginningWithTheObjectKeyword) {
  EXPECT_EQ(ReadError(""), "OBJECT expected on line 1");
  EXPECT_EQ(ReadError("<html><body></body></html>"), "OBJECT expected on line 1");
  EXPECT_EQ(ReadError("\xEF\xBB\xBFobject TSiteGenerator end"), "OBJECT expected on line 1");
  EXPECT_EQ(ReadError("\r\n\r\n  objects T end"), "OBJECT expected on line 3");
  EXPECT_EQ(ReadError("'object'"), "OBJECT expected on line 1");
}

TEST(ProjectReaderSyntax, IdentifierExpected) {
  EXPECT_EQ(ReadError("object"), "Identifier expected on line 1");
  EXPECT_EQ(ReadError("object Name:\r\n  5 end"), "Identifier expected on line 2");
  // A property name, a part after a dot, and the end of the text before "end".
  EXPECT_EQ(ReadError("object T\r\n  SiteTitle = 'a'\r\n  'b' = 1\r\nend"),
            "Identifier expected on line 3");
  EXPECT_EQ(ReadError("object T\r\n  SiteText.\r\n  = 1\r\nend"), "Identifier expected on line 3");
  EXPECT_EQ(ReadError("object T\r\n  SiteTitle = 'a'\r\n"), "Identifier expected on line 3");
  EXPECT_EQ(ReadError("object T Pages = <item PageText = 'a'"), "Identifier expected on line 1");
  EXPECT_EQ(ReadError("object T\r\n X = [a,\r\n 'b'] end"), "Identifier expected on line 3");
  EXPECT_EQ(ReadError("object T\r\n X = Form1.\r\n 3 end"), "Identifier expected on line 3");
}

TEST(ProjectReaderSyntax, SignExpected) {
  EXPECT_EQ(ReadError("object T\r\n  SiteTitle 'a'\r\nend"), "''='' expected on line 2");
  EXPECT_EQ(ReadError("object T\r\n  SiteTitle\r\n\r\n"), "''='' expected on line 4");
  EXPECT_EQ(ReadError("object T [1 2"), "'']'' expected on line 1");
  EXPECT_EQ(ReadError("object T Pages = <item [1\r\n PageText = 'a' end> end"),
            "'']'' expected on line 2");
  EXPECT_EQ(ReadError("object T\r\n X = [a b] end"), "'','' expected on line 2");
}

TEST(ProjectReaderSyntax, StringExpectedAfterAPlus) {
  EXPECT_EQ(ReadError("object T\r\n  SiteTitle = 'a' +\r\n   5\r\nend"),
            "String expected on line 3");
  EXPECT_EQ(ReadError("object T\r\n  SiteTitle = 'a' +\r\n"), "String expected on line 3");
}

TEST(ProjectReaderSyntax, NumberExpected) {
  EXPECT_EQ(ReadError("object T [x] end"), "Number expected on line 1");
  EXPECT_EQ(ReadError("object T\r\n Pages = <\r\n  item []"), "Number expected on line 3");
  EXPECT_EQ(ReadError("object T\r\n MaxCharsPerPage = - 5 end"), "Number expected on line 2");
  EXPECT_EQ(ReadError("object T\r\n MaxCharsPerPage = $ end"), "Number expected on line 2");
}

TEST(ProjectReaderSyntax, InvalidStringConstant) {
  // A quoted run open at the end of its line, at the end of the text, at a
  // byte 0; a code without digits or beyond 16 bits.
  EXPECT_EQ(ReadError("object T\r\n  SiteTitle = 'abc\r\n'\r\nend"),
            "Invalid string constant on line 2");
  EXPECT_EQ(ReadError("object T\r\n  SiteTitle = 'abc\nd'"), "Invalid string constant on line 2");
  EXPECT_EQ(ReadError("object T\r\n\r\n  SiteTitle = 'abc"), "Invalid string constant on line 3");
  EXPECT_EQ(ReadError(std::string("object T SiteTitle = 'a\0b' end", 30)),
            "Invalid string constant on line 1");
  EXPECT_EQ(ReadError("object T SiteTitle = 'a'#'b' end"), "Invalid string constant on line 1");
  EXPECT_EQ(ReadError("object T SiteTitle = #65536 end"), "Invalid string constant on line 1");
  EXPECT_EQ(ReadError("object T SiteTitle = #99999999999999999999999999 end"),
            "Invalid string constant on line 1");
  EXPECT_EQ(ReadError("object T SiteTitle = #$ end"), "Invalid string constant on line 1");
}

TEST(ProjectReaderSyntax, InvalidPropertyValue) {
  EXPECT_EQ(ReadError("object T\r\n  SiteTitle = )\r\nend"), "Invalid property value on line 2");
  EXPECT_EQ(ReadError("object T\r\n  SiteTitle =\r\n"), "Invalid property value on line 3");
  EXPECT_EQ(ReadError("object T\r\n  X = (1\r\n  2"), "Invalid property value on line 3");
  EXPECT_EQ(ReadError("object T\r\n  X = 1.2.3 end"), "Invalid property value on line 2");
  EXPECT_EQ(ReadError("object T\r\n  X = 1e end"), "Invalid property value on line 2");
}

TEST(ProjectReaderSyntax, InvalidBinaryValue) {
  EXPECT_EQ(ReadError("object T\r\n  X = {0G}\r\nend"), "Invalid binary value on line 2");
  EXPECT_EQ(ReadError("object T\r\n  X = {ABC}\r\nend"), "Invalid binary value on line 2");
  EXPECT_EQ(ReadError("object T\r\n  X = {AB\r\n\r\n"), "Invalid binary value on line 4");
}

TEST(ProjectReaderSyntax, KeywordsExpected) {
  EXPECT_EQ(ReadError("object T\r\n  Pages = <\r\n    thing\r\n  end> end"),
            "item expected on line 3");
  // After a nested object only objects and "end" may follow.
  EXPECT_EQ(ReadError("object T\r\n  object C: TC end\r\n  SiteTitle = 'x'\r\nend"),
            "OBJECT expected on line 3");
}

TEST(ProjectReaderSyntax, LineTooLong) {
  // A line and its LF fit the 4096-byte buffer: 4095 bytes before the LF do,
  // 4096 do not, wherever the line stands.
  // The second line: "  SiteTitle = 'a'", blanks and CR.
  auto second_line = [](size_t bytes_before_lf) {
    std::string line = "  SiteTitle = 'a'";
    line += std::string(bytes_before_lf - line.size() - 1, ' ');
    line += '\r';
    return "object T\r\n" + line + "\nend\r\n";
  };
  TSiteGenerator g;
  EXPECT_EQ(ReadError(second_line(4095), g), "<no error>");
  EXPECT_EQ(g.SiteTitle(), "a");
  EXPECT_EQ(ReadError(second_line(4096)), "Line too long on line 2");
  // One long token, and a long last line without an LF.
  EXPECT_EQ(ReadError("object T\r\n\r\n  SiteTitle = '" + std::string(5000, 'x') + "'\r\nend"),
            "Line too long on line 3");
  EXPECT_EQ(ReadError("object T SiteTitle = 'x'" + std::string(4096, ' ') + "end"),
            "Line too long on line 1");
  EXPECT_EQ(ReadError("object T SiteTitle = 'x'" + std::string(4000, ' ') + "end"), "<no error>");
}

TEST(ProjectReaderSyntax, DeepNestingIsReadWithoutExhaustingTheStack) {
  const int depth = 1000000;
  std::string text = "object T X = ";
  text.reserve(static_cast<size_t>(depth) * 2 + 64);
  for (int i = 0; i < depth; ++i) text += i % 2 ? "\n(" : "<item Y = ";
  EXPECT_EQ(ReadError(text), "Invalid property value on line " + std::to_string(depth / 2 + 1));
  std::string closed = "object T Z = ";
  for (int i = 0; i < depth; ++i) closed += '(';
  for (int i = 0; i < depth; ++i) closed += ')';
  closed = closed.substr(0, 13) + "\n" + closed.substr(13);
  // 2,000,000 bytes on one line: too long; the same nesting over short lines
  // is fine.
  EXPECT_EQ(ReadError(closed + " end"), "Line too long on line 2");
  std::string lines = "object T Z = ";
  for (int i = 0; i < depth; ++i) lines += (i % 1000 == 0) ? "\n(" : "(";
  for (int i = 0; i < depth; ++i) lines += (i % 1000 == 0) ? "\n)" : ")";
  TSiteGenerator g;
  EXPECT_EQ(ReadError(lines + " SiteTitle = 'deep' end", g),
            "Error reading TSiteGenerator.Z: Property Z does not exist");
}

TEST(ProjectReaderSyntax, SyntaxErrorLeavesTheGeneratorUntouched) {
  TSiteGenerator g;
  FillExample(g);
  g.SetName("Kept");
  const std::string before = WriteProjectText(g);
  EXPECT_EQ(ReadError("object Other: TSiteGenerator\r\n  Pages = <item PageText = 'x' end>\r\n"
                      "  SiteText.Strings = ('new')\r\n  SiteTitle = 'changed'\r\n"
                      "  MaxCharsPerPage = 1\r\n  SavePath 'oops'\r\nend\r\n",
                      g),
            "''='' expected on line 6");
  EXPECT_EQ(WriteProjectText(g), before);
}

// --- Assignment errors --------------------------------------------------------------

TEST(ProjectReaderAssignment, UnknownPropertyStopsAfterTheEarlierOnes) {
  TSiteGenerator g;
  g.SetSavePath("old");
  EXPECT_EQ(ReadError("object TSiteGenerator\r\n  SiteTitle = 'new'\r\n  Foo = 1\r\n"
                      "  SavePath = 'after'\r\nend\r\n",
                      g),
            "Error reading TSiteGenerator.Foo: Property Foo does not exist");
  EXPECT_EQ(g.SiteTitle(), "new");
  EXPECT_EQ(g.SavePath(), "old");
}

TEST(ProjectReaderAssignment, UnknownPagePropertyNamesThePageClass) {
  TSiteGenerator g;
  EXPECT_EQ(ReadError("object T Pages = <item PageText = 'a' end item PageTitle = 'b' Foo = 'c'"
                      " PageUrl = 'd' end> SiteTitle = 'after' end",
                      g),
            "Error reading TSitePage.Foo: Property Foo does not exist");
  // The pages are filled in file order: what came before the error stays.
  ASSERT_EQ(g.Pages().Count(), 2);
  EXPECT_EQ(g.Pages()[0].PageText, "a");
  EXPECT_EQ(g.Pages()[1].PageTitle, "b");
  EXPECT_EQ(g.Pages()[1].PageUrl, "");
  EXPECT_EQ(g.SiteTitle(), "");
}

TEST(ProjectReaderAssignment, DottedNamesReportThePartThatDoesNotResolve) {
  EXPECT_EQ(ReadError("object T Foo.Bar = 1 end"),
            "Error reading TSiteGenerator.Foo.Bar: Property Foo does not exist");
  EXPECT_EQ(ReadError("object T SiteText.Foo = ('a') end"),
            "Error reading TSiteGenerator.SiteText.Foo: Property Foo does not exist");
  EXPECT_EQ(ReadError("object T SiteTemplate.Strings = ('a') end"),
            "Error reading TSiteGenerator.SiteTemplate.Strings: Property Strings does not exist");
  EXPECT_EQ(ReadError("object T Pages.Strings = ('a') end"),
            "Error reading TSiteGenerator.Pages.Strings: Property Strings does not exist");
  EXPECT_EQ(ReadError("object T SiteText.Strings.X = ('a') end"),
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
    EXPECT_EQ(ReadError(std::string("object T ") + line + " end"),
              std::string("Error reading TSiteGenerator.") + name + invalid)
        << line;
  }
  EXPECT_EQ(ReadError("object T Pages = <item PageText = 1 end> end"),
            "Error reading TSitePage.PageText: Invalid property value");
}

TEST(ProjectReaderAssignment, AListWithAnElementOfAnotherKindKeepsTheOldLines) {
  TSiteGenerator g;
  g.SetSiteText({"old"});
  EXPECT_EQ(ReadError("object T SiteText.Strings = ('a' 1 'b') end", g),
            "Error reading TSiteGenerator.SiteText.Strings: Invalid property value");
  EXPECT_EQ(g.SiteText(), TStringList{"old"});
  EXPECT_EQ(ReadError("object T SiteText.Strings = ('a' ('b')) end", g),
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
  EXPECT_EQ(ReadError("object Memo1: TSiteGenerator SiteTitle = 'x' end", g, context),
            "A component named Memo1 already exists");
  EXPECT_EQ(g.SiteTitle(), "");
  EXPECT_EQ(g.Name(), "");
  // The window rule comes first; the component rule sees the final name.
  context.window_name_exists = [](const std::string& name) { return name == "Edit1"; };
  EXPECT_EQ(ReadError("object Edit1: TSiteGenerator end", g, context),
            "A component named Edit1_1 already exists");
  EXPECT_EQ(asked, (std::vector<std::string>{"Memo1", "Edit1_1"}));
}

}  // namespace
}  // namespace orvana::test
