// `orvana-cli build` accounting for itself: the report's numbers against the
// files it wrote, the dry run, the warnings, several projects in one run and
// the progress line.
#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "cli/ProgressLine.h"
#include "engine/CodePage.h"
#include "tests/cli/CliTestUtil.h"
#include "tests/cli/JsonValue.h"

namespace orvana::cli {
namespace {

using testing::JsonValue;
using testing::ReadWholeFile;
using testing::RunResult;
using testing::RunTool;
using testing::TempDir;
using testing::WriteWholeFile;

// Russian sentences; a paragraph of `unbroken` words at the end has no
// sentence end at all, so pages are cut inside it by force.
std::string Text(int paragraphs, int unbroken) {
  static const char* const kWords[] = {"дорога", "тишина",   "сумерки",  "колокол",
                                       "берёзы", "пристань", "мельница", "огоньки"};
  std::string text;
  for (int p = 0; p < paragraphs; ++p) {
    for (int s = 0; s < 5; ++s) {
      text += "Здесь";
      for (int w = 0; w < 8; ++w) text += std::string(" ") + kWords[(p * 5 + s + w * 3) % 8];
      text += ". ";
    }
    text += "\n\n";
  }
  for (int w = 0; w < unbroken; ++w) text += std::string(w ? " " : "") + kWords[w % 8];
  return text + "\n";
}

size_t Count(const std::string& text, const std::string& pattern) {
  size_t n = 0;
  for (size_t at = text.find(pattern); at != std::string::npos; at = text.find(pattern, at + 1))
    ++n;
  return n;
}

class BuildReportCliTest : public ::testing::Test {
 protected:
  // Writes project NAME.orvana with its own folder NAME-site (created unless
  // told otherwise).
  std::string MakeProject(const std::string& name, const std::string& text,
                          const std::string& links, std::vector<std::string> extra = {},
                          bool make_folder = true) {
    WriteWholeFile(dir_ / (name + ".txt"), text);
    WriteWholeFile(dir_ / (name + ".links"), links);
    if (make_folder) std::filesystem::create_directory(dir_ / (name + "-site"));
    std::vector<std::string> args = {
        "new",     dir_ / (name + ".orvana"), "--text", dir_ / (name + ".txt"),
        "--links", dir_ / (name + ".links"),  "--out",  dir_ / (name + "-site")};
    args.insert(args.end(), extra.begin(), extra.end());
    const RunResult r = RunTool(args);
    EXPECT_EQ(r.code, 0) << r.err;
    return dir_ / (name + ".orvana");
  }

  // The page files of a folder in page order, then style.css.
  static std::vector<std::string> SiteFiles(const std::string& folder) {
    std::vector<std::string> files;
    for (int p = 0;; ++p) {
      const std::string name = p == 0 ? "index.html" : "page" + std::to_string(p) + ".html";
      if (!testing::FileExists(folder + "/" + name)) break;
      files.push_back(ReadWholeFile(folder + "/" + name));
    }
    return files;
  }

