// `orvana-cli check FOLDER [--json]`: audits a site folder from its files
// alone (see SiteCheck.h) and prints one line per problem, or a JSON report.
#pragma once

#include <iosfwd>

#include "cli/CommandLine.h"

namespace orvana::cli {

// Runs the command with the arguments parsed from those after "check".
// Prints each problem on `out` as "FILE: MESSAGE", or with --json one object
// {"folder", "ok", "problems": [{"file", "code", "message"}]}. Returns 0 for a clean site and
// 1 when it has problems. Throws EUsageError for a command line that cannot
// be run (FOLDER missing or not a folder) and ECliError when the folder
// cannot be read.
int RunCheck(const TCommandArgs& args, std::ostream& out, std::ostream& err);

}  // namespace orvana::cli
