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
// one that cannot be created at all. "-" (standard output) passes.
void CheckReportTarget(const std::string& target, const std::vector<std::string>& projects,
                       const std::optional<std::string>& out_native);

// Writes the report text into the file named as typed, or onto `out` for "-".
void WriteReport(const std::string& target, const std::string& json, std::ostream& out);

}  // namespace orvana::cli
