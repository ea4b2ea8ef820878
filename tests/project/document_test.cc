// TProjectDocument: the state of a new project, reading a file with the
// project window's rules, and the texts' way through the window's memos.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>

#include "engine/Error.h"
#include "project/DefaultContent.h"
#include "project/ProjectDocument.h"
#include "project/ProjectFile.h"
#include "tests/project/ProjectTestUtil.h"

namespace orvana::test {
namespace {

// A memo's text as the generator holds it (SiteTemplate, AdsenseCode,
// CssCode), and the memo's lines for it.
struct TMemoText {
  const char* name;
  std::string (*get)(const TSiteGenerator&);
  void (*set)(TSiteGenerator&, std::string);
  TStringList TProjectMemos::*lines;
};

const TMemoText kMemoTexts[] = {
    {"SiteTemplate", [](const TSiteGenerator& g) { return g.SiteTemplate(); },
     [](TSiteGenerator& g, std::string v) { g.SetSiteTemplate(std::move(v)); },
     &TProjectMemos::site_template},
    {"AdsenseCode", [](const TSiteGenerator& g) { return g.AdsenseCode(); },
     [](TSiteGenerator& g, std::string v) { g.SetAdsenseCode(std::move(v)); },
     &TProjectMemos::adsense_code},
    {"CssCode", [](const TSiteGenerator& g) { return g.CssCode(); },
     [](TSiteGenerator& g, std::string v) { g.SetCssCode(std::move(v)); },
     &TProjectMemos::css_code},
};

size_t Count(const std::string& s, char c) {
  return static_cast<size_t>(std::count(s.begin(), s.end(), c));
}

// --- A new project -----------------------------------------------------------

TEST(ProjectDocument, NewDocumentHoldsOnlyTheBounds) {
  TProjectDocument doc;
  const TSiteGenerator& g = doc.Generator();
  EXPECT_EQ(g.MinCharsPerPage(), 4000);
  EXPECT_EQ(g.MaxCharsPerPage(), 5000);
  // The memos' content reaches the generator at the first generation or save.
  EXPECT_EQ(WriteProjectText(g),
            CrLfLines({"object TSiteGenerator", "  Pages = <>", "  MaxCharsPerPage = 5000",
                       "  MinCharsPerPage = 4000", "end"}));
}

TEST(ProjectDocument, NewProjectMemosAreTheDefaultContent) {
  const TProjectMemos memos = TProjectDocument::NewProjectMemos();
  EXPECT_TRUE(memos.site_text.empty());
  EXPECT_TRUE(memos.site_urls_to_link.empty());
  ASSERT_EQ(memos.site_template.size(), 32u);
  EXPECT_EQ(memos.site_template.back(), "</html>");
  ASSERT_EQ(memos.adsense_code.size(), 11u);
  EXPECT_EQ(memos.adsense_code.front(), "<script type=\"text/javascript\"><!--");
  ASSERT_EQ(memos.css_code.size(), 147u);
  EXPECT_EQ(memos.css_code.front(), "body {");

  // Copied in, every line gets its CR.
  TProjectDocument doc;
  doc.SetMemos(memos);
  const TSiteGenerator& g = doc.Generator();
  EXPECT_EQ(Count(g.SiteTemplate(), '\r'), 32u);
  EXPECT_EQ(g.SiteTemplate().substr(g.SiteTemplate().size() - 8), "</html>\r");
  EXPECT_EQ(Count(g.AdsenseCode(), '\r'), 11u);
  EXPECT_EQ(Count(g.CssCode(), '\r'), 147u);
  EXPECT_EQ(g.CssCode().substr(g.CssCode().size() - 2), "}\r");
}

TEST(ProjectDocument, ApplyNewProjectContentResetsAnyGeneratorToTheNewProject) {
  TProjectDocument fresh;
  fresh.SetMemos(TProjectDocument::NewProjectMemos());

  TSiteGenerator used;
  FillGeneratedSite(used);
  used.SetSiteTemplate("x");
  ApplyNewProjectContent(used);
  // The fields without a control of their own are not the new project's.
  EXPECT_FALSE(used.SiteMenu().empty());
  EXPECT_EQ(used.SiteHeader(), "\r\r");
  used.SetSiteMenu({});
  used.SetSiteHeader({});
  EXPECT_EQ(WriteProjectText(used), WriteProjectText(fresh.Generator()));
}

// --- Reading a file with the window's rules --------------------------------------

class ProjectDocumentFile : public testing::Test {
 protected:
  std::string Write(const std::string& text) {
    const std::string path = dir_ / "project";
    WriteWholeFile(path, text);
    return path;
  }

