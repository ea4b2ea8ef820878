// orvana-cli show: prints a project.
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
    "Prints a short summary of PROJECT.\n"
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
  const TProjectArg project = ProjectArgument(args);
  TProjectDocument document;
  ReadProject(project, document, err);
  if (args.Flag("json"))
    out << GeneratorToJson(document.Generator()) << '\n';
  else
    PrintSummary(project, document.Generator(), out);
  return 0;
}

}  // namespace orvana::cli
