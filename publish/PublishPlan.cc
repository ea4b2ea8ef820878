#include "publish/PublishPlan.h"

#include <algorithm>
#include <tuple>

namespace orvana::publish {
namespace {

// The number of "pageN.html", or -1 for another name.
int64_t PageNumber(const std::string& name) {
  if (name.size() < 10 || name.rfind("page", 0) != 0 || !name.ends_with(".html")) return -1;
  const std::string digits = name.substr(4, name.size() - 9);
  if (digits.empty() || digits.size() > 12 ||
      digits.find_first_not_of("0123456789") != std::string::npos)
    return -1;
  return std::stoll(digits);
}

}  // namespace

int SendRank(const std::string& name) {
  if (name == "index.html") return 2;
  return PageNumber(name) >= 0 || name.ends_with(".html") || name.ends_with(".htm") ? 1 : 0;
}

TPublishPlan PlanPublish(const TManifest& site, const TManifest& published) {
  TPublishPlan plan;
  for (const auto& [name, digest] : site) {
    const auto old = published.find(name);
    if (old != published.end() && old->second == digest) {
      ++plan.kept;
      continue;
    }
    plan.send.push_back({name, digest.size, old != published.end()});
    plan.bytes += digest.size;
  }
  std::stable_sort(plan.send.begin(), plan.send.end(),
                   [](const TPlannedFile& a, const TPlannedFile& b) {
                     return std::make_tuple(SendRank(a.name), PageNumber(a.name), a.name) <
                            std::make_tuple(SendRank(b.name), PageNumber(b.name), b.name);
                   });
  for (const auto& [name, digest] : published)
    if (!site.count(name)) plan.remove.push_back({name, digest.size, true});
  return plan;
}

}  // namespace orvana::publish
