// `orvana-cli check FOLDER [--json]`: audits a site folder from its files
// alone (see SiteCheck.h) and prints one line per problem, or a JSON report.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace orvana::cli {

// Runs the command with the arguments after "check". Prints each problem on
// `out` as "FILE: MESSAGE", or with --json one object {"folder", "ok",
// "problems": [{"file", "code", "message"}]}. Returns 0 for a clean site and
// 1 when it has problems. Throws EUsageError for a command line that cannot
// be run (FOLDER missing or not a folder) and ECliError when the folder
// cannot be read.
int RunCheck(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err);

}  // namespace orvana::cli
