// The extras block after the root object: written only when an extra differs
// from its default, read back exactly, and never in the way of the project
// itself when it is damaged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "project/ProjectDocument.h"
#include "project/ProjectFile.h"
#include "tests/project/ProjectTestUtil.h"

namespace orvana::test {
namespace {

const std::string kRoot =
    CrLfLines({"object TSiteGenerator", "  SiteTitle = 'Tales'", "  MaxCharsPerPage = 900", "end"});

TOrvanaExtras EveryExtraSet() {
  TOrvanaExtras e;
  e.PagerWindow = 3;
  e.MenuWindow = 1;
  e.PageWord = "Part";
  e.IndexLabel = W("Начало");
  e.SafeLinks = true;
  e.LinkRel = "nofollow";
  e.OutputEncoding = TOutputEncoding::kUtf8;
  e.SiteUrl = "https://example.org/it's/";
  e.PruneStale = true;
  return e;
}

TEST(ExtrasBlockTest, DefaultExtrasWriteNoBlock) {
  TSiteGenerator g;
  EXPECT_EQ(WriteProjectText(g).find("OrvanaExtras"), std::string::npos);
  EXPECT_TRUE(WriteProjectText(g).ends_with("end\r\n"));
}

TEST(ExtrasBlockTest, BlockHoldsOnlyTheExtrasThatDiffer) {
  TSiteGenerator g;
  TOrvanaExtras e;
  e.PagerWindow = 2;
  e.SafeLinks = true;
  g.SetExtras(e);
  const std::string text = WriteProjectText(g);
  const std::string block = CrLfLines({"end", "object OrvanaExtras: TOrvanaExtras",
                                       "  PagerWindow = 2", "  SafeLinks = True", "end"});
  ASSERT_TRUE(text.ends_with(block)) << text;
  // Before it, the root object as a project without extras has it.
  TSiteGenerator plain;
  EXPECT_EQ(text.substr(0, text.size() - block.size() + 5), WriteProjectText(plain));
}

TEST(ExtrasBlockTest, StringsUseTheRootsNotation) {
  TSiteGenerator g;
  TOrvanaExtras e;
  e.PageWord = W("Глава");
  e.SiteUrl = "it's";
  e.IndexLabel = "";
  g.SetExtras(e);
  const std::string text = WriteProjectText(g);
  EXPECT_NE(text.find("  PageWord = #1043#1083#1072#1074#1072\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  IndexLabel = ''\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  SiteUrl = 'it'#39's'\r\n"), std::string::npos) << text;
}

TEST(ExtrasBlockTest, EveryExtraRoundTripsThroughTextAndStream) {
  TSiteGenerator g;
  g.SetSiteTitle("x");
  g.SetExtras(EveryExtraSet());
  TSiteGenerator back;
  ReadProjectText(WriteProjectText(g), back);
  EXPECT_EQ(back.Extras(), EveryExtraSet());
  EXPECT_EQ(back.SiteTitle(), "x");

  TempDir dir;
  const std::string file = dir / "p.orvana";
  {
    TProjectFileStream stream(g, file);
    stream.Commit();
  }
  EXPECT_EQ(ReadWholeFile(file), WriteProjectText(g));
}

TEST(ExtrasBlockTest, AFileWithoutBlockResetsTheExtras) {
  TSiteGenerator g;
  g.SetExtras(EveryExtraSet());
  std::vector<std::string> warnings;
  TProjectReadContext context;
  context.warning = [&](const std::string& w) { warnings.push_back(w); };
  ReadProjectText(kRoot + "some notes after the end\r\n", g, context);
  EXPECT_TRUE(g.Extras().IsDefault());
  EXPECT_TRUE(warnings.empty());
}

TEST(ExtrasBlockTest, DamagedBlocksNeverStopTheProject) {
  const struct {
    const char* name;
    std::vector<std::string_view> block;
    TOrvanaExtras expected;
    std::vector<std::string> warnings;
  } cases[] = {
      {"unknown property skipped, the rest read",
       {"object OrvanaExtras: TOrvanaExtras", "  Colour = 3", "  PagerWindow = 4", "end"},
       [] {
         TOrvanaExtras e;
         e.PagerWindow = 4;
         return e;
       }(),
       {"Error reading OrvanaExtras.Colour: Property Colour does not exist; skipped"}},
      {"badly typed values skipped",
       {"object OrvanaExtras: TOrvanaExtras", "  PagerWindow = 'two'", "  SafeLinks = 1",
        "  PruneStale = Maybe", "  SiteUrl = 5", "  MenuWindow = -1", "  LinkRel = 'ugc'", "end"},
       [] {
         TOrvanaExtras e;
         e.LinkRel = "ugc";
         return e;
       }(),
       {"Error reading OrvanaExtras.PagerWindow: Invalid property value; skipped",
        "Error reading OrvanaExtras.SafeLinks: Invalid property value; skipped",
        "Error reading OrvanaExtras.PruneStale: Invalid property value; skipped",
        "Error reading OrvanaExtras.SiteUrl: Invalid property value; skipped",
        "Error reading OrvanaExtras.MenuWindow: Invalid property value; skipped"}},
      {"unknown encoding skipped, known one in any case taken",
       {"object TOrvanaExtras", "  OutputEncoding = 'koi8-r'", "  outputencoding = 'UTF-8'",
        "  safelinks = true", "end"},
       [] {
         TOrvanaExtras e;
         e.OutputEncoding = TOutputEncoding::kUtf8;
         e.SafeLinks = true;
         return e;
       }(),
       {"Error reading OrvanaExtras.OutputEncoding: Unknown output encoding 'koi8-r' (expected "
        "windows-1251 or utf-8); skipped",
        "Error reading OrvanaExtras.outputencoding: set again on line 7 (first on line 6)"}},
      {"syntax error: the whole block ignored, its line counted in the file",
       {"object OrvanaExtras: TOrvanaExtras", "  PagerWindow = 2", "  SafeLinks True", "end"},
       TOrvanaExtras{},
       {"Error reading OrvanaExtras: ''='' expected on line 7; the extras keep their defaults"}},
      {"another class ignored",
       {"object Other: TSomethingElse", "  PagerWindow = 2", "end"},
       TOrvanaExtras{},
       {"Ignored the object of class TSomethingElse after the project; the extras keep their "
        "defaults"}},
      {"text before the block: the block ignored as before",
       {"notes", "object TOrvanaExtras", "  PagerWindow = 2", "end"},
       {},
       {"Ignored the extras block on line 6: the text on line 5 stands between it and the "
        "project; the extras keep their defaults"}},
      {"a second block",
       {"object TOrvanaExtras", "end", "object TOrvanaExtras", "  PagerWindow = 2", "end"},
       {},
       {"Ignored the second extras block on line 7; only the first is read"}},
      {"text after the block",
       {"object TOrvanaExtras", "end", "x"},
       {},
       {"Ignored the text on line 7 after the extras block"}},
  };
  for (const auto& c : cases) {
    TSiteGenerator g;
    std::vector<std::string> warnings;
    TProjectReadContext context;
    context.warning = [&](const std::string& w) { warnings.push_back(w); };
    std::string text = kRoot;
    for (std::string_view line : c.block) (text += line) += "\r\n";
    ReadProjectText(text, g, context);
    EXPECT_EQ(g.SiteTitle(), "Tales") << c.name;
    EXPECT_EQ(g.MaxCharsPerPage(), 900) << c.name;
    EXPECT_EQ(g.Extras(), c.expected) << c.name;
    EXPECT_EQ(warnings, c.warnings) << c.name;
    // The text given up to the reader reads alike.
    TSiteGenerator moved;
    std::vector<std::string> moved_warnings;
    context.warning = [&](const std::string& w) { moved_warnings.push_back(w); };
    ReadProjectText(std::string(text), moved, context);
    EXPECT_EQ(moved.Extras(), c.expected) << c.name;
    EXPECT_EQ(moved_warnings, c.warnings) << c.name;
  }
}

TEST(ExtrasBlockTest, DocumentKeepsTheWarningsOfItsLastLoad) {
  TempDir dir;
  const std::string file = dir / "p.orvana";
  WriteWholeFile(file, kRoot + CrLfLines({"object OrvanaExtras: TOrvanaExtras", "  Nope = 1",
                                          "  PruneStale = True", "end"}));
  TProjectDocument document;
  document.LoadFromFile(file);
  EXPECT_TRUE(document.Generator().Extras().PruneStale);
  EXPECT_EQ(document.ReadWarnings(),
            std::vector<std::string>{
                "Error reading OrvanaExtras.Nope: Property Nope does not exist; skipped"});
  WriteWholeFile(file, kRoot);
  document.LoadFromFile(file);
  EXPECT_TRUE(document.ReadWarnings().empty());
  EXPECT_FALSE(document.Generator().Extras().PruneStale);
}

}  // namespace
}  // namespace orvana::test