  TempDir dir_;
};

TEST_F(ProjectDocumentFile, PropertiesTheFileLeavesOutKeepTheNewWindowsValues) {
  struct {
    const char* property;  // "" for none
    int32_t min, max;
  } const cases[] = {
      {"", 4000, 5000},
      {"  MinCharsPerPage = 10", 10, 5000},
      {"  MaxCharsPerPage = -3", 4000, -3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.property);
    TProjectDocument doc;
    const std::string text = *c.property ? CrLfLines({"object TSiteGenerator", c.property, "end"})
                                         : CrLfLines({"object TSiteGenerator", "end"});
    ASSERT_NO_THROW(doc.LoadFromFile(Write(text)));
    EXPECT_EQ(doc.Generator().MinCharsPerPage(), c.min);
    EXPECT_EQ(doc.Generator().MaxCharsPerPage(), c.max);
    EXPECT_EQ(doc.Generator().SiteTemplate(), "");
  }
}

TEST_F(ProjectDocumentFile, HeaderNamesAgainstTheWindowsComponentsAndWindows) {
  const auto windows = [](const std::string& name) { return name == "Site" || name == "Site_1"; };
  struct {
    const char* header;
    bool with_windows;
    const char* error;  // nullptr: read, and the generator bears `name`
    const char* name;
  } const cases[] = {
      {"object Edit1: TSiteGenerator", false, "A component named Edit1 already exists", ""},
      {"object PFolderDialog1: TSiteGenerator", false,
       "A component named PFolderDialog1 already exists", ""},
      {"object Splitter2: TSiteGenerator", true, "A component named Splitter2 already exists", ""},
      // Components are matched exactly.
      {"object edit1: TSiteGenerator", false, nullptr, "edit1"},
      {"object Site: TSiteGenerator", false, nullptr, "Site"},
      {"object Site: TSiteGenerator", true, nullptr, "Site_2"},
      {"object TSiteGenerator", true, nullptr, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.header) + (c.with_windows ? " with windows" : ""));
    TProjectDocument doc;
    const std::string path = Write(CrLfLines({c.header, "  SiteTitle = 'T'", "end"}));
    const auto load = [&] {
      doc.LoadFromFile(path,
                       c.with_windows ? std::function<bool(const std::string&)>(windows) : nullptr);
    };
    if (c.error)
      ExpectThrowsMessage<EOrvanaError>(load, c.error);
    else
      EXPECT_NO_THROW(load());
    EXPECT_EQ(doc.Generator().Name(), c.name);
    // A refused name stops the read before any property.
    EXPECT_EQ(doc.Generator().SiteTitle(), c.error ? "" : "T");
  }
}

TEST_F(ProjectDocumentFile, AFailedReadKeepsWhatCameBeforeAndSavingWritesTheSameProject) {
  TProjectDocument doc;
  const std::string path = Write(CrLfLines(
      {"object TSiteGenerator", "  SiteTitle = 'A'", "  MinCharsPerPage = 7", "  Foo = 1", "end"}));
  ExpectThrowsMessage<EOrvanaError>(
      [&] { doc.LoadFromFile(path); },
      "Error reading TSiteGenerator.Foo: Property Foo does not exist");
  EXPECT_EQ(doc.Generator().SiteTitle(), "A");
  EXPECT_EQ(doc.Generator().MinCharsPerPage(), 7);
  EXPECT_EQ(doc.Generator().MaxCharsPerPage(), 5000);

  TSiteGenerator site;
  FillGeneratedSite(site);
  const std::string site_path = Write(WriteProjectText(site));
  TProjectDocument read;
  ASSERT_NO_THROW(read.LoadFromFile(site_path));
  const std::string copy = dir_ / "copy";
  read.SaveToFile(copy);
  EXPECT_EQ(ReadWholeFile(copy), WriteProjectText(site));
}

// --- The memos ----------------------------------------------------------------

TEST(ProjectDocument, MemosCutTheThreeTextsAtEachCr) {
  struct {
    std::string text;
    TStringList lines;
  } const cases[] = {
      {"a\r\rb\r", {"a", "", "b"}},
      {"x\ryz", {"x", "yz"}},
      {"", {}},
      {"one", {"one"}},
      {"\r", {""}},
      {"l\nf\r", {"l\nf"}},
  };
  for (const TMemoText& memo : kMemoTexts) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(memo.name) + " " + testing::PrintToString(c.text));
      TProjectDocument doc;
      memo.set(doc.Generator(), c.text);
      EXPECT_EQ(doc.Memos().*memo.lines, c.lines);
    }
  }
}

