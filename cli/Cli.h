// orvana-cli: the project commands of the desktop application, from a shell.
//
//   orvana-cli new PROJECT [options]   writes a new project file
//   orvana-cli build PROJECT [options] generates the site and writes it
//   orvana-cli set PROJECT [options]   changes some fields of a project
//   orvana-cli show PROJECT [--json]   prints the project
//   orvana-cli check FOLDER [--json]   audits a site folder
//
// Arguments, option values and input files are UTF-8; the engine's texts are
// converted from and to Windows-1251 on the way. Errors go to the error
// stream as "orvana-cli: " and the message the desktop application's error
// box would show.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace orvana::cli {

// Runs the tool with the arguments that follow the program name. Normal
// output goes to `out`, errors to `err`. Returns the exit code: 0 on success,
// 1 when the work failed, 2 for a command line that cannot be run.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Tells RunCli that the process ends as soon as it returns (the program's
// main does; tests that call RunCli many times do not). A single project's
// memory is then left for the system to take back at exit, which is much
// quicker than freeing every page and line of a large site one by one.
void SetProcessEndsAfterRun(bool ends);

}  // namespace orvana::cli
