// A file system in memory for tests of what a build writes: every folder
// exists, every write lands in a map by path, in the order made.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/FileSystem.h"

namespace orvana::test {

class TMemoryFileSystem final : public TFileSystem {
 public:
  bool IsDirectory(const std::string& path) override { return !path.empty(); }
  bool ReplaceFile(const std::string& path, std::string_view bytes, TReplaceMode,
                   TWriteFailure*) override {
    files[path] = std::string(bytes);
    order.push_back(path);
    return true;
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
    return files.erase(path) > 0;
  }

  std::map<std::string, std::string> files;
  std::vector<std::string> order;
};

}  // namespace orvana::test
