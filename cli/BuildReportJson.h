// The build report as JSON, for `orvana-cli build --report`.
//
// One object, keys in this order: "ok" (true), "pages", "bytes", "folder",
// "encoding", "page_bytes" {"min", "max", "mean"}, "forced_cuts" (page
// indexes), "links" {"quota", "placed", "by_address" [{"url", "count",
// "pages"}], "unused"}, "warnings" [{"code", "message"}], "pruned" (file
// names), and "complete": false only for a build that stopped early. Texts
// are converted from Windows-1251 to UTF-8 (the folder is UTF-8 already) and
// quoted as JsonQuote does; "mean" has at most two decimals. A build that
// failed is {"ok": false, "error": MESSAGE}, with "project" first when the
// command built several.
#pragma once

#include <string>
#include <vector>

#include "BuildReport.h"

namespace orvana::cli {

// The report as one JSON object over several lines, without a final line feed.
std::string BuildReportToJson(const TBuildReport& report);

// The object of a build that failed, with the message (UTF-8) that says why;
// `project` (UTF-8) is given when the command built several.
std::string FailedBuildToJson(const std::string& project, const std::string& error);

// Several objects (each from one of the functions above) as one JSON array.
std::string JsonArray(const std::vector<std::string>& objects);

}  // namespace orvana::cli
