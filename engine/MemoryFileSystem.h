// A file system in memory: a site built into it stays in its map, by path,
// for a preview to serve or a test to read. Every folder but an empty path
// exists; every write lands in the map in the order made (`order`), and
// removals are listed (`removed`). It tells the free space it is given, in
// blocks of one byte, and no file occupies any (AllocatedSize stays 0), so
// the room a build asks for is exactly the bytes of the files it is about
// to write. With `concurrent`, writes may come from several threads at once.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/FileSystem.h"

namespace orvana {

class TMemoryFileSystem : public TFileSystem {
 public:
  bool IsDirectory(const std::string& path) override { return !path.empty(); }
  bool ReplaceFile(const std::string& path, std::string_view bytes, TReplaceMode mode,
                   TWriteFailure* failure) override;
  bool ConcurrentReplaces() const override { return concurrent; }
  std::optional<TFolderSpace> FolderSpace(const std::string& folder) override;
  bool ListRegularFiles(const std::string& folder, std::vector<std::string>& names) override;
  bool RemoveFile(const std::string& path, int* error_code) override;

  std::map<std::string, std::string> files;
  std::vector<std::string> order;
  std::vector<std::string> removed;
  // Unset: the free space cannot be told.
  std::optional<uint64_t> free_bytes;
  bool concurrent = false;

 protected:
  std::mutex mutex_;
};

}  // namespace orvana
