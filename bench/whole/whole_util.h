// Small helpers shared by the whole-program benchmark's programs.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <vector>

namespace orvana::bench {

// Seconds on a monotonic clock.
inline double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The median of the values (the mean of the middle two for an even count).
inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// Removes everything inside the folder, keeping the folder, and then, with
// `flush`, writes dirty pages of earlier runs to disk, so that every timed run
// starts from the same state. Returns false when the folder cannot be emptied.
inline bool EmptyFolder(const std::filesystem::path& dir, bool flush) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    std::filesystem::remove_all(entry.path(), ec);
    if (ec) return false;
  }
  if (ec) return false;
  if (flush) ::sync();
  return true;
}

}  // namespace orvana::bench
