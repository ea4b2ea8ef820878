// A file system in memory for tests and fuzzers of what a build writes:
// every folder but an empty path exists (unless told it is missing), every
// write lands in a map by path, in the order made. It tells the free space
// it is given, in blocks of one byte, and no file occupies any
// (AllocatedSize stays 0), so the room a build asks for is exactly the bytes
// of the files it is about to write. With `concurrent`, writes may come from
// several threads at once; `fails` picks the paths whose write fails (as a
// full disk would), none when unset.
#pragma once

#include <cerrno>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/FileSystem.h"

namespace orvana::test {

class TMemoryFileSystem final : public TFileSystem {
 public:
  bool IsDirectory(const std::string& path) override { return !path.empty() && !missing_folder; }
  bool ReplaceFile(const std::string& path, std::string_view bytes, TReplaceMode,
                   TWriteFailure* failure) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fails && fails(path)) {
      if (failure) *failure = {TWriteFailure::kWrite, ENOSPC};
      return false;
    }
    files[path] = std::string(bytes);
    order.push_back(path);
    return true;
  }
  bool ConcurrentReplaces() const override { return concurrent; }
  std::optional<TFolderSpace> FolderSpace(const std::string&) override {
    if (!free_bytes) return std::nullopt;
    return TFolderSpace{1, *free_bytes};
  }
  bool ListRegularFiles(const std::string& folder, std::vector<std::string>& names) override {
    names.clear();
    for (const auto& [path, bytes] : files)
      if (path.size() > folder.size() + 1 && path.compare(0, folder.size() + 1, folder + "/") == 0)
        names.push_back(path.substr(folder.size() + 1));
    return true;
  }
  bool RemoveFile(const std::string& path, int* error_code) override {
    if (error_code) *error_code = 0;
    removed.push_back(path);
    return files.erase(path) > 0;
  }

  std::map<std::string, std::string> files;
  std::vector<std::string> order;
  std::vector<std::string> removed;
  // Unset: the free space cannot be told.
  std::optional<uint64_t> free_bytes;
  bool missing_folder = false;
  bool concurrent = false;
  std::function<bool(const std::string& path)> fails;

 private:
  std::mutex mutex_;
};

}  // namespace orvana::test
