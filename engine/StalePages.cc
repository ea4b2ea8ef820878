#include "StalePages.h"

#include <algorithm>
#include <climits>

#include "SiteOutput.h"

namespace orvana {

std::optional<int> GeneratedPageNumber(std::string_view name) {
  constexpr std::string_view kPrefix = "page", kSuffix = ".html";
  if (name.size() <= kPrefix.size() + kSuffix.size() || !name.starts_with(kPrefix) ||
      !name.ends_with(kSuffix))
    return std::nullopt;
  const std::string_view digits =
      name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  if (digits[0] == '0') return std::nullopt;
  long long n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
    if (n > INT_MAX) return std::nullopt;
  }
  return static_cast<int>(n);
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
  std::vector<std::string> removed;
  for (const std::string& name : names) {
    if (!GeneratedPageNumber(name)) continue;
    int error_code = 0;
    if (fs.RemoveFile(FilePathIn(folder, name), &error_code)) removed.push_back(name);
  }
  return removed;
}

}  // namespace orvana
