#include "cli/BuildReportJson.h"

#include <cmath>
#include <cstdio>

#include "cli/ProjectJson.h"
#include "engine/CodePage.h"

namespace orvana::cli {
namespace {

std::string Text(const std::string& cp1251) { return JsonQuote(Cp1251ToUtf8(cp1251)); }

// Two decimals at most, trailing zeros dropped: 4512.5, 4513.
std::string Mean(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", std::round(value * 100) / 100);
  std::string text = buffer;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

template <class T>
std::string NumberList(const std::vector<T>& numbers) {
  std::string out = "[";
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) out += ", ";
    out += std::to_string(numbers[i]);
  }
  return out + "]";
}

}  // namespace

std::string BuildReportToJson(const TBuildReport& r, const TReportContext& context) {
  std::string out = "{\n";
  if (!context.project.empty()) out += "  \"project\": " + JsonQuote(context.project) + ",\n";
  if (context.error.empty())
    out += "  \"ok\": true,\n";
  else
    out += "  \"ok\": false,\n  \"error\": " + JsonQuote(context.error) + ",\n";
  out += "  \"pages\": " + std::to_string(r.pages) + ",\n";
  out += "  \"bytes\": " + std::to_string(r.bytes) + ",\n";
  out += "  \"folder\": " + JsonQuote(r.folder) + ",\n";
  out += "  \"encoding\": " + JsonQuote(r.encoding) + ",\n";
  out += "  \"page_bytes\": {\"min\": " + std::to_string(r.page_bytes_min) +
         ", \"max\": " + std::to_string(r.page_bytes_max) +
         ", \"mean\": " + Mean(r.page_bytes_mean) + "},\n";
  out += "  \"forced_cuts\": " + NumberList(r.forced_cuts) + ",\n";
  out += "  \"links\": {\n";
  out += "    \"quota\": " + std::to_string(r.quota) + ",\n";
  out += "    \"placed\": " + std::to_string(r.placed) + ",\n";
  out += "    \"by_address\": [";
  for (size_t i = 0; i < r.by_address.size(); ++i) {
    const TAddressLinks& a = r.by_address[i];
    out += i > 0 ? ",\n      " : "\n      ";
    out += "{\"url\": " + Text(a.url) + ", \"count\": " + std::to_string(a.count) +
           ", \"pages\": " + NumberList(a.pages) + "}";
  }
  out += r.by_address.empty() ? "],\n" : "\n    ],\n";
  out += "    \"unused\": [";
  for (size_t i = 0; i < r.unused.size(); ++i) out += (i > 0 ? ", " : "") + Text(r.unused[i]);
  out += "]\n  },\n";
  out += "  \"warnings\": [";
  for (size_t i = 0; i < r.warnings.size(); ++i) {
    out += i > 0 ? ",\n    " : "\n    ";
    out += "{\"code\": " + JsonQuote(r.warnings[i].code) +
           ", \"message\": " + Text(r.warnings[i].message) + "}";
  }
  out += r.warnings.empty() ? "],\n" : "\n  ],\n";
  out += "  \"pruned\": [";
  for (size_t i = 0; i < r.pruned.size(); ++i) out += (i > 0 ? ", " : "") + Text(r.pruned[i]);
  out += "]";
  if (context.extras) out += ",\n  \"extras\": " + ExtrasToJson(*context.extras);
  out += r.complete ? "\n" : ",\n  \"complete\": false\n";
  return out + "}";
}

std::string FailedBuildToJson(const std::string& project, const std::string& error) {
  std::string out = "{";
  if (!project.empty()) out += "\"project\": " + JsonQuote(project) + ", ";
  return out + "\"ok\": false, \"error\": " + JsonQuote(error) + "}";
}

std::string JsonArray(const std::vector<std::string>& objects) {
  std::string out = "[";
  for (size_t i = 0; i < objects.size(); ++i) {
    out += i > 0 ? ",\n" : "\n";
    out += objects[i];
  }
  return out + "\n]";
}

}  // namespace orvana::cli
