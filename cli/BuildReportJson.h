// The build report as JSON, for `orvana-cli build --report`.
//
// One object, keys in this order: "project" (when several were built), "ok" (true; false with
// "error" after it for a build refused by its warnings), "pages", "bytes", "folder", "encoding",
// "page_bytes" {"min", "max", "mean"}, "forced_cuts" (page indexes), "links" {"quota", "placed",
// "by_address" [{"url", "count", "pages"}], "unused"}, "warnings" [{"code", "message"}], "pruned"
// (file names), "extras" (see TReportContext) and "complete": false only for a build that stopped
// early. Texts are converted from Windows-1251 to UTF-8 (the folder is UTF-8 already) and quoted as
// JsonQuote does; "mean" has at most two decimals. A build that failed is {"ok": false, "error":
// MESSAGE}, with "project" first when the command built several.
#pragma once

#include <string>
#include <vector>

#include "engine/BuildReport.h"

namespace orvana::cli {

// What the report says beyond the build's own figures.
struct TReportContext {
  // Not empty: the project (UTF-8, as typed) the report is of, its first key,
  // as every entry of a report of several projects names its own.
  std::string project;
  // The extras the build ran with: given, they are listed as "extras" (one
  // object, keyed by property name as `show --json` keys them) after
  // "pruned".
  const TOrvanaExtras* extras = nullptr;
  // Not empty: the build was refused after its figures were known ("ok" is
  // false and this message (UTF-8) follows it as "error").
  std::string error;
};

// The report as one JSON object over several lines, without a final line feed.
std::string BuildReportToJson(const TBuildReport& report, const TReportContext& context = {});

// The object of a build that failed, with the message (UTF-8) that says why;
// `project` (UTF-8) is given when the command built several.
std::string FailedBuildToJson(const std::string& project, const std::string& error);

// Several objects (each from one of the functions above) as one JSON array.
std::string JsonArray(const std::vector<std::string>& objects);

}  // namespace orvana::cli