  TempDir dir_;
};

TEST_F(BuildReportCliTest, ReportNumbersAreThoseOfTheWrittenSite) {
  std::string links;
  for (int i = 0; i < 40; ++i) links += "http://example.org/" + std::to_string(i) + "\n";
  links += "http://example.org/with blank\nhttp://example.org/0\n";
  const std::string project =
      MakeProject("p", Text(12, 300), links, {"--min", "300", "--max", "900"});
  const RunResult r = RunTool({"build", project, "--seed", "4", "--report", dir_ / "r.json"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");  // the warnings are in the report
  const JsonValue report = JsonValue::Parse(ReadWholeFile(dir_ / "r.json"));
  EXPECT_EQ(report.keys,
            (std::vector<std::string>{"ok", "pages", "bytes", "folder", "encoding", "page_bytes",
                                      "forced_cuts", "links", "warnings", "pruned"}));

  const std::vector<std::string> pages = SiteFiles(dir_ / "p-site");
  ASSERT_GT(pages.size(), 5u);
  ASSERT_EQ(report["pages"].Int(), static_cast<long long>(pages.size()));
  uint64_t total = 0, min = UINT64_MAX, max = 0;
  for (const std::string& page : pages) {
    total += page.size();
    min = std::min<uint64_t>(min, page.size());
    max = std::max<uint64_t>(max, page.size());
  }
  const double mean = static_cast<double>(total) / static_cast<double>(pages.size());
  total += ReadWholeFile(dir_ / "p-site/style.css").size();
  EXPECT_EQ(report["bytes"].Int(), static_cast<long long>(total));
  EXPECT_EQ(report["page_bytes"]["min"].Int(), static_cast<long long>(min));
  EXPECT_EQ(report["page_bytes"]["max"].Int(), static_cast<long long>(max));
  EXPECT_NEAR(report["page_bytes"]["mean"].number, mean, 0.005);
  EXPECT_EQ(report["folder"].text, dir_ / "p-site");
  EXPECT_EQ(report["encoding"].text, "windows-1251");
  EXPECT_NE(r.out.find(" " + std::to_string(total) + " bytes written"), std::string::npos);

  // Links: counted in the written pages, address by address.
  const JsonValue& l = report["links"];
  EXPECT_EQ(l["quota"].Int(), 42 / static_cast<long long>(pages.size() - 1));
  EXPECT_NE(r.out.find(", " + std::to_string(l["placed"].Int()) + " links placed"),
            std::string::npos);
  ASSERT_EQ(l["by_address"].size(), 42u - 1);  // the repeated address once
  long long linked = 0;
  std::vector<std::string> unused;
  for (const JsonValue& a : l["by_address"].items) {
    std::string href = a["url"].text;
    if (href == "http://example.org/with blank") href = "http://example.org/with%20blank";
    long long count = 0;
    std::vector<long long> on;
    for (size_t p = 0; p < pages.size(); ++p) {
      const size_t here = Count(pages[p], "<a href=\"" + href + "\">");
      count += static_cast<long long>(here);
      if (here) on.push_back(static_cast<long long>(p));
    }
    EXPECT_EQ(a["count"].Int(), count) << href;
    std::vector<long long> reported;
    for (const JsonValue& p : a["pages"].items) reported.push_back(p.Int());
    EXPECT_EQ(reported, on) << href;
    if (count == 0) unused.push_back(a["url"].text);
    linked += count;
  }
  EXPECT_GT(linked, 0);
  std::vector<std::string> reported_unused;
  for (const JsonValue& u : l["unused"].items) reported_unused.push_back(u.text);
  EXPECT_EQ(reported_unused, unused);

  // The unbroken paragraph is cut by force, and the report says where.
  ASSERT_GT(report["forced_cuts"].size(), 0u);
  std::vector<std::string> codes;
  for (const JsonValue& w : report["warnings"].items) codes.push_back(w["code"].text);
  EXPECT_EQ(codes, (std::vector<std::string>{"forced-cuts", "no-charset"}));
}

TEST_F(BuildReportCliTest, ForcedCutsNameThePagesCutInsideAWord) {
  const std::string project = MakeProject("p", "abcdefghij\n", "", {"--min", "0", "--max", "4"});
  const RunResult r = RunTool({"build", project, "--report", "-"});
  ASSERT_EQ(r.code, 0) << r.err;
  const JsonValue report = JsonValue::Parse(r.out);
  ASSERT_EQ(report["forced_cuts"].size(), 2u);
  EXPECT_EQ(report["forced_cuts"][0].Int(), 0);
  EXPECT_EQ(report["forced_cuts"][1].Int(), 1);
  // The pages as cut: abcd, efgh, ij.
  const std::vector<std::string> pages = SiteFiles(dir_ / "p-site");
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_NE(pages[0].find("<p>abcd</p>"), std::string::npos);
  EXPECT_NE(pages[1].find("<p>efgh</p>"), std::string::npos);
  // With the report on standard output, the summary line moves to the error stream.
  EXPECT_EQ(r.err, "3 pages, 0 links placed, " + std::to_string(report["bytes"].Int()) +
                       " bytes written to " + dir_ / "p-site" + "\n");
}

TEST_F(BuildReportCliTest, DryRunWritesNothingAndReportsWhatTheBuildWould) {
  const std::string project = MakeProject("p", Text(30, 0), "http://a/\nhttp://b/\nhttp://c/\n");
  const std::string before = ReadWholeFile(project);
  const RunResult dry = RunTool({"build", project, "--seed", "8", "--dry-run", "--save"});
  ASSERT_EQ(dry.code, 0) << dry.err;
  EXPECT_TRUE(std::filesystem::is_empty(dir_ / "p-site"));
  EXPECT_EQ(ReadWholeFile(project), before);
  EXPECT_NE(dry.err.find(" bytes would be written to " + dir_ / "p-site" + " (dry run)\n"),
            std::string::npos)
      << dry.err;
  const RunResult real = RunTool({"build", project, "--seed", "8", "--report", "-"});
  ASSERT_EQ(real.code, 0) << real.err;
  EXPECT_EQ(dry.out, real.out);  // the same report, byte for byte
  EXPECT_GT(JsonValue::Parse(real.out)["links"]["placed"].Int(), 0);

  // A dry run refuses a missing folder as the build does, and its report
  // says so.
  const std::string elsewhere = MakeProject("q", Text(2, 0), "", {}, /*make_folder=*/false);
  const RunResult missing = RunTool({"build", elsewhere, "--dry-run", "--report", dir_ / "q.json"});
  EXPECT_EQ(missing.code, 1) << missing.err;
  EXPECT_FALSE(testing::FileExists(dir_ / "q-site"));
  const JsonValue failed = JsonValue::Parse(ReadWholeFile(dir_ / "q.json"));
  EXPECT_FALSE(failed["ok"].boolean);
  EXPECT_NE(failed["error"].text.find("q-site"), std::string::npos);
}

TEST_F(BuildReportCliTest, WarningsFollowTheSummaryLineWithoutAReport) {
  // 9 pages and 5 addresses: a quota of 5 div 8 = 0.
  std::string text;
  for (int p = 0; p < 9; ++p) text += "Paragraph " + std::to_string(p) + " of meadows.\n\n";
  const std::string project =
      MakeProject("p", text, "http://1/\nhttp://2/\njavascript:go()\nhttp://4/\nhttp://5/\n",
                  {"--min", "10", "--max", "40"});
  const RunResult r = RunTool({"build", project});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find(',')), "9 pages");
  EXPECT_EQ(r.err,
            "orvana-cli: warning: 5 link addresses over 9 pages give each page a quota of 0 "
            "links (5 div 8 = 0), so no link was placed; it takes at least 8 addresses, or "
            "fewer pages\n"
            "orvana-cli: warning: the pages declare no charset (no <meta> tag names one); "
            "browsers have to guess that they are windows-1251\n"
            "orvana-cli: warning: the link address \"javascript:go()\" runs script when clicked; "
            "no link to it was inserted\n");
  // The same warnings, and nothing on the error stream, with a report.
  const RunResult quiet = RunTool({"build", project, "--report", dir_ / "r.json"});
  EXPECT_EQ(quiet.err, "");
  const JsonValue report = JsonValue::Parse(ReadWholeFile(dir_ / "r.json"));
  ASSERT_EQ(report["warnings"].size(), 3u);
  EXPECT_EQ(report["warnings"][0]["code"].text, "link-quota-zero");
  EXPECT_NE(r.err.find(report["warnings"][0]["message"].text), std::string::npos);
  EXPECT_EQ(report["warnings"][2]["code"].text, "unsafe-url");
}

TEST_F(BuildReportCliTest, SeveralProjectsEachGetTheirLineAndAFailureDoesNotStopTheOthers) {
  const std::string a = MakeProject("a", Text(3, 0), "");
  const std::string b = MakeProject("b", Text(1, 0), "", {}, /*make_folder=*/false);
  const std::string c = MakeProject("c", Text(6, 0), "http://x/\n");
  const std::string none = dir_ / "none.orvana";
  const RunResult r = RunTool({"build", a, b, none, c, "--report", dir_ / "all.json"});
  EXPECT_EQ(r.code, 1);
  // One line for each project built, in order, naming its project.
  EXPECT_EQ(Count(r.out, "\n"), 2u) << r.out;
  EXPECT_EQ(r.out.rfind(a + ": ", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\n" + c + ": "), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "orvana-cli: " + b + ": The output folder does not exist: " + dir_ / "b-site" +
                       "\norvana-cli: " + none + ": Cannot open file \"" + none +
                       "\". No such file or directory.\n");
  EXPECT_FALSE(SiteFiles(dir_ / "a-site").empty());
  EXPECT_FALSE(SiteFiles(dir_ / "c-site").empty());
  // The report: one entry per project, "ok": false and the error for those
  // that failed.
  const JsonValue all = JsonValue::Parse(ReadWholeFile(dir_ / "all.json"));
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[0]["folder"].text, dir_ / "a-site");
  EXPECT_TRUE(all[0]["ok"].boolean);
  for (size_t i : {1, 2}) {
    EXPECT_FALSE(all[i]["ok"].boolean);
    EXPECT_FALSE(all[i]["error"].text.empty());
  }
  // Every entry names its project, built or not.
  const std::string projects[] = {a, b, none, c};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(all[i]["project"].text, projects[i]) << i;
  EXPECT_EQ(all[3]["folder"].text, dir_ / "c-site");
  EXPECT_EQ(all[3]["links"]["by_address"][0]["url"].text, "http://x/");

  // All built: exit 0, and the warnings name their project.
  const RunResult ok = RunTool({"build", a, c});
  EXPECT_EQ(ok.code, 0) << ok.err;
  EXPECT_NE(ok.err.find("orvana-cli: warning: " + a + ": the page declares no charset"),
            std::string::npos)
      << ok.err;
}

// Projects that store one folder, however spelt, are refused together before
// any writes a file, the pair named; apart they build.
TEST_F(BuildReportCliTest, ProjectsStoringOneFolderAreRefusedTogether) {
  const std::string a = MakeProject("a", Text(2, 0), ""), c = MakeProject("c", Text(2, 0), "");
  std::filesystem::create_directory_symlink(dir_ / "a-site", dir_ / "link");
  for (const std::string& same : {dir_ / "a-site/", dir_ / "c-site/../a-site/.", dir_ / "link"}) {
    const std::string b = MakeProject("b", Text(1, 0), "", {"--force", "--out", same});
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"build", a, c, b}, {"build", b, a, "--dry-run"}}) {
      const RunResult r = RunTool(args);
      EXPECT_EQ(r.code, 2) << same;
      EXPECT_EQ(r.err, "orvana-cli: \"" + args[1] + "\" and \"" + args[args[1] == a ? 3 : 2] +
                           "\" both store the folder \"" + dir_ / "a-site" +
                           "\": built together, one site would overwrite the other\n");
      EXPECT_TRUE(SiteFiles(dir_ / "a-site").empty() && SiteFiles(dir_ / "c-site").empty());
    }
  }
  EXPECT_EQ(RunTool({"build", a, c}).code, 0);
}

