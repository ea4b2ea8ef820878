// The extras from the command line: set by `new`, followed by `build`, shown
// by `show --json`, and a damaged extras block reported on standard error.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/CodePage.h"
#include "engine/ExtrasOutput.h"
#include "engine/PageEncoding.h"
#include "project/ModernPreset.h"
#include "project/ProjectDocument.h"
#include "tests/cli/CliTestUtil.h"

namespace orvana::cli {
namespace {

using testing::ReadWholeFile;
using testing::RunResult;
using testing::RunTool;
using testing::TempDir;
using testing::WriteWholeFile;

class CliExtrasTest : public ::testing::Test {
 protected:
  std::string Project() const { return dir_ / "p.orvana"; }
  TOrvanaExtras ExtrasOnFile() {
    TProjectDocument document;
    document.LoadFromFile(Utf8ToCp1251(Project()));
    return document.Generator().Extras();
  }
  TempDir dir_;
};

TEST_F(CliExtrasTest, EachOptionSetsItsExtraOnly) {
  const struct {
    std::vector<std::string> args;
    TOrvanaExtras expected;
  } cases[] = {
      {{"--pager-window", "3"},
       [] {
         TOrvanaExtras e;
         e.PagerWindow = 3;
         return e;
       }()},
      {{"--menu-window", "$10"},
       [] {
         TOrvanaExtras e;
         e.MenuWindow = 16;
         return e;
       }()},
      {{"--page-word", "Глава"},
       [] {
         TOrvanaExtras e;
         e.PageWord = Utf8ToCp1251("Глава");
         return e;
       }()},
      {{"--index-label", "Start"},
       [] {
         TOrvanaExtras e;
         e.IndexLabel = "Start";
         return e;
       }()},
      {{"--safe-links"},
       [] {
         TOrvanaExtras e;
         e.SafeLinks = true;
         return e;
       }()},
      {{"--link-rel", "ugc"},
       [] {
         TOrvanaExtras e;
         e.LinkRel = "ugc";
         return e;
       }()},
      {{"--output-encoding", "UTF-8"},
       [] {
         TOrvanaExtras e;
         e.OutputEncoding = TOutputEncoding::kUtf8;
         return e;
       }()},
      {{"--site-url", "https://x.org/"},
       [] {
         TOrvanaExtras e;
         e.SiteUrl = "https://x.org/";
         return e;
       }()},
      {{"--prune"},
       [] {
         TOrvanaExtras e;
         e.PruneStale = true;
         return e;
       }()},
      {{"--preset", "modern", "--pager-window", "0"},
       [] {
         TOrvanaExtras e;
         e.SafeLinks = true;
         e.OutputEncoding = TOutputEncoding::kUtf8;
         return e;
       }()},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"new", Project(), "--force"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult r = RunTool(args);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ExtrasOnFile(), c.expected) << c.args[0];
  }
}

TEST_F(CliExtrasTest, PresetGivesTheModernTemplateUnlessAFileReplacesIt) {
  WriteWholeFile(dir_ / "t.html", "<p>SiteGeneratorChange.MainText</p>\n");
  ASSERT_EQ(RunTool({"new", Project(), "--preset", "modern"}).code, 0);
  TProjectDocument document;
  document.LoadFromFile(Utf8ToCp1251(Project()));
  EXPECT_EQ(document.Memos().site_template, ModernTemplateLines());
  EXPECT_EQ(document.Memos().css_code, ModernCssLines());
  EXPECT_TRUE(document.Memos().adsense_code.empty());
  ASSERT_EQ(
      RunTool({"new", Project(), "--force", "--preset", "modern", "--template", dir_ / "t.html"})
          .code,
      0);
  document.LoadFromFile(Utf8ToCp1251(Project()));
  EXPECT_EQ(document.Memos().site_template, TStringList{"<p>SiteGeneratorChange.MainText</p>"});
  EXPECT_EQ(document.Memos().css_code, ModernCssLines());
}

// The modern preset's pages declare the encoding they are written in,
// whichever command chose it last: `new`, `set` or the build itself.
TEST_F(CliExtrasTest, ModernPagesDeclareTheEncodingOfTheirBuild) {
  WriteWholeFile(dir_ / "t.txt", "Первая строка текста.\n");
  // Each command may choose an encoding ("" for none); the last one rules.
  for (const std::string made : {"", "utf-8", "windows-1251"})
    for (const std::string set : {"", "utf-8", "windows-1251"})
      for (const std::string built : {"", "utf-8", "windows-1251"}) {
        const std::string e = !built.empty() ? built : !set.empty() ? set : made;
        const auto with = [](std::vector<std::string> args, const std::string& encoding) {
          if (!encoding.empty()) args.insert(args.end(), {"--output-encoding", encoding});
          return args;
        };
        ASSERT_EQ(RunTool(with({"new", Project(), "--force", "--preset", "modern", "--text",
                                dir_ / "t.txt", "--out", dir_.Path()},
                               made))
                      .code,
                  0);
        if (!set.empty()) ASSERT_EQ(RunTool(with({"set", Project()}, set)).code, 0);
        ASSERT_EQ(RunTool(with({"build", Project()}, built)).code, 0);
        const std::string page = ReadWholeFile(dir_ / "index.html");
        EXPECT_EQ(DeclaredCharset(page),
                  e == "windows-1251" ? TCharsetKind::kWindows1251 : TCharsetKind::kUtf8)
            << made << "/" << set << "/" << built;
        EXPECT_NE(page.find(e == "windows-1251" ? Utf8ToCp1251("Первая") : "Первая"),
                  std::string::npos);
      }
}

TEST_F(CliExtrasTest, BadExtrasOptionsAreUsageErrorsAndWriteNothing) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--pager-window", "-1"},
                                               {"--menu-window", "x"},
                                               {"--output-encoding", "koi8-r"},
                                               {"--preset", "classic"},
                                               {"--site-url", "ftp://x.org/"},
                                               {"--site-url", "https://e.org/例"}}) {
    std::vector<std::string> all = {"new", Project()};
    all.insert(all.end(), args.begin(), args.end());
    const RunResult r = RunTool(all);
    EXPECT_EQ(r.code, 2) << args[0];
    EXPECT_FALSE(std::filesystem::exists(Project())) << args[0];
  }
}

