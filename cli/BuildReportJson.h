// The build report as JSON, for `orvana-cli build --report`.
//
// One object, keys in this order: "pages", "bytes", "folder", "encoding",
// "page_bytes" {"min", "max", "mean"}, "forced_cuts" (page indexes),
// "links" {"quota", "placed", "by_address" [{"url", "count", "pages"}],
// "unused"}, "warnings" [{"code", "message"}]. Texts are converted from
// Windows-1251 to UTF-8 and quoted as JsonQuote does; "mean" has at most two
// decimals.
#pragma once

#include <string>
#include <vector>

#include "BuildReport.h"

namespace orvana::cli {

// The report as one JSON object over several lines, without a final line feed.
std::string BuildReportToJson(const TBuildReport& report);

// The reports of several projects as one JSON array, in the order given; a
// project whose build failed (nullptr) is null.
std::string BuildReportsToJson(const std::vector<const TBuildReport*>& reports);

}  // namespace orvana::cli
