#pragma once
// Temporary stand-ins, replaced when the sitemap and address units land.
#include <string>
#include <string_view>
#include <vector>

#include "ExtrasOutput.h"
#include "FileSystem.h"

namespace orvana {
struct TSitemapPart {
  std::string name;
  std::string bytes;
};
inline std::vector<TSitemapPart> BuildSitemapParts(std::string_view site_url,
                                                   const std::vector<std::string_view>& urls) {
  return {{std::string(kSitemapFileName), BuildSitemap(site_url, urls)}};
}
inline std::vector<std::string> ListStaleSitemaps(TFileSystem&, const std::string&,
                                                  const std::vector<std::string>&) {
  return {};
}
inline std::string SiteUrlProblem(std::string_view) { return {}; }
}  // namespace orvana