TEST_F(CliExtrasTest, BuildFollowsTheExtrasAndShowListsThem) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += "Абзац номер " + std::to_string(i) + ", вполне обычный.\n\n";
  WriteWholeFile(dir_ / "text.txt", text);
  std::filesystem::create_directory(dir_ / "site");
  WriteWholeFile(dir_ / "site/page999.html", "old");
  WriteWholeFile(dir_ / "site/page0999.html", "keep");
  ASSERT_EQ(RunTool({"new",
                     Project(),
                     "--text",
                     dir_ / "text.txt",
                     "--min",
                     "50",
                     "--max",
                     "80",
                     "--out",
                     dir_ / "site",
                     "--pager-window",
                     "1",
                     "--menu-window",
                     "1",
                     "--output-encoding",
                     "utf-8",
                     "--site-url",
                     "https://x.org",
                     "--prune",
                     "--page-word",
                     "Часть"})
                .code,
            0);
  const RunResult r = RunTool({"build", Project(), "--seed", "1"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("removed stale page999.html\n"), std::string::npos) << r.out;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "site/page999.html"));
  EXPECT_EQ(ReadWholeFile(dir_ / "site/page0999.html"), "keep");
  const std::string page = ReadWholeFile(dir_ / "site/page5.html");
  EXPECT_NE(page.find(" <head><meta charset=\"utf-8\">\r"), std::string::npos)
      << page.substr(0, 200);
  EXPECT_NE(page.find("Часть 5"), std::string::npos);
  EXPECT_NE(page.find(" \xE2\x80\xA6 "), std::string::npos);  // the bar's "…" in UTF-8
  EXPECT_NE(ReadWholeFile(dir_ / "site/sitemap.xml").find("<loc>https://x.org/page5.html</loc>"),
            std::string::npos);
  // The pages declare their charset, and windowed menus and bars keep the
  // site from growing with the square of its pages: no warning.
  EXPECT_EQ(r.err, "");
  const RunResult report = RunTool({"build", Project(), "--seed", "1", "--dry-run"});
  EXPECT_NE(report.out.find("\"encoding\": \"utf-8\""), std::string::npos) << report.out;

  const RunResult json = RunTool({"show", Project(), "--json"});
  ASSERT_EQ(json.code, 0);
  EXPECT_NE(json.out.find(",\"Extras\":{\"PagerWindow\":1,\"MenuWindow\":1,\"PageWord\":\"Часть\","
                          "\"IndexLabel\":\"index\",\"SafeLinks\":false,\"LinkRel\":\"\","
                          "\"OutputEncoding\":\"utf-8\",\"SiteUrl\":\"https://x.org\","
                          "\"PruneStale\":true}}\n"),
            std::string::npos)
      << json.out;
}

TEST_F(CliExtrasTest, ShowJsonOfAClassicProjectHasNoExtras) {
  ASSERT_EQ(RunTool({"new", Project()}).code, 0);
  const RunResult json = RunTool({"show", Project(), "--json"});
  EXPECT_EQ(json.out.find("Extras"), std::string::npos);
}

TEST_F(CliExtrasTest, DamagedExtrasAreWarnedOfAndTheProjectStillLoads) {
  ASSERT_EQ(RunTool({"new", Project(), "--title", "T"}).code, 0);
  WriteWholeFile(Project(), ReadWholeFile(Project()) +
                                "object OrvanaExtras: TOrvanaExtras\r\n  PagerWindow = 'x'\r\n"
                                "  SafeLinks = True\r\nend\r\n");
  const RunResult r = RunTool({"show", Project()});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("Title:         T\n"), std::string::npos);
  EXPECT_EQ(r.err, "orvana-cli: warning: " + Project() +
                       ": Error reading OrvanaExtras.PagerWindow: Invalid property value; "
                       "skipped\n");
  // A build says it once, as one of its warnings: in the report, and for
  // --strict a reason to write nothing.
  const std::string out = dir_ / "site";
  std::filesystem::create_directory(out);
  const RunResult dry = RunTool({"build", Project(), "--out", out, "--dry-run"});
  EXPECT_EQ(dry.code, 0);
  EXPECT_NE(dry.out.find("\"code\": \"project-read\""), std::string::npos) << dry.out;
  const RunResult strict = RunTool({"build", Project(), "--out", out, "--strict"});
  EXPECT_EQ(strict.code, 1);
  EXPECT_NE(strict.err.find("Error reading OrvanaExtras.PagerWindow"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out + "/index.html"));
  const RunResult built = RunTool({"build", Project(), "--out", out});
  EXPECT_EQ(built.code, 0);
  size_t said = 0;
  for (size_t at = built.err.find("Error reading"); at != std::string::npos;
       at = built.err.find("Error reading", at + 1))
    ++said;
  EXPECT_EQ(said, 1u) << built.err;
}

}  // namespace
}  // namespace orvana::cli
