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

// Removes those of the named files that `ours` accepts.
template <typename Check>
std::vector<std::string> RemoveChecked(TFileSystem& fs, const std::string& folder,
                                       const std::vector<std::string>& names, Check ours) {
  std::vector<std::string> removed;
  for (const std::string& name : names) {
    if (!ours(name)) continue;
    int error_code = 0;
    if (fs.RemoveFile(FilePathIn(folder, name), &error_code)) removed.push_back(name);
  }
  return removed;
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

std::vector<std::string> ListStalePages(TFileSystem& fs, const std::string& folder,
                                        int page_count) {
  std::vector<std::string> names;
  if (!fs.ListRegularFiles(folder, names)) return {};
  return StalePageNames(names, page_count);
}

std::vector<std::string> RemoveStalePages(TFileSystem& fs, const std::string& folder,
                                          const std::vector<std::string>& names) {
  return RemoveChecked(fs, folder, names,
                       [](const std::string& name) { return GeneratedPageNumber(name); });
}

std::vector<std::string> ListStaleSitemaps(TFileSystem& fs, const std::string& folder,
                                           const std::vector<std::string>& written) {
  std::vector<std::string> names;
  if (!fs.ListRegularFiles(folder, names)) return {};
  std::vector<std::pair<int, std::string>> stale;
  for (std::string& name : names) {
    const std::optional<int> n = SitemapFileNumber(name);
    if (n && std::find(written.begin(), written.end(), name) == written.end())
      stale.emplace_back(*n, std::move(name));
  }
  std::sort(stale.begin(), stale.end());
  std::vector<std::string> result;
  for (auto& entry : stale) result.push_back(std::move(entry.second));
  return result;
}

std::vector<std::string> RemoveStaleSitemaps(TFileSystem& fs, const std::string& folder,
                                             const std::vector<std::string>& names) {
  return RemoveChecked(fs, folder, names,
                       [](const std::string& name) { return SitemapFileNumber(name); });
}

}  // namespace orvana
