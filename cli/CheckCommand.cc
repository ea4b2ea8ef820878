#include "cli/CheckCommand.h"

#include <sys/stat.h>

#include <ostream>

#include "cli/CliError.h"
#include "cli/CommandLine.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/ProjectJson.h"
#include "cli/SiteCheck.h"

namespace orvana::cli {
constexpr TCommandHelp kCheckHelp = {
    "Usage: orvana-cli check FOLDER [--json] [--strict]\n"
    "\n"
    "Audits the site in FOLDER from its files alone, whatever wrote them. The\n"
    "pages are the .html and .htm files anywhere under FOLDER, read as bytes, a\n"
    "piece at a time. Prints one line per problem, \"FILE: what is wrong\" for a\n"
    "fault and \"FILE: warning: ...\" for a warning, and nothing for a clean\n"
    "site; exits with 0 when the site has no fault and 1 when it has one.\n"
    "\n",
    14,
    "\n"
    "The faults' codes:\n"
    "  broken-link           an href or src that names a local file names none\n"
    "                        (addresses with a scheme such as \"http:\" or\n"
    "                        \"mailto:\", \"//host\" and \"#...\" are not followed)\n"
    "  too-large             a page of more than 4 GiB, a tag of more than 8 MiB\n"
    "                        or a sitemap of more than 64 MiB: not judged\n"
    "  charset-mismatch      a page declaring utf-8 is not UTF-8, or one declaring\n"
    "                        windows-1251 holds UTF-8 beyond ASCII\n"
    "  empty-page            a page of 0 bytes\n"
    "  no-pages              FOLDER holds no page at all\n"
    "  unreadable            a file that cannot be read\n"
    "  sitemap-malformed     sitemap.xml, or a sitemap its index names, is not\n"
    "                        well-formed XML of the sitemap protocol\n"
    "  sitemap-stale-entry   a <loc> names no file of FOLDER\n"
    "  sitemap-missing-page  a page the sitemap does not list\n"
    "  sitemap-duplicate     a page listed more than once\n"
    "\n"
    "The warnings' codes (faults only with --strict):\n"
    "  no-charset            a page declares no charset in a <meta> tag\n"
    "  unlinked-page         no chain of links from the top index.html leads to\n"
    "                        the page (one an earlier, larger build left)\n"
    "  not-a-file            an entry that is a FIFO, a socket, a device, a link\n"
    "                        to one, a link loop or a link to nothing: skipped\n"
    "\n"
    "A sitemap is checked when FOLDER holds sitemap.xml; its addresses are\n"
    "compared by the file names after the site's address that they share. With\n"
    "problems, their count goes to standard error. A FOLDER that cannot be read\n"
    "fails with 1; with --json, the object is then {\"folder\", \"ok\": false,\n"
    "\"error\"}.\n"};

namespace {

std::string ProblemsToJson(const std::string& folder, const TSiteCheck& check, bool ok) {
  std::string json = "{\"folder\":" + JsonQuote(PrintableBytes(folder)) +
                     ",\"ok\":" + (ok ? "true" : "false") + ",\"problems\":[";
  for (size_t i = 0; i < check.problems.size(); ++i) {
    const TSiteProblem& p = check.problems[i];
    json += (i ? ",{\"file\":" : "{\"file\":") + JsonQuote(p.file) +
            ",\"code\":" + JsonQuote(p.code) + ",\"message\":" + JsonQuote(p.message) +
            ",\"warning\":" + (p.warning ? "true}" : "false}");
  }
  return json + "]}";
}

}  // namespace

const std::vector<TOptionEntry>& CheckOptions() {
  static const std::vector<TOptionEntry> options = {
      {"json", false, nullptr,
       "print {\"folder\", \"ok\", \"problems\": [{\"file\", \"code\",\n"
       "\"message\", \"warning\"}]} instead, as one JSON object on one\n"
       "line"},
      {"strict", false, nullptr, "treat every warning as a fault: exit with 1"}};
  return options;
}

int RunCheck(const TCommandArgs& args, std::ostream& out, std::ostream& err) {
  if (args.positional.empty()) throw EUsageError("missing FOLDER");
  if (args.positional.size() > 1)
    throw EUsageError("unexpected argument '" + args.positional[1] + "'");
  const std::string& folder = args.positional[0];
  const bool json = args.Flag("json");
  const std::string shown = AbsoluteUtf8Path(folder);
  const auto failed = [&](const std::string& error) {
    // A script reading the JSON still gets one object, saying why.
    if (json)
      out << "{\"folder\":" << JsonQuote(PrintableBytes(shown))
          << ",\"ok\":false,\"error\":" << JsonQuote(error) << "}\n";
  };
  struct stat st;
  const std::string not_folder = ::stat(folder.c_str(), &st) != 0 ? "' does not exist"
                                 : !S_ISDIR(st.st_mode)           ? "' is not a folder"
                                                                  : "";
  if (!not_folder.empty()) {
    failed("'" + PrintablePath(folder) + not_folder);
    throw EUsageError("'" + PrintablePath(folder) + not_folder, /*hint=*/false);
  }
  TSiteCheck check;
  try {
    check = CheckSiteFolder(folder);
  } catch (const std::exception&) {
    failed(CurrentErrorText());
    return PrintCommandError(err);
  }
  size_t warnings = 0;
  for (const TSiteProblem& p : check.problems) warnings += p.warning;
  const size_t faults = check.problems.size() - warnings;
  const bool ok = faults == 0 && (warnings == 0 || !args.Flag("strict"));
  if (json) {
    out << ProblemsToJson(shown, check, ok) << '\n';
  } else {
    for (const TSiteProblem& p : check.problems)
      out << p.file << (p.warning ? ": warning: " : ": ") << p.message << '\n';
  }
  if (!check.problems.empty())
    err << "orvana-cli: " << Counted(faults, "problem", "problems") << ", "
        << Counted(warnings, "warning", "warnings") << " in "
        << Counted(check.pages, "page", "pages") << " checked\n";
  return ok ? 0 : 1;
}

}  // namespace orvana::cli
