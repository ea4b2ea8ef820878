// The tool's entry: its own help and options, and the dispatch to the
// commands, each in a file of its own.
#include "cli/Cli.h"

#include <ostream>

#include "cli/CheckCommand.h"
#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"

namespace orvana::cli {
namespace {

bool process_ends_after_run = false;

constexpr const char* kToolHelp =
    "Usage: orvana-cli COMMAND PROJECT [OPTIONS]\n"
    "\n"
    "Builds small static web sites out of one long text, from Orvana project files.\n"
    "\n"
    "Commands:\n"
    "  new     write a new project file, with the content of a new project\n"
    "  build   generate the site of a project and write it into a folder\n"
    "  set     change some fields of a project file, leaving the rest as it was\n"
    "  show    print a project's settings, texts and pages\n"
    "  check   audit a site folder: links, charsets, empty pages and sitemap\n"
    "  serve   build a project, show its site in a browser, rebuild on changes\n"
    "  publish build a project's site and send what changed to its host (SFTP, FTPS)\n"
    "\n"
    "Options:\n"
    "  -h, --help  show this help; after a command, that command's help\n"
    "  --version   print the program's version\n"
    "\n"
    "Options take their value as \"--opt value\" or \"--opt=value\"; \"--\" ends the\n"
    "options. Exit status: 0 on success, 1 when the work failed, 2 for a command\n"
    "line that cannot be run.\n";

int Dispatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             std::string& command) {
  if (args.empty()) throw EUsageError("missing command");
  const std::string& first = args[0];
  if (first == "-h" || first == "--help") {
    out << kToolHelp;
    return 0;
  }
  if (first == "--version") {
    if (args.size() > 1) throw EUsageError("--version takes no argument, got '" + args[1] + "'");
    out << "orvana-cli " << ORVANA_VERSION << '\n';
    return 0;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  for (const TCommand& c : Commands())
    if (first == c.name) {
      command = first;
      const TCommandArgs parsed = ParseCommandArgs(rest, c.options());
      if (parsed.help) {
        out << HelpText(c.help, c.options());
        return 0;
      }
      return c.run(parsed, out, err);
    }
  if (!first.empty() && first[0] == '-') throw EUsageError("unknown option '" + first + "'");
  throw EUsageError("unknown command '" + first + "'");
}

}  // namespace

const std::vector<TCommand>& Commands() {
  static const std::vector<TCommand> commands = {
      {"new", RunNew, NewOptions, kNewHelp},
      {"build", RunBuild, BuildOptions, kBuildHelp},
      {"set", RunSet, SetOptions, kSetHelp},
      {"show", RunShow, ShowOptions, kShowHelp},
      {"check", RunCheck, CheckOptions, kCheckHelp},
      {"serve", RunServe, ServeOptions, kServeHelp},
      {"publish", RunPublish, PublishOptions, kPublishHelp},
  };
  return commands;
}

void SetProcessEndsAfterRun(bool ends) { process_ends_after_run = ends; }

bool ProcessEndsAfterRun() { return process_ends_after_run; }

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string command;
  int code;
  try {
    code = Dispatch(args, out, err, command);
  } catch (const EUsageError& e) {
    err << "orvana-cli: " << PrintablePath(e.what()) << '\n';
    if (e.Hint())
      err << "Try 'orvana-cli " << (command.empty() ? "" : command + " ") << "--help'.\n";
    return 2;
  } catch (const std::exception&) {
    return PrintCommandError(err);
  }
  // Output that never arrived (a full disk behind a redirection) is a failure.
  if (!out.flush()) {
    err << "orvana-cli: Cannot write the output.\n";
    return 1;
  }
  return code;
}

}  // namespace orvana::cli
