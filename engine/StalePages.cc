#include "engine/StalePages.h"

#include <algorithm>
#include <climits>

#include "engine/ExtrasOutput.h"
#include "engine/SiteOutput.h"

namespace orvana {

namespace {

// N of a name PREFIX + N + SUFFIX, N >= 1 written without sign or leading
// zero, or nothing.
std::optional<int> NumberBetween(std::string_view name, std::string_view prefix,
                                 std::string_view suffix) {
  if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) ||
      !name.ends_with(suffix))
    return std::nullopt;
  const std::string_view digits =
      name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  if (digits[0] == '0') return std::nullopt;
  long long n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
    if (n > INT_MAX) return std::nullopt;
  }
  return static_cast<int>(n);
}

}  // namespace

std::optional<int> GeneratedPageNumber(std::string_view name) {
  return NumberBetween(name, "page", ".html");
}

std::optional<int> SitemapFileNumber(std::string_view name) {
  if (name == kSitemapFileName) return 0;
  return NumberBetween(name, "sitemap-", ".xml");
}

std::vector<std::string> StalePageNames(const std::vector<std::string>& names, int page_count) {
  std::vector<std::pair<int, std::string>> stale;
  for (const std::string& name : names) {
    const std::optional<int> n = GeneratedPageNumber(name);
    if (n && *n >= page_count) stale.emplace_back(*n, name);
  }
  std::sort(stale.begin(), stale.end());
  std::vector<std::string> result;
  result.reserve(stale.size());
  for (auto& entry : stale) result.push_back(std::move(entry.second));
  return result;
}

std::vector<std::string> ListStaleFiles(TFileSystem& fs, const std::string& folder, int page_count,
                                        const std::vector<std::string>& written) {
  std::vector<std::string> names;
  if (!fs.ListRegularFiles(folder, names)) return {};
  std::vector<std::string> stale = StalePageNames(names, page_count);
  std::vector<std::pair<int, std::string>> sitemaps;
  for (std::string& name : names) {
    const std::optional<int> n = SitemapFileNumber(name);
    if (n && std::find(written.begin(), written.end(), name) == written.end())
      sitemaps.emplace_back(*n, std::move(name));
  }
  std::sort(sitemaps.begin(), sitemaps.end());
  for (auto& entry : sitemaps) stale.push_back(std::move(entry.second));
  return stale;
}

std::vector<std::string> RemoveStaleFiles(TFileSystem& fs, const std::string& folder,
                                          const std::vector<std::string>& names) {
  std::vector<std::string> removed;
  for (const std::string& name : names) {
    if (!GeneratedPageNumber(name) && !SitemapFileNumber(name)) continue;
    int error_code = 0;
    if (fs.RemoveFile(FilePathIn(folder, name), &error_code)) removed.push_back(name);
  }
  return removed;
}

}  // namespace orvana
