// `orvana-cli check FOLDER [--json]`: audits a site folder from its files
// alone (see SiteCheck.h) and prints one line per problem, or a JSON report.
#pragma once

#include <iosfwd>

#include "cli/CommandLine.h"

namespace orvana::cli {

// Runs the command with the arguments parsed from those after "check".
// Prints each problem on `out` as "FILE: MESSAGE" ("FILE: warning: MESSAGE"
// for a warning), or with --json one object {"folder", "ok", "problems":
// [{"file", "code", "message", "warning"}]}. Returns 0 for a site without
// faults (and, with --strict, without warnings) and 1 otherwise, also when
// the folder cannot be read. Throws EUsageError for a command line that
// cannot be run (FOLDER missing or not a folder). With --json, every failure
// still prints one object {"folder", "ok": false, "error"}.
int RunCheck(const TCommandArgs& args, std::ostream& out, std::ostream& err);

}  // namespace orvana::cli
