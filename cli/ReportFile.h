// Where `build --report` writes its report: checked before anything is
// built, written once every project is.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace orvana::cli {

// Refuses, before anything is built, a report file that would take the
// place of a project of the command or of a file a build writes (into
// `out_native`, --out as typed, or each project's own folder), and
// one that cannot be created at all, or a folder, a socket or a device other
// than the null device. "-" (standard output) passes, and so do a pipe, the
// null device and the files standard output and standard error are.
void CheckReportTarget(const std::string& target, const std::vector<std::string>& projects,
                       const std::optional<std::string>& out_native);

// Whether the report goes to standard output: "-", or a name of the file,
// pipe or terminal that standard output is (/dev/stdout). The summary lines
// then go to standard error, so that the report stays whole.
bool ReportOnStandardOutput(const std::string& target);

// Writes the report text into the file named as typed, or onto `out` when it
// goes to standard output (ReportOnStandardOutput).
void WriteReport(const std::string& target, const std::string& json, std::ostream& out);

}  // namespace orvana::cli
