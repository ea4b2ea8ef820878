// The real orvana-cli program: what only a separate process shows (exit
// status, the two streams, a failing standard output).
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "engine/CodePage.h"
#include "tests/cli/CliTestUtil.h"

namespace orvana::cli {
namespace {

using testing::FileExists;
using testing::ReadWholeFile;
using testing::RunProgram;
using testing::RunResult;
using testing::TempDir;
using testing::WriteWholeFile;

TEST(CliProgram, NewThenBuildThroughTheProgram) {
  TempDir dir;
  WriteWholeFile(dir / "text.txt", "Первая строка. Вторая строка.\n\nТретья.\n");
  std::filesystem::create_directory(dir / "site");
  RunResult r = RunProgram({"new", dir / "p.orvana", "--title", "Сайт", "--text", dir / "text.txt",
                            "--out", dir / "site"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "wrote " + dir / "p.orvana" + " (title \"Сайт\", 36 bytes of text, 0 addresses)\n");

  r = RunProgram({"build", dir / "p.orvana", "--seed", "1"});
  ASSERT_EQ(r.code, 0) << r.err;
  // The default template names no charset; nothing else is amiss.
  EXPECT_EQ(r.err,
            "orvana-cli: warning: the page declares no charset (no <meta> tag names one); "
            "browsers have to guess that they are windows-1251\n");
  const std::string index = ReadWholeFile(dir / "site/index.html");
  const std::string css = ReadWholeFile(dir / "site/style.css");
  EXPECT_NE(index.find(Utf8ToCp1251("<title>Сайт - index</title>")), std::string::npos);
  EXPECT_EQ(r.out, "1 page, 0 links placed, " + std::to_string(index.size() + css.size()) +
                       " bytes written to " + dir / "site" + "\n");
}

TEST(CliProgram, FailuresGoToStandardErrorWithTheirStatus) {
  TempDir dir;
  RunResult r = RunProgram({});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "orvana-cli: missing command\nTry 'orvana-cli --help'.\n");

  r = RunProgram({"new", dir / "p.orvana", "--min", "abc"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "orvana-cli: --min: 'abc' is not a valid integer value\n");

  ASSERT_EQ(RunProgram({"new", dir / "p.orvana", "--out", dir / "missing"}).code, 0);
  r = RunProgram({"build", dir / "p.orvana"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "orvana-cli: The output folder does not exist: " + dir / "missing" + "\n");

  WriteWholeFile(dir / "bad.orvana", "not a project");
  r = RunProgram({"show", dir / "bad.orvana", "--json"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out.rfind("{\"project\":", 0), 0u) << r.out;
  EXPECT_EQ(r.err.rfind("orvana-cli: ", 0), 0u);
  EXPECT_EQ(r.err.find("std::"), std::string::npos);
}

TEST(CliProgram, HelpGoesToStandardOutput) {
  for (const char* command : {"new", "build", "show"}) {
    const RunResult r = RunProgram({command, "--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind(std::string("Usage: orvana-cli ") + command, 0), 0u);
  }
}

TEST(CliProgram, UnwritableStandardOutputIsAFailure) {
  TempDir dir;
  ASSERT_EQ(RunProgram({"new", dir / "p.orvana"}).code, 0);
  // /dev/full accepts the open and fails every write with ENOSPC.
  const RunResult r = RunProgram({"show", dir / "p.orvana", "--json"}, "/dev/full");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "orvana-cli: Cannot write the output.\n");
}

TEST(CliProgram, VersionGoesToStandardOutput) {
  RunResult r = RunProgram({"--version"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, std::string("orvana-cli ") + ORVANA_VERSION + "\n");
  r = RunProgram({"--help"});
  EXPECT_NE(r.out.find("--version"), std::string::npos);
}

TEST(CliProgram, OneFileOptionReadsStandardInput) {
  TempDir dir;
  const std::string text = "Строка из канала.\n\nЕщё одна.\n";
  WriteWholeFile(dir / "text.txt", text);
  WriteWholeFile(dir / "text-1251.txt", Utf8ToCp1251(text));
  ASSERT_EQ(RunProgram({"new", dir / "file.orvana", "--text", dir / "text.txt"}).code, 0);

  RunResult r = RunProgram({"new", dir / "stdin.orvana", "--text", "-"}, "", dir / "text.txt");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadWholeFile(dir / "stdin.orvana"), ReadWholeFile(dir / "file.orvana"));
  r = RunProgram(
      {"new", dir / "stdin.orvana", "--force", "--input-encoding", "windows-1251", "--text", "-"},
      "", dir / "text-1251.txt");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadWholeFile(dir / "stdin.orvana"), ReadWholeFile(dir / "file.orvana"));

  // Standard input is named as such when it is not UTF-8.
  r = RunProgram({"new", dir / "bad.orvana", "--links", "-"}, "", dir / "text-1251.txt");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err,
            "orvana-cli: Cannot read standard input as UTF-8: line 1 holds bytes that are not "
            "UTF-8 (for a file in Windows-1251, give --input-encoding windows-1251)\n");
  EXPECT_FALSE(FileExists(dir / "bad.orvana"));
}

TEST(CliProgram, ProjectPathsThatAreNoFilesFailAtOnce) {
  TempDir dir;
  const std::string fifo = dir / "fifo.orvana";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string folder = dir / "folder.orvana";
  std::filesystem::create_directory(folder);
  const std::string fifo_named = '"' + fifo + '"';
  const std::string folder_named = '"' + folder + '"';
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"show", "/dev/zero"}, "\"/dev/zero\" is a device, not a project file."},
      {{"build", "/dev/zero", "--out", dir.Path()},
       "\"/dev/zero\" is a device, not a project file."},
      {{"show", fifo, "--json"}, fifo_named + " is a FIFO, not a project file."},
      {{"build", fifo, "--save"}, fifo_named + " is a FIFO, not a project file."},
      {{"new", fifo}, fifo_named + " is a FIFO, not a project file."},
      {{"new", fifo, "--force"}, fifo_named + " is a FIFO, not a project file."},
      {{"show", folder}, folder_named + " is a folder, not a project file."},
      {{"new", folder, "--force"}, folder_named + " is a folder, not a project file."},
  };
  for (const auto& [args, message] : cases) {
    const RunResult r = RunProgram(args);
    EXPECT_EQ(r.code, 1) << message;
    // With --json, the failure is also one object on standard output.
    if (args.back() == "--json")
      EXPECT_NE(r.out.find("\"ok\":false"), std::string::npos) << r.out;
    else
      EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "orvana-cli: " + message + "\n");
  }
  struct stat st;
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

// A report on standard output, however named, is alone there (the summary
// goes to standard error); the null device takes one too, no other device.
TEST(CliProgram, ReportToStandardOutputOrNowhere) {
  TempDir dir;
  ASSERT_EQ(RunProgram({"new", dir / "p.orvana", "--out", dir.Path()}).code, 0);
  for (const char* target : {"/dev/stdout", "/proc/self/fd/1", "-"}) {
    WriteWholeFile(dir / "out.json", "");
    const RunResult r =
        RunProgram({"build", dir / "p.orvana", "--report", target}, dir / "out.json");
    const std::string json = ReadWholeFile(dir / "out.json");
    EXPECT_EQ(json.rfind("{\n  \"ok\": true,", 0), 0u) << target << json;
    EXPECT_EQ(json.find("\n}\n"), json.size() - 3) << target << json;
    EXPECT_NE(r.err.find(" written to "), std::string::npos) << target;
  }
  EXPECT_NE(RunProgram({"build", dir / "p.orvana", "--report", "/dev/null"}).out.find(" written "),
            std::string::npos);
  EXPECT_EQ(RunProgram({"build", dir / "p.orvana", "--report", "/dev/zero"}).code, 2);
  EXPECT_EQ(RunProgram({"--version", "x"}).code, 2);
}

}  // namespace
}  // namespace orvana::cli
