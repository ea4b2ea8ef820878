// What `new` does with inputs it cannot take as they are: texts Windows-1251
// cannot spell, blank link lines, and files that never end.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <thread>

#include "CliError.h"
#include "CliTestUtil.h"
#include "CodePage.h"
#include "ProjectDocument.h"
#include "TextInput.h"

namespace orvana::cli {
namespace {

using testing::ExpectThrowsMessage;
using testing::FileExists;
using testing::RunResult;
using testing::RunTool;
using testing::TempDir;
using testing::WriteWholeFile;

class CliInputsTest : public ::testing::Test {
 protected:
  std::string Project() const { return dir_ / "p.orvana"; }
  TempDir dir_;
};

TEST_F(CliInputsTest, StringOptionsWarnOfCharactersTheCodePageLacks) {
  const struct {
    std::string option, value, warning;  // warning "" for none
  } cases[] = {
      {"--title", "中文 title", "--title: 2 characters outside Windows-1251 became '?'"},
      {"--page-word", "章", "--page-word: 1 character outside Windows-1251 became '?'"},
      {"--index-label", "目录", "--index-label: 2 characters"},
      {"--link-rel", "nöfollow✓", "--link-rel: 2 characters"},
      {"--title", "Хроника", ""},
      {"--page-word", "Глава", ""},
  };
  for (const auto& c : cases) {
    const RunResult r = RunTool({"new", Project(), "--force", c.option, c.value});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err.empty() ? "" : r.err.substr(0, 21 + c.warning.size()),
              c.warning.empty() ? "" : "orvana-cli: warning: " + c.warning)
        << c.option;
  }
}

TEST_F(CliInputsTest, BlankLinkLinesAreDroppedAndCounted) {
  for (const auto& [text, kept, warning] :
       std::vector<std::tuple<std::string, TStringList, std::string>>{
           {"a\n\nb\n \t\n\t\r\nc", {"a", "b", "c"}, "3 blank lines dropped"},
           {"\n a \n", {" a "}, "1 blank line dropped"},
           {"a\nb\n", {"a", "b"}, ""}}) {
    WriteWholeFile(dir_ / "links.txt", text);
    const RunResult r = RunTool({"new", Project(), "--force", "--links", dir_ / "links.txt"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, warning.empty() ? ""
                                     : "orvana-cli: warning: \"" + dir_ / "links.txt" +
                                           "\": " + warning + "\n");
    TProjectDocument document;
    document.LoadFromFile(Utf8ToCp1251(Project()));
    EXPECT_EQ(document.Generator().SiteUrlsToLink(), kept) << text;
  }
}

TEST_F(CliInputsTest, FilesThatNeverEndAreRefusedNamingTheOption) {
  for (const char* option : {"text", "links", "template", "ads", "css"}) {
    for (const auto& [path, kind] : {std::pair<std::string, std::string>{"/dev/zero", "a device"},
                                     {dir_.Path(), "a folder"}}) {
      const RunResult r = RunTool({"new", Project(), std::string("--") + option, path});
      EXPECT_EQ(r.code, 1);
      EXPECT_EQ(r.err, "orvana-cli: --" + std::string(option) + ": \"" + path + "\" is " + kind +
                           ", not a text file.\n");
      EXPECT_FALSE(FileExists(Project()));
    }
  }
  // Past the limit, a file is refused before it is read and a pipe, standard
  // input too, as soon as the limit passes: its writer never stops.
  WriteWholeFile(dir_ / "big.txt", std::string(1001, 'x'));
  ExpectThrowsMessage<ECliError>(
      [&] { ReadInputText(dir_ / "big.txt", TInputEncoding::kUtf8, "css", 1000); },
      "--css: \"" + dir_ / "big.txt" + "\" is larger than 1000 bytes");
  std::signal(SIGPIPE, SIG_IGN);
  for (const bool as_stdin : {false, true}) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::thread writer([w = fds[1]] {
      const char zeros[4096] = {};
      while (::write(w, zeros, sizeof zeros) > 0) {
      }
      ::close(w);
    });
    const int saved = ::dup(0);
    if (as_stdin) ::dup2(fds[0], 0);
    std::clearerr(stdin);
    const std::string path = as_stdin ? "-" : "/dev/fd/" + std::to_string(fds[0]);
    ExpectThrowsMessage<ECliError>(
        [&] { ReadInputText(path, TInputEncoding::kWindows1251, "text", 1 << 20); },
        "--text: " + InputName(path) + " is larger than 1048576 bytes");
    ::dup2(saved, 0);
    ::close(saved);
    ::close(fds[0]);
    writer.join();
  }
}

}  // namespace
}  // namespace orvana::cli
