// orvana-cli show: prints a project.
#include <optional>
#include <ostream>

#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/ProjectJson.h"
#include "engine/CodePage.h"
#include "project/MemoText.h"
#include "project/ProjectDocument.h"

namespace orvana::cli {
constexpr TCommandHelp kShowHelp = {
    "Usage: orvana-cli show PROJECT [--json]\n"
    "\n"
    "Prints a short summary of PROJECT. With --json, a project that cannot be\n"
    "read gives {\"project\", \"ok\": false, \"error\"} on standard output.\n"
    "\n",
    14, ""};

namespace {

void PrintSummary(const TProjectArg& project, const TSiteGenerator& g, std::ostream& out) {
  out << "Project:       " << AbsoluteUtf8Path(project.native) << '\n'
      << "Title:         " << Cp1251ToUtf8(g.SiteTitle()) << '\n'
      << "Page size:     " << g.MinCharsPerPage() << " to " << g.MaxCharsPerPage()
      << " characters\n"
      << "Output folder: " << g.SavePath() << '\n'
      << "Text:          " << g.SiteText().size() << " lines, " << TotalLength(g.SiteText())
      << " characters\n"
      << "Links:         " << g.SiteUrlsToLink().size() << '\n'
      << "Template:      " << StringToMemo(g.SiteTemplate()).size() << " lines\n"
      << "Advertising:   " << StringToMemo(g.AdsenseCode()).size() << " lines\n"
      << "Stylesheet:    " << StringToMemo(g.CssCode()).size() << " lines\n"
      << "Pages:         " << g.Pages().Count() << '\n';
}

}  // namespace

const std::vector<TOptionEntry>& ShowOptions() {
  static const std::vector<TOptionEntry> options = {
      {"json", false, nullptr, "print every property instead, as one JSON object on one line"}};
  return options;
}

int RunShow(const TCommandArgs& args, std::ostream& out, std::ostream& err) {
  if (args.positional.size() != 1) (void)ProjectArgument(args);  // the usage error
  TProjectDocument document;
  std::optional<TProjectArg> project;
  try {
    project = ProjectArgument(args);
    ReadProject(*project, document, err);
  } catch (const std::exception&) {
    // A script reading the JSON still gets one object, saying why.
    if (args.Flag("json"))
      out << "{\"project\":" << JsonQuote(AbsoluteUtf8Path(args.positional[0]))
          << ",\"ok\":false,\"error\":" << JsonQuote(CurrentErrorText()) << "}\n";
    throw;
  }
  if (args.Flag("json"))
    out << GeneratorToJson(document.Generator()) << '\n';
  else
    PrintSummary(*project, document.Generator(), out);
  return 0;
}

}  // namespace orvana::cli