TEST(ProjectDocument, MemosShowTheTextAndLinksLineForLine) {
  TProjectDocument doc;
  const TStringList text = {W("Привет"), "", "a\rb", "c\nd"};
  const TStringList links = {"http://a/", ""};
  doc.Generator().SetSiteText(text);
  doc.Generator().SetSiteUrlsToLink(links);
  const TProjectMemos memos = doc.Memos();
  EXPECT_EQ(memos.site_text, text);
  EXPECT_EQ(memos.site_urls_to_link, links);
}

TEST(ProjectDocument, SetMemosJoinsTheThreeTextsAndCopiesTheLists) {
  TProjectDocument doc;
  TProjectMemos memos;
  memos.site_text = {"t1", "", "t2"};
  memos.site_template = {"a", "", "b"};
  memos.adsense_code = {};
  memos.css_code = {"c"};
  memos.site_urls_to_link = {"u"};
  doc.SetMemos(memos);
  const TSiteGenerator& g = doc.Generator();
  EXPECT_EQ(g.SiteText(), memos.site_text);
  EXPECT_EQ(g.SiteTemplate(), "a\r\rb\r");
  EXPECT_EQ(g.AdsenseCode(), "");
  EXPECT_EQ(g.CssCode(), "c\r");
  EXPECT_EQ(g.SiteUrlsToLink(), memos.site_urls_to_link);
  // Shown again, the memos hold what they held.
  EXPECT_EQ(doc.Memos().site_template, memos.site_template);
  EXPECT_EQ(doc.Memos().css_code, memos.css_code);
}

TEST(ProjectDocument, PassingThroughTheMemosEndsEveryTextWithOneCr) {
  struct {
    std::string before, after;
  } const cases[] = {
      {"T", "T\r"}, {"b{}\ri{}", "b{}\ri{}\r"}, {"a\r\rb\r", "a\r\rb\r"}, {"", ""},
      {"\r", "\r"}, {"\r\r", "\r\r"},           {"l\nf", "l\nf\r"},
  };
  for (const TMemoText& memo : kMemoTexts) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(memo.name) + " " + testing::PrintToString(c.before));
      TProjectDocument doc;
      memo.set(doc.Generator(), c.before);
      doc.Generator().SetSiteText(TStringList{"x\ry", "z"});
      doc.Generator().SetSiteUrlsToLink(TStringList{"u\r"});
      doc.PassTextsThroughMemos();
      EXPECT_EQ(memo.get(doc.Generator()), c.after);
      // As often as a project is shown and saved: no line comes or goes.
      doc.PassTextsThroughMemos();
      EXPECT_EQ(memo.get(doc.Generator()), c.after);
      EXPECT_EQ(doc.Generator().SiteText(), (TStringList{"x\ry", "z"}));
      EXPECT_EQ(doc.Generator().SiteUrlsToLink(), TStringList{"u\r"});
    }
  }
}

}  // namespace
}  // namespace orvana::test
