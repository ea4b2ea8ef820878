// The commands of orvana-cli, run in-process against files in a scratch
// folder and compared with what the engine and the project-file writer give
// for the same edits in the desktop application.
#include <functional>
#include <map>

#include <gtest/gtest.h>

#include "cli/Cli.h"
#include "cli/ProjectJson.h"
#include "engine/CodePage.h"
#include "project/DefaultContent.h"
#include "project/MemoText.h"
#include "project/ProjectDocument.h"
#include "project/ProjectFile.h"
#include "tests/cli/CliTestUtil.h"
#include "tests/cli/JsonValue.h"
#include "tests/support/ChildProcess.h"

namespace orvana::cli {
namespace {

using testing::FileExists;
using testing::JsonValue;
using testing::ReadWholeFile;
using testing::RunResult;
using testing::RunTool;
using testing::TempDir;
using testing::WriteWholeFile;

// Paragraphs of Russian sentences with plenty of words of 5 to 20 bytes.
std::string SampleText(int paragraphs) {
  static const char* const kWords[] = {"дорога",   "тишина",   "сумерки", "колокол",
                                       "берёзы",   "пристань", "туманом", "облака",
                                       "мельница", "огоньки",  "вечером", "листья"};
  std::string text;
  int n = 0;
  for (int p = 0; p < paragraphs; ++p) {
    if (p > 0) text += "\n\n";
    for (int s = 0; s < 6; ++s) {
      text += "Здесь";
      for (int w = 0; w < 9; ++w) {
        text += ' ';
        text += kWords[(n++ * 7 + p) % 12];
      }
      text += ". ";
    }
  }
  return text + "\n";
}

std::string SampleLinks(int count) {
  std::string links;
  for (int i = 0; i < count; ++i) links += "http://example.org/page" + std::to_string(i) + "\n";
  return links;
}

class CliCommandsTest : public ::testing::Test {
 protected:
  std::string ProjectPath() const { return dir_ / "project.orvana"; }

  // A project with the sample text and links, written by `new`, whose output
  // folder exists.
  void MakeProject(int paragraphs, int links, std::vector<std::string> extra = {}) {
    WriteWholeFile(dir_ / "text.txt", SampleText(paragraphs));
    WriteWholeFile(dir_ / "links.txt", SampleLinks(links));
    std::filesystem::create_directory(dir_ / "site");
    std::vector<std::string> args = {"new",    ProjectPath(),     "--title", "Хроника",
                                     "--text", dir_ / "text.txt", "--links", dir_ / "links.txt",
                                     "--out",  dir_ / "site",     "--force"};
    args.insert(args.end(), extra.begin(), extra.end());
    const RunResult r = RunTool(args);
    ASSERT_EQ(r.code, 0) << r.err;
  }

  // What the desktop application makes of the same project: opened in a new
  // window, its memos sent to the generator, generated with the seed.
  void GenerateLikeDesktop(TProjectDocument& document, uint64_t seed) {
    document.LoadFromFile(Utf8ToCp1251(ProjectPath()));
    document.PassTextsThroughMemos();
    document.Generator().SetRandomSeed(seed);
    document.Generator().Generate();
  }

  static std::map<std::string, std::string> FolderFiles(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      files[entry.path().filename().string()] = ReadWholeFile(entry.path().string());
    return files;
  }

