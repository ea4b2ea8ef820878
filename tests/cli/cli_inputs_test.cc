// What `new` does with inputs it cannot take as they are: texts Windows-1251
// cannot spell, blank link lines, and files that never end.
#include <gtest/gtest.h>

#include "CliTestUtil.h"
#include "CodePage.h"
#include "ProjectDocument.h"

namespace orvana::cli {
namespace {

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

}  // namespace
}  // namespace orvana::cli