TEST_F(BuildReportCliTest, ReportTextsAreUtf8AndEscaped) {
  const std::string project =
      MakeProject("p", Text(1, 0), "http://пример.рф/\"q\"\\\n", {"--min", "4000"});
  const RunResult r = RunTool({"build", project, "--dry-run"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find(R"("url": "http://пример.рф/\"q\"\\")"), std::string::npos) << r.out;
  EXPECT_EQ(JsonValue::Parse(r.out)["links"]["by_address"][0]["url"].text,
            "http://пример.рф/\"q\"\\");
}

// A clock the test moves by hand.
struct FakeClock {
  std::chrono::steady_clock::time_point now{};
  TProgressLine::TClock Function() {
    return [this] { return now; };
  }
};

TEST(ProgressLine, AppearsAfterASecondRedrawsInPlaceAndClearsItself) {
  using std::chrono::milliseconds;
  struct Step {
    int ms;  // since the start
    long done;
    const char* drawn;
  };
  const std::vector<Step> steps = {
      {0, 1, ""},
      {999, 40, ""},  // quiet for the first second
      {1000, 41, "\r41 of 200 pages written"},
      {1050, 42, ""},  // redrawn at most ten times a second
      {1100, 99, "\r99 of 200 pages written"},
      {1150, 200, "\r200 of 200 pages written"},  // the last page is always shown
  };
  FakeClock clock;
  std::ostringstream stream;
  TProgressLine line(stream, true, clock.Function());
  for (const Step& s : steps) {
    const size_t before = stream.str().size();
    clock.now = std::chrono::steady_clock::time_point{} + milliseconds(s.ms);
    line.Update(s.done, 200);
    EXPECT_EQ(stream.str().substr(before), s.drawn) << s.ms;
  }
  const size_t before = stream.str().size();
  line.Finish();
  EXPECT_EQ(stream.str().substr(before), "\r" + std::string(24, ' ') + "\r");
  line.Finish();  // once cleared, nothing more
  EXPECT_EQ(stream.str().size(), before + 26);
}

TEST(ProgressLine, AShorterLineBlanksOutTheLongerOne) {
  FakeClock clock;
  std::ostringstream stream;
  TProgressLine line(stream, true, clock.Function());
  clock.now += std::chrono::seconds(2);
  line.Update(100, 100);
  clock.now += std::chrono::seconds(1);
  line.Update(1, 100);
  EXPECT_EQ(stream.str(), "\r100 of 100 pages written\r1 of 100 pages written  ");
}

TEST(ProgressLine, DisabledOrOffTheTerminalDrawsNothing) {
  FakeClock clock;
  std::ostringstream stream;
  {
    TProgressLine line(stream, false, clock.Function());
    clock.now += std::chrono::seconds(5);
    line.Update(10, 10);
  }
  EXPECT_EQ(stream.str(), "");
  // The program turns it on only for a terminal; in-process runs never are one.
  EXPECT_FALSE(ProgressOnTerminal());
}

#ifdef ORVANA_CLI_PATH
TEST_F(BuildReportCliTest, TheProgramPrintsNoProgressIntoAPipe) {
  const std::string project = MakeProject("p", Text(40, 0), "");
  const RunResult r = testing::RunProgram({"build", project});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err.find('\r'), std::string::npos);
}
#endif

}  // namespace
}  // namespace orvana::cli