  TempDir dir_;
};

// The file the desktop application saves for a new project after the edits.
std::string NewProjectText(const std::function<void(TSiteGenerator&)>& edit = {}) {
  TSiteGenerator g;
  ApplyNewProjectContent(g);
  if (edit) edit(g);
  return WriteProjectText(g);
}

// --- new ---------------------------------------------------------------------

TEST_F(CliCommandsTest, NewWithoutOptionsWritesTheNewProject) {
  const RunResult r = RunTool({"new", ProjectPath()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "wrote " + ProjectPath() + " (title \"\", 0 bytes of text, 0 addresses)\n");
  EXPECT_EQ(r.err, "");
  const std::string file = ReadWholeFile(ProjectPath());
  EXPECT_EQ(file, NewProjectText());
  EXPECT_EQ(file.rfind("object TSiteGenerator\r\n  Pages = <>\r\n  SiteTemplate = ", 0), 0u);
  const std::string tail = "  MaxCharsPerPage = 5000\r\n  MinCharsPerPage = 4000\r\nend\r\n";
  EXPECT_EQ(file.substr(file.size() - tail.size()), tail);
  for (const char* absent : {"SiteText.Strings", "SiteUrlsToLink.Strings", "SiteTitle", "SavePath"})
    EXPECT_EQ(file.find(absent), std::string::npos) << absent;
}

TEST_F(CliCommandsTest, NewAppliesEachOptionToItsFieldOnly) {
  WriteWholeFile(dir_ / "text.txt", "Привет\r\n\nIt's\n");
  WriteWholeFile(dir_ / "links.txt", "http://example.com/a\nhttp://example.org/b");
  WriteWholeFile(dir_ / "template.txt", "a\n\nb");
  WriteWholeFile(dir_ / "ads.txt", "<ad>\n");
  WriteWholeFile(dir_ / "css.txt", "p {\ncolor: red;\n}\n\n");
  struct Case {
    std::vector<std::string> args;
    std::function<void(TSiteGenerator&)> edit;
    std::string line;  // one exact line of the file
  };
  const std::vector<Case> cases = {
      {{"--title", "Хроника"},
       [](TSiteGenerator& g) { g.SetSiteTitle(Utf8ToCp1251("Хроника")); },
       "  SiteTitle = #1061#1088#1086#1085#1080#1082#1072\r\n"},
      {{"--min", "$10"},
       [](TSiteGenerator& g) { g.SetMinCharsPerPage(16); },
       "  MinCharsPerPage = 16\r\n"},
      {{"--min=-7"},
       [](TSiteGenerator& g) { g.SetMinCharsPerPage(-7); },
       "  MinCharsPerPage = -7\r\n"},
      {{"--max", " 12"},
       [](TSiteGenerator& g) { g.SetMaxCharsPerPage(12); },
       "  MaxCharsPerPage = 12\r\n"},
      {{"--out", "site/out"},
       [](TSiteGenerator& g) { g.SetSavePath("site/out"); },
       "  SavePath = 'site/out'\r\n"},
      {{"--text", dir_ / "text.txt"},
       [](TSiteGenerator& g) {
         g.SetSiteText({Utf8ToCp1251("Привет"), "", "It's"});
       },
       "  SiteText.Strings = (\r\n    #1055#1088#1080#1074#1077#1090\r\n    ''\r\n    "
       "'It'#39's')\r\n"},
      {{"--links", dir_ / "links.txt"},
       [](TSiteGenerator& g) {
         g.SetSiteUrlsToLink({"http://example.com/a", "http://example.org/b"});
       },
       "  SiteUrlsToLink.Strings = (\r\n    'http://example.com/a'\r\n    "
       "'http://example.org/b')\r\n"},
      {{"--template=" + dir_ / "template.txt"},
       [](TSiteGenerator& g) { g.SetSiteTemplate("a\r\rb\r"); },
       "  SiteTemplate = 'a'#13#13'b'#13\r\n"},
      {{"--ads", dir_ / "ads.txt"},
       [](TSiteGenerator& g) { g.SetAdsenseCode("<ad>\r"); },
       "  AdsenseCode = '<ad>'#13\r\n"},
      {{"--css", dir_ / "css.txt"},
       [](TSiteGenerator& g) { g.SetCssCode("p {\rcolor: red;\r}\r\r"); },
       "  CssCode = 'p {'#13'color: red;'#13'}'#13#13\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    std::vector<std::string> args = {"new", ProjectPath(), "--force"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult r = RunTool(args);
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string file = ReadWholeFile(ProjectPath());
    EXPECT_EQ(file, NewProjectText(c.edit));
    EXPECT_NE(file.find(c.line), std::string::npos);
  }
}

TEST_F(CliCommandsTest, NewWithAllOptionsAtOnce) {
  WriteWholeFile(dir_ / "t.txt", "x\n");
  const RunResult r = RunTool({"new",        "--title=T",
                               "--min",      "1",
                               "--max",      "2",
                               "--out",      "o",
                               "--text",     dir_ / "t.txt",
                               "--links",    dir_ / "t.txt",
                               "--template", dir_ / "t.txt",
                               "--ads",      dir_ / "t.txt",
                               "--css",      dir_ / "t.txt",
                               "--",         ProjectPath()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadWholeFile(ProjectPath()), NewProjectText([](TSiteGenerator& g) {
              g.SetSiteTitle("T");
              g.SetMinCharsPerPage(1);
              g.SetMaxCharsPerPage(2);
              g.SetSavePath("o");
              g.SetSiteText({"x"});
              g.SetSiteUrlsToLink({"x"});
              g.SetSiteTemplate("x\r");
              g.SetAdsenseCode("x\r");
              g.SetCssCode("x\r");
            }));
}

TEST_F(CliCommandsTest, NewEmptyFilesGiveNoLine) {
  WriteWholeFile(dir_ / "empty.txt", "");
  const RunResult r = RunTool({"new", ProjectPath(), "--text", dir_ / "empty.txt", "--links",
                               dir_ / "empty.txt", "--template", dir_ / "empty.txt"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string file = ReadWholeFile(ProjectPath());
  EXPECT_EQ(file, NewProjectText([](TSiteGenerator& g) { g.SetSiteTemplate(""); }));
  EXPECT_EQ(file.find("SiteTemplate"), std::string::npos);
  EXPECT_EQ(file.find("SiteText"), std::string::npos);
}

TEST_F(CliCommandsTest, NewReplacesAnExistingFileOnlyWithForce) {
  WriteWholeFile(ProjectPath(), "precious");
  RunResult r = RunTool({"new", ProjectPath(), "--title", "x"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err,
            "orvana-cli: \"" + ProjectPath() + "\" already exists; use --force to replace it.\n");
  EXPECT_EQ(ReadWholeFile(ProjectPath()), "precious");

  r = RunTool({"new", ProjectPath(), "--force"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadWholeFile(ProjectPath()), NewProjectText());
}

TEST_F(CliCommandsTest, NewRefusesBadNumbersAsTheWindowDoes) {
  const std::map<std::string, std::string> cases = {
      {"abc", "'abc' is not a valid integer value"},
      {"", "'' is not a valid integer value"},
      {"12 ", "'12 ' is not a valid integer value"},
      {"2147483648", "'2147483648' is not a valid integer value"},
      {"пять", "'пять' is not a valid integer value"},
  };
  for (const auto& [text, message] : cases) {
    for (const char* option : {"--min", "--max"}) {
      const RunResult r = RunTool({"new", ProjectPath(), option, text});
      EXPECT_EQ(r.code, 2) << text;
      EXPECT_EQ(r.err, "orvana-cli: " + std::string(option) + ": " + message + "\n");
      EXPECT_FALSE(FileExists(ProjectPath()));
    }
  }
}

TEST_F(CliCommandsTest, NewWithUnreadableInputWritesNothing) {
  const RunResult r = RunTool({"new", ProjectPath(), "--text", dir_ / "nope.txt"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "orvana-cli: Cannot open file \"" + dir_ / "nope.txt" +
                       "\". No such file or directory.\n");
  EXPECT_FALSE(FileExists(ProjectPath()));
}

// Project files are named as the platform names them: only the folder a
// project stores must be spelt in Windows-1251.
TEST_F(CliCommandsTest, ProjectNamesOutsideTheCodePageAreUsedAsGiven) {
  for (const char* name : {"café.orvana", "中文.orvana", "хроника.orvana"}) {
    const RunResult r = RunTool({"new", dir_ / name});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "wrote " + dir_ / name + " (title \"\", 0 bytes of text, 0 addresses)\n");
    EXPECT_EQ(RunTool({"show", dir_ / name}).code, 0) << name;
  }
}

TEST_F(CliCommandsTest, NewSaysWhatItWrote) {
  WriteWholeFile(dir_ / "one.txt", "Ж\n");
  WriteWholeFile(dir_ / "two.txt", "ab\n\nвгд\n");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--title", "Хроника «1»", "--text", dir_ / "two.txt", "--links", dir_ / "two.txt"},
       "(title \"Хроника «1»\", 5 bytes of text, 2 addresses)"},
      {{"--text", dir_ / "one.txt", "--links", dir_ / "one.txt"},
       "(title \"\", 1 byte of text, 1 address)"},
      // What is stored, not what was typed.
      {{"--title", "日本"}, "(title \"??\", 0 bytes of text, 0 addresses)"},
  };
  for (const auto& [options, summary] : cases) {
    std::vector<std::string> args = {"new", ProjectPath(), "--force"};
    args.insert(args.end(), options.begin(), options.end());
    const RunResult r = RunTool(args);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "wrote " + ProjectPath() + " " + summary + "\n");
  }
}

TEST_F(CliCommandsTest, NewRefusesFilesThatAreNotUtf8UnlessToldTheirEncoding) {
  const std::string utf8 = "Первая строка\n\nВторая «строка» — №2\n";
  WriteWholeFile(dir_ / "utf8.txt", utf8);
  WriteWholeFile(dir_ / "cp1251.txt", Utf8ToCp1251(utf8));
  for (const char* option : {"--text", "--links", "--template", "--ads", "--css"}) {
    SCOPED_TRACE(option);
    std::filesystem::remove(ProjectPath());
    RunResult r = RunTool({"new", ProjectPath(), option, dir_ / "cp1251.txt"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "orvana-cli: Cannot read \"" + dir_ / "cp1251.txt" +
                         "\" as UTF-8: line 1 holds bytes that are not UTF-8 (for a file in "
                         "Windows-1251, give --input-encoding windows-1251)\n");
    EXPECT_FALSE(FileExists(ProjectPath()));

    // Told, the file gives the same project as its UTF-8 twin.
    ASSERT_EQ(RunTool({"new", ProjectPath(), option, dir_ / "utf8.txt"}).code, 0);
    const std::string expected = ReadWholeFile(ProjectPath());
    r = RunTool({"new", ProjectPath(), "--force", "--input-encoding", "windows-1251", option,
                 dir_ / "cp1251.txt"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err.empty(), option != std::string("--links"));  // its empty line dropped
    EXPECT_EQ(ReadWholeFile(ProjectPath()), expected);
    r = RunTool(
        {"new", ProjectPath(), "--force", "--input-encoding=UTF-8", option, dir_ / "utf8.txt"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadWholeFile(ProjectPath()), expected);
  }
}

TEST_F(CliCommandsTest, NewWarnsOfCharactersTheCodePageLacks) {
  WriteWholeFile(dir_ / "text.txt", "Строка\n\nслово 日本 и \xF0\x9F\x98\x80\né\n");
  WriteWholeFile(dir_ / "links.txt", "\nhttp://example.org/é\n \t\n  http://b.test/\t\n\u00A0/c\n");
  const RunResult r = RunTool({"new", ProjectPath(), "--text", dir_ / "text.txt", "--links",
                               dir_ / "links.txt", "--title", "中文 title", "--page-word", "章",
                               "--index-label", "目录", "--link-rel", "nöfollow✓"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string lost = " outside Windows-1251 became '?'\norvana-cli: warning: ";
  EXPECT_EQ(r.err, "orvana-cli: warning: --title: 2 characters" + lost +
                       "--page-word: 1 character" + lost + "--index-label: 2 characters" + lost +
                       "--link-rel: 2 characters" + lost + "\"" + dir_ / "text.txt" +
                       "\": 4 characters outside Windows-1251 became '?', the first on line 3\n"
                       "orvana-cli: warning: \"" +
                       dir_ / "links.txt" +
                       "\": 1 character outside Windows-1251 became '?', on line 2\n"
                       "orvana-cli: warning: \"" +
                       dir_ / "links.txt" +
                       "\": 2 addresses trimmed of the blanks around them\n"
                       "orvana-cli: warning: \"" +
                       dir_ / "links.txt" + "\": 2 blank lines dropped\n");
  TProjectDocument document;
  document.LoadFromFile(Utf8ToCp1251(ProjectPath()));
  const TSiteGenerator& g = document.Generator();
  EXPECT_EQ(g.SiteText(),
            (TStringList{Utf8ToCp1251("Строка"), "", Utf8ToCp1251("слово ?? и ?"), "?"}));
  EXPECT_EQ(g.SiteUrlsToLink(), (TStringList{"http://example.org/?", "http://b.test/", "/c"}));
}

TEST_F(CliCommandsTest, NewRefusesFolderAndDeviceFilesNamingTheOption) {
  for (const std::string option : {"text", "links", "template", "ads", "css"})
    for (const auto& [path, kind] :
         {std::pair<std::string, std::string>{"/dev/zero", "a device"}, {dir_.Path(), "a folder"}})
      EXPECT_EQ(
          RunTool({"new", ProjectPath(), "--" + option, path}).err,
          "orvana-cli: --" + option + ": \"" + path + "\" is " + kind + ", not a text file.\n");
}

TEST_F(CliCommandsTest, NewInputOptionsThatCannotBeRun) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--text", "-", "--links", "-"},
       "--text and --links both read standard input ('-'); only one FILE option can"},
      {{"--css=-", "--template", "-"},
       "--template and --css both read standard input ('-'); only one FILE option can"},
      {{"--input-encoding", "koi8-r"},
       "invalid input encoding 'koi8-r': expected utf-8 or windows-1251"},
      {{"--input-encoding="}, "invalid input encoding '': expected utf-8 or windows-1251"},
  };
  for (const auto& [options, message] : cases) {
    std::vector<std::string> args = {"new", ProjectPath()};
    args.insert(args.end(), options.begin(), options.end());
    const RunResult r = RunTool(args);
    EXPECT_EQ(r.code, 2) << message;
    EXPECT_EQ(r.err, "orvana-cli: " + message + "\nTry 'orvana-cli new --help'.\n");
    EXPECT_FALSE(FileExists(ProjectPath()));
  }
}

// Run from a folder Windows-1251 cannot spell, every command takes the
// project and the folder it writes into however they are given, relative or
// absolute, and names them as they are; only a folder to be stored in the
// project must be one the code page spells.
TEST_F(CliCommandsTest, FoldersOutsideTheCodePageWorkUnlessStored) {
  const std::string here = std::filesystem::canonical(dir_.Path()).string() + "/中文";
  std::filesystem::create_directories(here + "/сайт");
  std::filesystem::create_directories(here + "/out");
  WriteWholeFile(here + "/t.txt", "Текст страницы.\n");
  const auto report = ::orvana::test::RunInChild([&] {
    if (::chdir(here.c_str()) != 0) return std::string("<no chdir>");
    std::string lines;
    const auto run = [&](const std::vector<std::string>& args) {
      const RunResult r = RunTool(args);
      lines += r.code == 0 ? "0\n" : std::to_string(r.code) + " " + r.err;
      return r;
    };
    for (const std::string& project : {std::string("проект.orvana"), here + "/проект.orvana"})
      for (const std::string& out : {std::string("out"), here + "/out"}) {
        run({"new", project, "--force", "--text", "t.txt", "--out", "сайт"});
        run({"build", project});
        run({"build", project, "--out", out, "--save"});
        lines += ReadWholeFile(out + "/index.html").empty() ? "no page\n" : "";
        lines += ReadWholeFile(here + "/сайт/index.html").empty() ? "no page\n" : "";
        std::filesystem::remove(here + "/out/index.html");
        // Stored, an absolute folder here cannot be spelt.
        run({"set", project, "--out", here + "/сайт"});
      }
    run({"show", "missing.orvana"});
    return lines;
  });
  std::string expected;
  for (int i = 0; i < 4; ++i)
    expected += "0\n0\n0\n1 orvana-cli: the folder \"" + here +
                "/сайт\" cannot be used: its name has characters outside Windows-1251.\n";
  expected += "1 orvana-cli: Cannot open file \"" + here +
              "/missing.orvana\". No such file or directory.\n";
  EXPECT_EQ(report.report, expected);
  // What was stored is the folder as given.
  TProjectDocument document;
  document.LoadFromFile(here + "/проект.orvana");
  EXPECT_EQ(document.Generator().SavePath(), "сайт");
}

// --- build -------------------------------------------------------------------

TEST_F(CliCommandsTest, BuildWritesTheSiteTheDesktopMakes) {
  MakeProject(30, 12);
  const RunResult r = RunTool({"build", ProjectPath(), "--seed", "7"});
  ASSERT_EQ(r.code, 0) << r.err;
  // The default template names no charset; nothing else is amiss.
  EXPECT_EQ(r.err,
            "orvana-cli: warning: the pages declare no charset (no <meta> tag names one); "
            "browsers have to guess that they are windows-1251\n");

  TProjectDocument desktop;
  GenerateLikeDesktop(desktop, 7);
  const TSiteGenerator& g = desktop.Generator();
  ASSERT_GE(g.Pages().Count(), 3);
  const auto files = FolderFiles(dir_ / "site");
  ASSERT_EQ(files.size(), static_cast<size_t>(g.Pages().Count()) + 1);
  uint64_t bytes = 0;
  for (int i = 0; i < g.Pages().Count(); ++i) {
    const std::string url = i == 0 ? "index.html" : "page" + std::to_string(i) + ".html";
    ASSERT_EQ(files.count(url), 1u) << url;
    EXPECT_EQ(files.at(url), g.Pages()[i].PageHTML) << url;
    bytes += files.at(url).size();
  }
  EXPECT_EQ(files.at("style.css"), MemoToStrings(DefaultCssLines()));
  bytes += files.at("style.css").size();

  EXPECT_EQ(
      files.at("index.html")
          .rfind(
              "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\"\r"
              "   \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r<html>\r <head>\r"
              "  <title>" +
                  Utf8ToCp1251("Хроника") +
                  " - index</title>\r"
                  "  <link rel=\"stylesheet\" href=\"style.css\" />\r",
              0),
      0u);
  // The links the pages hold, each occurrence counted, not the addresses used.
  int64_t links = 0;
  for (const TLinkPlacement& placement : g.LinkPlacements()) links += placement.links;
  EXPECT_GT(links, g.LinksPlaced());
  EXPECT_EQ(r.out, std::to_string(g.Pages().Count()) + " pages, " + std::to_string(links) +
                       " links placed, " + std::to_string(bytes) + " bytes written to " +
                       dir_ / "site" + "\n");
}

TEST_F(CliCommandsTest, BuildWithTheSameSeedRepeatsAndOtherSeedsDiffer) {
  MakeProject(40, 40);
  for (const char* folder : {"a", "b", "c"}) std::filesystem::create_directory(dir_ / folder);
  ASSERT_EQ(
      RunTool({"build", ProjectPath(), "--out", dir_ / "a", "--seed", "18446744073709551615"}).code,
      0);
  ASSERT_EQ(
      RunTool({"build", ProjectPath(), "--out", dir_ / "b", "--seed=18446744073709551615"}).code,
      0);
  ASSERT_EQ(RunTool({"build", ProjectPath(), "--out", dir_ / "c", "--seed", "1"}).code, 0);
  const auto a = FolderFiles(dir_ / "a");
  EXPECT_GE(a.size(), 4u);
  EXPECT_EQ(a, FolderFiles(dir_ / "b"));
  EXPECT_NE(a, FolderFiles(dir_ / "c"));
  EXPECT_NE(a.at("index.html").find("<a href=\"http://example.org/page0\">"), std::string::npos);
}

TEST_F(CliCommandsTest, BuildWithAndWithoutSaveWritesTheSameSite) {
  // Without --save the site is written a page at a time; with it the whole
  // site is built first and kept. The files must not tell the two apart.
  MakeProject(40, 40);
  for (const char* folder : {"streamed", "kept"}) std::filesystem::create_directory(dir_ / folder);
  const RunResult streamed =
      RunTool({"build", ProjectPath(), "--out", dir_ / "streamed", "--seed", "9"});
  ASSERT_EQ(streamed.code, 0) << streamed.err;
  const RunResult kept =
      RunTool({"build", ProjectPath(), "--out", dir_ / "kept", "--seed", "9", "--save"});
  ASSERT_EQ(kept.code, 0) << kept.err;
  const auto files = FolderFiles(dir_ / "streamed");
  EXPECT_GE(files.size(), 4u);
  EXPECT_EQ(files, FolderFiles(dir_ / "kept"));
  // The same summary but for the folder's name.
  EXPECT_EQ(streamed.out.substr(0, streamed.out.find(" written to ")),
            kept.out.substr(0, kept.out.find(" written to ")));
}

TEST_F(CliCommandsTest, BuildWarnsOfAddressesThatRunScriptAndStillLinksThem) {
  MakeProject(3, 0);
  WriteWholeFile(dir_ / "links.txt",
                 "http://example.org/a\n JavaScript:alert(1)\nhttp://example.org/b\n"
                 "DATA:text/html,x\nhttp://example.org/\"q\"\n");
  ASSERT_EQ(RunTool({"new", ProjectPath(), "--text", dir_ / "text.txt", "--links",
                     dir_ / "links.txt", "--out", dir_ / "site", "--force"})
                .code,
            0);
  const RunResult r = RunTool({"build", ProjectPath(), "--seed", "3"});
  ASSERT_EQ(r.code, 0) << r.err;
  // The default template names no charset: that warning comes first.
  EXPECT_EQ(r.err,
            "orvana-cli: warning: the page declares no charset (no <meta> tag names one); "
            "browsers have to guess that they are windows-1251\n"
            // `new` trimmed the blank in front of the first.
            "orvana-cli: warning: the link address \"JavaScript:alert(1)\" runs script when "
            "clicked; its links were inserted as written\n"
            "orvana-cli: warning: the link address \"DATA:text/html,x\" runs script when "
            "clicked; its links were inserted as written\n");
  // The summary comes first, on its own stream.
  EXPECT_NE(r.out.find(" written to "), std::string::npos);
}

TEST_F(CliCommandsTest, BuildSendsTheTemplateThroughTheMemos) {
  std::filesystem::create_directory(dir_ / "site");
  // Template and stylesheet without a final CR, as only a hand-made file has them.
  WriteWholeFile(ProjectPath(),
                 "object TSiteGenerator\r\n"
                 "  SiteTemplate = 'T:SiteGeneratorChange.Title'\r\n"
                 "  CssCode = 'b{}'#13'i{}'\r\n"
                 "  SavePath = '" +
                     dir_ / "site" + "'\r\nend\r\n");
  const RunResult r = RunTool({"build", ProjectPath(), "--save"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadWholeFile(dir_ / "site/index.html"), "T: - index\r");
  EXPECT_EQ(ReadWholeFile(dir_ / "site/style.css"), "b{}\ri{}\r");
  EXPECT_EQ(r.out, "1 page, 0 links placed, 19 bytes written to " + dir_ / "site" + "\n");
  const std::string saved = ReadWholeFile(ProjectPath());
  EXPECT_NE(saved.find("  SiteTemplate = 'T:SiteGeneratorChange.Title'#13\r\n"), std::string::npos);
  EXPECT_NE(saved.find("  CssCode = 'b{}'#13'i{}'#13\r\n"), std::string::npos);
  // The bounds the window holds before reading were saved with the rest.
  EXPECT_NE(saved.find("  MaxCharsPerPage = 5000\r\n  MinCharsPerPage = 4000\r\n"),
            std::string::npos);
}

TEST_F(CliCommandsTest, BuildSaveStoresThePagesAndKeepsTheFolder) {
  MakeProject(30, 6);
  std::filesystem::create_directory(dir_ / "elsewhere");
  const std::string before = ReadWholeFile(ProjectPath());

  // Without --save the project is not touched, whatever --out says.
  ASSERT_EQ(RunTool({"build", ProjectPath(), "--out", dir_ / "elsewhere"}).code, 0);
  EXPECT_EQ(ReadWholeFile(ProjectPath()), before);

  const RunResult r =
      RunTool({"build", ProjectPath(), "--out", dir_ / "elsewhere", "--seed", "3", "--save"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(std::filesystem::is_empty(dir_ / "site"));

  TProjectDocument document;
  document.LoadFromFile(Utf8ToCp1251(ProjectPath()));
  const TSiteGenerator& saved = document.Generator();
  EXPECT_EQ(saved.SavePath(), Utf8ToCp1251(dir_ / "site"));
  ASSERT_GE(saved.Pages().Count(), 3);
  EXPECT_FALSE(saved.SiteMenu().empty());
  const auto files = FolderFiles(dir_ / "elsewhere");
  for (int i = 0; i < saved.Pages().Count(); ++i)
    EXPECT_EQ(saved.Pages()[i].PageHTML, files.at(saved.Pages()[i].PageUrl));

  // The saved project is what the desktop application saves after the same
  // generation: reading it back and writing it gives the same bytes.
  TProjectDocument desktop;
  GenerateLikeDesktop(desktop, 3);
  EXPECT_EQ(ReadWholeFile(ProjectPath()), WriteProjectText(desktop.Generator()));
}

TEST_F(CliCommandsTest, BuildIntoAMissingFolderWritesAndSavesNothing) {
  MakeProject(3, 2);
  const std::string before = ReadWholeFile(ProjectPath());
  WriteWholeFile(dir_ / "a-file", "x");
  // The box's text first, unchanged, then the folder it was about.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {dir_ / "missing", dir_ / "missing"},
      {dir_ / "a-file", dir_ / "a-file"},
      {"a-file", dir_ / "a-file"},  // relative: shown from the current folder
      {"", "the folder name is empty"},
  };
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir_.Path());
  for (const auto& [out, shown] : cases) {
    const RunResult r = RunTool({"build", ProjectPath(), "--out", out, "--save"});
    EXPECT_EQ(r.code, 1) << out;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "orvana-cli: The output folder does not exist: " + shown + "\n");
    EXPECT_EQ(ReadWholeFile(ProjectPath()), before);
  }
  std::filesystem::current_path(cwd);
  EXPECT_FALSE(FileExists(dir_ / "missing"));
  EXPECT_EQ(ReadWholeFile(dir_ / "a-file"), "x");
  EXPECT_TRUE(std::filesystem::is_empty(dir_ / "site"));

  // The project's own folder, when it is missing.
  std::filesystem::remove(dir_ / "site");
  const RunResult r = RunTool({"build", ProjectPath()});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "orvana-cli: The output folder does not exist: " + dir_ / "site" + "\n");
}

TEST_F(CliCommandsTest, BuildThatCannotWriteAPageSavesNothing) {
  MakeProject(30, 3);
  const std::string before = ReadWholeFile(ProjectPath());
  // A folder where page1.html should go cannot be replaced, not even by root.
  std::filesystem::create_directory(dir_ / "site/page1.html");
  const RunResult r = RunTool({"build", ProjectPath(), "--save"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  // The message ends in ")", which sorts before ".", so no full stop is added.
  EXPECT_EQ(r.err, "orvana-cli: Cannot create file \"" + dir_ / "site/page1.html" +
                       "\". Is a directory (error 21)\n");
  EXPECT_EQ(ReadWholeFile(ProjectPath()), before);
  // Every target is asked about before the first is written: none is.
  EXPECT_FALSE(FileExists(dir_ / "site/index.html"));
  EXPECT_FALSE(FileExists(dir_ / "site/page2.html"));
  EXPECT_FALSE(FileExists(dir_ / "site/style.css"));
}

TEST_F(CliCommandsTest, BadProjectFilesReportTheReadersMessage) {
  WriteWholeFile(ProjectPath(),
                 "object TSiteGenerator\r\n  SiteTitle = 'x'\r\n  Foo = 1\r\nend\r\n");
  for (const char* command : {"build", "show"}) {
    const RunResult r = RunTool({command, ProjectPath()});
    EXPECT_EQ(r.code, 1) << command;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "orvana-cli: " + ProjectPath() +
                         ": Error reading TSiteGenerator.Foo: Property Foo does not exist.\n");
  }

  WriteWholeFile(ProjectPath(), "object Edit1: TSiteGenerator\r\nend\r\n");
  RunResult r = RunTool({"show", ProjectPath()});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "orvana-cli: " + ProjectPath() + ": A component named Edit1 already exists.\n");

  // Syntax errors name their line, and the file goes before them.
  WriteWholeFile(ProjectPath(), "not a project");
  for (const char* command : {"build", "show"}) {
    r = RunTool({command, ProjectPath()});
    EXPECT_EQ(r.code, 1) << command;
    EXPECT_EQ(r.err, "orvana-cli: " + ProjectPath() + ": OBJECT expected on line 1.\n");
  }

  r = RunTool({"build", dir_ / "none.orvana"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "orvana-cli: Cannot open file \"" + dir_ / "none.orvana" +
                       "\". No such file or directory.\n");
}

TEST_F(CliCommandsTest, UsageErrorsExitWithTwo) {
  MakeProject(1, 0);
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "orvana-cli: missing command\nTry 'orvana-cli --help'.\n"},
      {{"make"}, "orvana-cli: unknown command 'make'\nTry 'orvana-cli --help'.\n"},
      {{"--bogus"}, "orvana-cli: unknown option '--bogus'\nTry 'orvana-cli --help'.\n"},
      {{"build"}, "orvana-cli: missing PROJECT\nTry 'orvana-cli build --help'.\n"},
      {{"build", ProjectPath(), "extra", "--out", "x"},
       "orvana-cli: --out takes one PROJECT only\nTry 'orvana-cli build --help'.\n"},
      {{"show", ProjectPath(), "extra"},
       "orvana-cli: unexpected argument 'extra'\nTry 'orvana-cli show --help'.\n"},
      {{"build", ProjectPath(), "--seed"},
       "orvana-cli: option '--seed' needs a value\nTry 'orvana-cli build --help'.\n"},
      {{"build", ProjectPath(), "--save=yes"},
       "orvana-cli: option '--save' takes no value\nTry 'orvana-cli build --help'.\n"},
      {{"show", ProjectPath(), "--out", "x"},
       "orvana-cli: unknown option '--out'\nTry 'orvana-cli show --help'.\n"},
      {{"new", ProjectPath(), "--json"},
       "orvana-cli: unknown option '--json'\nTry 'orvana-cli new --help'.\n"},
  };
  for (const auto& [args, err] : cases) {
    const RunResult r = RunTool(args);
    EXPECT_EQ(r.code, 2) << err;
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(r.out, "");
  }
  for (const char* seed : {"-1", "abc", "18446744073709551616", "", " 5", "0x10"}) {
    const RunResult r = RunTool({"build", ProjectPath(), "--seed", seed});
    EXPECT_EQ(r.code, 2) << seed;
    EXPECT_EQ(r.err, std::string("orvana-cli: invalid seed '") + seed +
                         "': expected a number from 0 to 18446744073709551615\n"
                         "Try 'orvana-cli build --help'.\n");
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir_ / "site"));
}

TEST_F(CliCommandsTest, HelpForTheToolAndEachCommand) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--help"}, "Usage: orvana-cli COMMAND"},
      {{"-h"}, "Usage: orvana-cli COMMAND"},
      {{"new", "--help"}, "Usage: orvana-cli new PROJECT"},
      {{"build", "x", "-h", "--bogus"}, "Usage: orvana-cli build PROJECT"},
      {{"show", "--help"}, "Usage: orvana-cli show PROJECT"},
  };
  for (const auto& [args, start] : cases) {
    const RunResult r = RunTool(args);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind(start, 0), 0u) << r.out;
    EXPECT_EQ(r.err, "");
  }
  const RunResult r = RunTool({"new", "--help"});
  for (const char* option : {"--title", "--min", "--max", "--out", "--text", "--links",
                             "--template", "--ads", "--css", "--input-encoding", "--force"})
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

// --- show --------------------------------------------------------------------

TEST_F(CliCommandsTest, ShowJsonOfASmallProjectIsExact) {
  // Header name, Cyrillic, a control byte, quotes and no bounds in the file.
  WriteWholeFile(ProjectPath(),
                 "object Site1: TSiteGenerator\r\n"
                 "  Pages = <\r\n    item\r\n      PageText = 'a\"b'#13'\\'\r\n"
                 "      PageTitle = 'index'\r\n      PageUrl = 'index.html'\r\n    end>\r\n"
                 "  SiteText.Strings = (\r\n    #1055#1088#1080#1074#1077#1090\r\n    ''\r\n"
                 "    'x'#9#1'y')\r\n"
                 "  SiteTitle = #1061'!'\r\n"
                 "  SavePath = 'C:\\Site'\r\nend\r\n");
  const RunResult r = RunTool({"show", ProjectPath(), "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "{\"Pages\":[{\"PageText\":\"a\\\"b\\r\\\\\",\"PageHTML\":\"\",\"PageTitle\":\"index\","
            "\"Pagination\":\"\",\"PageUrl\":\"index.html\"}],"
            "\"SiteText\":[\"Привет\",\"\",\"x\\t\\u0001y\"],\"SiteTemplate\":\"\","
            "\"SiteUrlsToLink\":[],\"SiteMenu\":\"\",\"AdsenseCode\":\"\",\"CssCode\":\"\","
            "\"SiteTitle\":\"Х!\",\"SiteHeader\":\"\",\"SiteFooter\":\"\","
            "\"MaxCharsPerPage\":5000,\"MinCharsPerPage\":4000,\"SavePath\":\"C:\\\\Site\"}\n");
}

TEST_F(CliCommandsTest, ShowJsonOfABuiltProjectIsOneJsonObject) {
  MakeProject(16, 4, {"--min", "3000"});
  ASSERT_EQ(RunTool({"build", ProjectPath(), "--seed", "5", "--save"}).code, 0);
  const RunResult r = RunTool({"show", ProjectPath(), "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_GT(r.out.size(), 2u);
  EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);  // one line, then the line feed
  EXPECT_TRUE(JsonValue::IsOneValue(r.out));
  EXPECT_FALSE(JsonValue::IsOneValue(r.out.substr(0, r.out.size() - 2)));

  TProjectDocument document;
  document.LoadFromFile(Utf8ToCp1251(ProjectPath()));
  const TSiteGenerator& g = document.Generator();
  ASSERT_GE(g.Pages().Count(), 2);
  EXPECT_EQ(r.out.rfind("{\"Pages\":[{\"PageText\":\"", 0), 0u);
  for (const std::string& part :
       {std::string("\"SiteTitle\":\"Хроника\""),
        std::string("\"MaxCharsPerPage\":5000,\"MinCharsPerPage\":3000,"),
        std::string("\"PageTitle\":\"Раздел 1\",\"Pagination\":"),
        "\"SiteUrlsToLink\":[\"http://example.org/page0\",\"http://example.org/page1\","
        "\"http://example.org/page2\",\"http://example.org/page3\"],\"SiteMenu\":" +
            JsonQuote(Cp1251ToUtf8(g.SiteMenu())),
        "\"PageHTML\":" + JsonQuote(Cp1251ToUtf8(g.Pages()[1].PageHTML)),
        "\"SiteTemplate\":" + JsonQuote(Cp1251ToUtf8(MemoToStrings(DefaultTemplateLines())))})
    EXPECT_NE(r.out.find(part), std::string::npos) << part.substr(0, 60);
  size_t urls = 0;
  for (size_t at = r.out.find("\"PageUrl\":"); at != std::string::npos;
       at = r.out.find("\"PageUrl\":", at + 1))
    ++urls;
  EXPECT_EQ(urls, static_cast<size_t>(g.Pages().Count()));
}

TEST_F(CliCommandsTest, ShowWithoutJsonPrintsASummary) {
  MakeProject(2, 3, {"--max", "6000"});
  const RunResult r = RunTool({"show", ProjectPath()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  for (const std::string& line :
       {"Project:       " + ProjectPath() + "\n", std::string("Title:         Хроника\n"),
        std::string("Page size:     4000 to 6000 characters\n"),
        "Output folder: " + dir_ / "site" + "\n", std::string("Links:         3\n"),
        std::string("Template:      32 lines\n"), std::string("Advertising:   11 lines\n"),
        std::string("Stylesheet:    147 lines\n"), std::string("Pages:         0\n")})
    EXPECT_NE(r.out.find(line), std::string::npos) << line;
}

// Whatever makes `show --json` fail, standard output holds one object saying
// so, and the error goes to standard error as ever.
TEST(ShowJson, FailuresPrintOneObject) {
  TempDir dir;
  WriteWholeFile(dir / "bad.orvana", "garbage\n");
  std::filesystem::create_directory(dir / "folder.orvana");
  for (const std::string& project :
       {dir / "none.orvana", dir / "bad.orvana", dir / "folder.orvana", dir / "名.orvana"}) {
    const RunResult r = RunTool({"show", project, "--json"});
    EXPECT_EQ(r.code, 1) << project;
    const JsonValue json = JsonValue::Parse(r.out);
    EXPECT_EQ(json["project"].text, project);
    EXPECT_FALSE(json["ok"].boolean);
    EXPECT_EQ("orvana-cli: " + json["error"].text + "\n", r.err) << project;
  }
}

// Every command that reads a project removes the temporaries that killed
// saves of that file left beside it (through a link, beside its target); a
// live process's, other files' and other names stay.
TEST(StaleTemporaries, CommandsReadingAProjectRemoveItsOwnOnly) {
  TempDir dir;
  std::filesystem::create_directories(dir / "real");
  ASSERT_EQ(RunTool({"new", dir / "real/P.orvana", "--out", dir / "real"}).code, 0);
  std::filesystem::create_symlink(dir / "real/P.orvana", dir / "L.orvana");
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string dead = std::to_string(gone), tmp = ".orvana-tmp-";
  const std::vector<std::string> stale = {".P.orvana" + tmp + dead + "-1",
                                          ".P.orvana" + tmp + dead + "-27"};
  const std::vector<std::string> kept = {".P.orvana" + tmp + "1-3", ".Q.orvana" + tmp + dead + "-1",
                                         ".P.orvana" + tmp + "x-1", "P.orvana" + tmp + dead + "-1"};
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"show", dir / "real/P.orvana"},
        {"show", dir / "L.orvana", "--json"},
        {"set", dir / "L.orvana", "--title", "T"},
        {"build", dir / "L.orvana", "--dry-run"}}) {
    for (const std::string& name : stale) WriteWholeFile(dir / ("real/" + name), "x");
    for (const std::string& name : kept) WriteWholeFile(dir / ("real/" + name), "x");
    EXPECT_EQ(RunTool(command).code, 0) << command[0];
    for (const std::string& name : stale) EXPECT_FALSE(FileExists(dir / ("real/" + name))) << name;
    for (const std::string& name : kept) EXPECT_TRUE(FileExists(dir / ("real/" + name))) << name;
  }
}

}  // namespace
}  // namespace orvana::cli
