// build's overrides of the extras for one build and --strict: a table of
// overrides built with --save against what the saved project keeps and what
// the report says was in effect, and a table of projects spoilt by one
// warning each that --strict leaves unwritten.
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "cli/ProjectJson.h"
#include "engine/Extras.h"
#include "tests/cli/CliTestUtil.h"
#include "tests/cli/JsonValue.h"
#include "tests/support/ChildProcess.h"

namespace orvana::cli {
namespace {

using testing::JsonValue;
using testing::ReadWholeFile;
using testing::RunResult;
using testing::RunTool;
using testing::TempDir;
using testing::WriteWholeFile;

using TArgs = std::vector<std::string>;

class CliBuildOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string text, links;
    for (int p = 0; p < 12; ++p) {
      if (p) text += "\n\n";
      for (int w = 0; w < 30; ++w)
        text += (w ? " " : "") + std::string(&"alphabetagamma"[p % 9], 5);
      text += ".";
      links += "http://e.org/" + std::to_string(p) + "\n";
    }
    WriteWholeFile(dir_ / "text", text + "\n");
    WriteWholeFile(dir_ / "links", links);
  }
  std::string MakeProject(const std::string& name, const TArgs& options) {
    const std::string project = dir_ / (name + ".orvana");
    std::filesystem::create_directory(dir_ / name);
    TArgs args = {"new",       project, "--text", dir_ / "text", "--links", dir_ / "links", "--out",
                  dir_ / name, "--min", "300",    "--max",       "900",     "--force"};
    args.insert(args.end(), options.begin(), options.end());
    EXPECT_EQ(RunTool(args).code, 0);
    return project;
  }
  // What follows the project's root object: its extras block, if any.
  static std::string ExtrasBlock(const std::string& project) {
    const std::string text = ReadWholeFile(project);
    return text.substr(text.find("\r\nend\r\n"));
  }
  TempDir dir_;
};

// The overrides reach the site and the report, never the project, also not
// the file --save writes; the extras in effect are those `set` would store.
TEST_F(CliBuildOptionsTest, OverridesActForOneBuildAndAreNeverStored) {
  const std::vector<TArgs> kOverrides = {
      {"--site-url", "http://o.org/", "--no-safe-links"},
      {"--site-url", "", "--safe-links", "--prune"},
      {"--output-encoding", "utf-8", "--link-rel", "ugc", "--no-prune"},
      {"--pager-window", "1", "--menu-window", "2", "--link-rel", ""},
      {"--site-url", "https://o.org/s/", "--output-encoding", "utf-8", "--pager-window", "0",
       "--menu-window", "0", "--link-rel", "x", "--no-safe-links", "--no-prune"},
  };
  const std::vector<TArgs> kBases = {{},
                                     {"--safe-links", "--prune", "--link-rel", "nofollow",
                                      "--site-url", "http://x.org/", "--pager-window", "3"}};
  for (const TArgs& base : kBases)
    for (const TArgs& overrides : kOverrides) {
      SCOPED_TRACE(::testing::PrintToString(base) + " " + ::testing::PrintToString(overrides));
      std::filesystem::remove_all(dir_ / "p");
      const std::string project = MakeProject("p", base);
      const std::string block = ExtrasBlock(project);
      TArgs args = {"build", project, "--save", "--seed", "5", "--report", dir_ / "r.json"};
      args.insert(args.end(), overrides.begin(), overrides.end());
      const RunResult r = RunTool(args);
      ASSERT_EQ(r.code, 0) << r.err;
      EXPECT_EQ(ExtrasBlock(project), block);
      EXPECT_NE(ReadWholeFile(project).find("PageHTML"), std::string::npos);  // saved
      // The same options given to set store what the build ran with.
      TArgs set = {"set", project};
      set.insert(set.end(), overrides.begin(), overrides.end());
      ASSERT_EQ(RunTool(set).code, 0);
      const std::string shown = RunTool({"show", project, "--json"}).out;
      const size_t at = shown.find("\"Extras\":");
      const std::string in_effect = at == std::string::npos
                                        ? ExtrasToJson(TOrvanaExtras{})
                                        : shown.substr(at + 9, shown.size() - at - 9 - 2);
      const std::string report = ReadWholeFile(dir_ / "r.json");
      EXPECT_NE(report.find("\"extras\": " + in_effect + "\n"), std::string::npos) << report;
      const bool sitemap = in_effect.find("\"SiteUrl\":\"\"") == std::string::npos;
      EXPECT_EQ(std::filesystem::exists(dir_ / "p/sitemap.xml"), sitemap);
    }
}

