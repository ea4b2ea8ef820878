// Every option of every command, as its table gives it to the parser, is in
// the command's --help, its section of the manual page and the bash
// completion; and every option the help lists is one the parser takes.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "cli/CliError.h"
#include "cli/Commands.h"
#include "engine/BuildReport.h"
#include "tests/cli/CliTestUtil.h"

namespace orvana::cli {
namespace {

using testing::RunTool;

std::string SourceFile(const std::string& path) {
  return test::ReadWholeFile(std::string(ORVANA_SOURCE_DIR) + "/" + path);
}

// The manual page's text from `.SS "TITLE"` to the next heading.
std::string ManSection(const std::string& man, const std::string& title) {
  const size_t start = man.find(".SS \"" + title + "\"\n");
  if (start == std::string::npos) return "";
  return man.substr(start + 1, man.find("\n.S", start + 1) - start);
}

// The matches of the pattern's first group (or whole match) in the text.
std::set<std::string> Matches(const std::string& text, const std::string& pattern) {
  std::set<std::string> found;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
       ++it)
    found.insert(it->size() > 1 ? (*it)[1].str() : it->str());
  return found;
}

// The words of a completion list: local NAME='...'.
std::set<std::string> CompletionWords(const std::string& script, const std::string& name) {
  const size_t from = script.find("local " + name + "='");
  if (from == std::string::npos) return {};
  const size_t start = script.find('\'', from) + 1;
  return Matches(script.substr(start, script.find('\'', start) - start), "[^ \t\n]+");
}

TEST(CliDocs, EveryOptionOfEveryCommandIsInItsHelpManualAndCompletion) {
  const std::string man = SourceFile("packaging/man/orvana-cli.1");
  const std::string completion = SourceFile("packaging/completion/orvana-cli");
  const std::string tool_help = RunTool({"--help"}).out;
  const std::set<std::string> commands = CompletionWords(completion, "commands");
  for (const TCommand& command : Commands()) {
    SCOPED_TRACE(command.name);
    EXPECT_NE(tool_help.find(std::string("\n  ") + command.name + " "), std::string::npos);
    EXPECT_NE(man.find(std::string("\n.B ") + command.name), std::string::npos);
    EXPECT_TRUE(commands.count(command.name));
    const std::string help = RunTool({command.name, "--help"}).out;
    // The "--name" that starts each line of the help's option list.
    const std::set<std::string> listed =
        Matches(help.substr(help.find("\nOptions:\n")), "\n  (--[a-z][a-z0-9-]*)");
    const std::string section = ManSection(man, std::string("Options of ") + command.name);
    const std::set<std::string> offered =
        CompletionWords(completion, command.name + std::string("_opts"));
    EXPECT_FALSE(section.empty());
    std::set<std::string> parsed = {"--help"};
    for (const TOptionEntry& entry : command.options()) {
      const std::string option = std::string("--") + entry.name;
      parsed.insert(option);
      EXPECT_TRUE(listed.count(option)) << option << " is parsed but not in the help";
      EXPECT_NE(section.find(std::regex_replace(option, std::regex("-"), "\\-")), std::string::npos)
          << option << " is not in the manual page's section";
      EXPECT_TRUE(offered.count(option)) << option << " is not completed";
    }
    EXPECT_TRUE(offered.count("--help"));
    // The help promises only what the parser takes.
    for (const std::string& option : listed)
      EXPECT_TRUE(parsed.count(option)) << option << " is in the help but not parsed";
  }
}

// Every warning code a build can give and every key of the report is
// explained by build --help, the manual page and the README.
TEST(CliDocs, EveryWarningCodeAndReportKeyIsDocumented) {
  const std::string help = RunTool({"build", "--help"}).out;
  const std::string man = SourceFile("packaging/man/orvana-cli.1");
  const std::string report_section = man.substr(man.find(".SH BUILD REPORT"));
  const std::string readme = SourceFile("README.md");
  for (const std::string_view code :
       {kWarnLinkQuotaZero, kWarnMinAboveMax, kWarnForcedCuts, kWarnNoCharset, kWarnUnsafeUrl,
        kWarnLargeOutput, kWarnCharsetMismatch, kWarnBadSiteUrl, kWarnEmptyAddress}) {
    const std::string word(code);
    EXPECT_NE(help.find("  " + word + " "), std::string::npos) << word;
    EXPECT_NE(report_section.find(".B " + std::regex_replace(word, std::regex("-"), "\\-")),
              std::string::npos)
        << word;
    EXPECT_NE(readme.find("| `" + word + "` |"), std::string::npos) << word;
  }
  for (const char* key : {"ok", "error", "pages", "bytes", "folder", "encoding", "page_bytes",
                          "forced_cuts", "links", "warnings", "pruned", "extras", "complete"}) {
    EXPECT_TRUE(std::regex_search(help, std::regex(std::string("\\b") + key + "\\b"))) << key;
    EXPECT_TRUE(std::regex_search(
        report_section, std::regex(std::string("(^|\\n)\\.BR? [^\\n]*\\b") + key + "\\b")))
        << key;
    EXPECT_TRUE(std::regex_search(readme, std::regex(std::string("[`\"]") + key + "[`\"]"))) << key;
  }
}

}  // namespace
}  // namespace orvana::cli
