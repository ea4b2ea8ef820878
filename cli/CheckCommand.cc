#include "cli/CheckCommand.h"

#include <sys/stat.h>

#include <ostream>

#include "cli/CliError.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProjectJson.h"
#include "cli/SiteCheck.h"

namespace orvana::cli {
constexpr TCommandHelp kCheckHelp = {
    "Usage: orvana-cli check FOLDER [--json]\n"
    "\n"
    "Audits the site in FOLDER from its files alone, whatever wrote them. The\n"
    "pages are the .html and .htm files anywhere under FOLDER, read as bytes.\n"
    "Prints one line per problem, \"FILE: what is wrong\", and nothing for a\n"
    "clean site; exits with 0 when the site is clean and 1 when it is not.\n"
    "\n",
    14,
    "\n"
    "The problems' codes:\n"
    "  broken-link           an href or src that names a local file names none\n"
    "                        (addresses with a scheme such as \"http:\" or\n"
    "                        \"mailto:\", \"//host\" and \"#...\" are not followed)\n"
    "  no-charset            a page declares no charset in a <meta> tag\n"
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
    "A sitemap is checked when FOLDER holds sitemap.xml; its addresses are\n"
    "compared by the file names after the site's address that they share. With\n"
    "problems, their count goes to standard error.\n"};

namespace {

std::string ProblemsToJson(const std::string& folder, const TSiteCheck& check) {
  std::string json = "{\"folder\":" + JsonQuote(PrintableBytes(folder)) +
                     ",\"ok\":" + (check.problems.empty() ? "true" : "false") + ",\"problems\":[";
  for (size_t i = 0; i < check.problems.size(); ++i) {
    const TSiteProblem& p = check.problems[i];
    json += (i ? ",{\"file\":" : "{\"file\":") + JsonQuote(p.file) +
            ",\"code\":" + JsonQuote(p.code) + ",\"message\":" + JsonQuote(p.message) + "}";
  }
  return json + "]}";
}

}  // namespace

const std::vector<TOptionEntry>& CheckOptions() {
  static const std::vector<TOptionEntry> options = {
      {"json", false, nullptr,
       "print {\"folder\", \"ok\", \"problems\": [{\"file\", \"code\",\n"
       "\"message\"}]} instead, as one JSON object on one line"}};
  return options;
}

int RunCheck(const TCommandArgs& args, std::ostream& out, std::ostream& err) {
  if (args.positional.empty()) throw EUsageError("missing FOLDER");
  if (args.positional.size() > 1)
    throw EUsageError("unexpected argument '" + args.positional[1] + "'");
  const std::string& folder = args.positional[0];
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0)
    throw EUsageError("'" + folder + "' does not exist", /*hint=*/false);
  if (!S_ISDIR(st.st_mode)) throw EUsageError("'" + folder + "' is not a folder", /*hint=*/false);

  const TSiteCheck check = CheckSiteFolder(folder);
  if (args.Flag("json")) {
    out << ProblemsToJson(AbsoluteUtf8Path(folder), check) << '\n';
  } else {
    for (const TSiteProblem& p : check.problems) out << p.file << ": " << p.message << '\n';
  }
  if (!check.problems.empty())
    err << "orvana-cli: " << check.problems.size()
        << (check.problems.size() == 1 ? " problem in " : " problems in ") << check.pages
        << (check.pages == 1 ? " page checked" : " pages checked") << '\n';
  return check.problems.empty() ? 0 : 1;
}

}  // namespace orvana::cli
