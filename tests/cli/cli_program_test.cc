// The real orvana-cli program: what only a separate process shows (exit
// status, the two streams, a failing standard output).
#include <gtest/gtest.h>

#include "CliTestUtil.h"
#include "CodePage.h"

namespace orvana::cli {
namespace {

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
  EXPECT_EQ(r.err, "");
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
  EXPECT_EQ(r.err, "orvana-cli: Указанный каталог не существует: " + dir / "missing" + "\n");

  WriteWholeFile(dir / "bad.orvana", "not a project");
  r = RunProgram({"show", dir / "bad.orvana", "--json"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
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

}  // namespace
}  // namespace orvana::cli