// A project with a warning writes nothing with --strict, names it, and
// fails; without a warning it writes the site the same seed gives without
// --strict. With several projects each is judged on its own.
TEST_F(CliBuildOptionsTest, StrictWritesNothingForAProjectWithWarnings) {
  WriteWholeFile(dir_ / "one-link", "http://e.org/1\n");
  WriteWholeFile(dir_ / "script-link", ReadWholeFile(dir_ / "links") + "javascript:alert(1)\n");
  WriteWholeFile(dir_ / "plain-template",
                 "<html><body>SiteGeneratorChange.MainText</body></html>\n");
  const std::vector<std::pair<TArgs, std::string>> kSpoilt = {
      {{"--min", "950"}, "min-above-max"},
      {{"--max", "40"}, "forced-cuts"},
      {{"--links", dir_ / "one-link"}, "link-quota-zero"},
      {{"--links", dir_ / "script-link"}, "unsafe-url"},
      {{"--template", dir_ / "plain-template", "--output-encoding", "windows-1251"}, "no-charset"},
  };
  const TArgs clean = {"--preset", "modern", "--menu-window", "2"};
  const std::string good = MakeProject("good", clean);
  ASSERT_EQ(RunTool({"build", good, "--seed", "9"}).code, 0);
  const auto files = [&] {
    std::map<std::string, std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(dir_ / "good"))
      found[entry.path().filename()] = ReadWholeFile(entry.path());
    return found;
  };
  const std::map<std::string, std::string> expected = files();
  for (const auto& [spoil, code] : kSpoilt) {
    SCOPED_TRACE(code);
    TArgs options = clean;
    options.insert(options.end(), spoil.begin(), spoil.end());
    std::filesystem::remove_all(dir_ / "bad");
    const std::string bad = MakeProject("bad", options);
    const std::string saved = ReadWholeFile(bad);
    std::filesystem::remove_all(dir_ / "good"), std::filesystem::create_directory(dir_ / "good");
    const RunResult r = RunTool(
        {"build", bad, good, "--strict", "--save", "--seed", "9", "--report", dir_ / "r.json"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(std::filesystem::is_empty(dir_ / "bad"));
    EXPECT_TRUE(ReadWholeFile(bad) == saved);
    EXPECT_NE(r.err.find("[" + code + "]"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(bad + ": --strict: "), std::string::npos) << r.err;
    const JsonValue report = JsonValue::Parse(ReadWholeFile(dir_ / "r.json"));
    EXPECT_FALSE(report[0]["ok"].boolean);
    EXPECT_NE(ReadWholeFile(dir_ / "r.json").find("\"code\": \"" + code + "\""), std::string::npos);
    // The clean project beside it is built, as it is without --strict.
    EXPECT_TRUE(report[1]["ok"].boolean);
    EXPECT_EQ(files(), expected);
  }
}

// On a file system that holds the site but not the site and the new project
// file, --save is refused before anything is written, by the dry run too;
// without --save the site is written. Runs each build in a mount namespace
// of its own over a small tmpfs (root only).
TEST_F(CliBuildOptionsTest, SaveCountsTheNewProjectFileInTheSpaceCheck) {
  const std::string disk = dir_ / "disk";
  std::filesystem::create_directory(disk);
  const auto on_small_disk = [&](const TArgs& args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (::unshare(CLONE_NEWNS) != 0 || !test::MakeMountsPrivate(disk) ||
          ::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=280k") != 0)
        ::_exit(77);
      std::string text;
      for (int p = 0; p < 40; ++p)
        text += (p ? "\n\n" : "") + std::string(1500, 'a' + p % 26) + ".";
      WriteWholeFile(disk + "/text", text + "\n");
      std::filesystem::create_directory(disk + "/site");
      const TArgs make = {"new",   disk + "/p.orvana", "--text", disk + "/text",
                          "--out", disk + "/site"};
      if (RunTool(make).code != 0) ::_exit(78);
      const RunResult r = RunTool(args);
      const bool written = std::filesystem::exists(disk + "/site/index.html");
      const bool told = r.err.find("the site and the project file need") != std::string::npos;
      ::_exit(r.code * 4 + (written ? 2 : 0) + (told ? 1 : 0));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  const std::string p = disk + "/p.orvana";
  const int saved = on_small_disk({"build", p, "--save"});
  if (saved == 77) GTEST_SKIP() << "no mount namespace here (not root)";
  EXPECT_EQ(saved, 1 * 4 + 0 + 1) << "refused, nothing written, the project named";
  EXPECT_EQ(on_small_disk({"build", p, "--save", "--dry-run"}), 1 * 4 + 0 + 1);
  EXPECT_EQ(on_small_disk({"build", p}), 0 * 4 + 2 + 0);
}

// A build that fails part-way (a file-size limit the larger pages pass)
// names exactly the pages it replaced: as many as stand in the folder.
TEST_F(CliBuildOptionsTest, AFailedBuildNamesThePagesItReplaced) {
  const std::string p = MakeProject("partial", {});
  ASSERT_EQ(RunTool({"build", p, "--seed", "3"}).code, 0);
  // Each page size but the largest, as a limit, stops the build at the
  // first page larger than it.
  std::set<rlim_t> limits;
  for (const auto& entry : std::filesystem::directory_iterator(dir_ / "partial"))
    if (entry.path().extension() == ".html") limits.insert(entry.file_size());
  limits.erase(std::prev(limits.end()));
  int partial = 0;
  for (const rlim_t limit : limits) {
    std::filesystem::remove_all(dir_ / "partial");
    std::filesystem::create_directory(dir_ / "partial");
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit small{limit, limit};
      ::setrlimit(RLIMIT_FSIZE, &small);
      const RunResult r = RunTool({"build", p, "--seed", "3"});
      size_t pages = 0;
      for (const auto& entry : std::filesystem::directory_iterator(dir_ / "partial"))
        pages += entry.path().extension() == ".html";
      const std::string said = "replaced before the failure: " + std::to_string(pages) +
                               (pages == 1 ? " page (" : " pages (");
      if (r.code == 0 || pages == 0) ::_exit(0);
      ::_exit(r.err.find(said) != std::string::npos ? 2 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 1) << limit;
    partial += WEXITSTATUS(status) == 2;
  }
  EXPECT_GT(partial, 0) << "no limit stopped the build part-way";
}

}  // namespace
}  // namespace orvana::cli
