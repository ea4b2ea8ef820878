#include "engine/MemoryFileSystem.h"

namespace orvana {

bool TMemoryFileSystem::ReplaceFile(const std::string& path, std::string_view bytes, TReplaceMode,
                                    TWriteFailure*) {
  std::lock_guard<std::mutex> lock(mutex_);
  files[path] = std::string(bytes);
  order.push_back(path);
  return true;
}

std::optional<TFolderSpace> TMemoryFileSystem::FolderSpace(const std::string&) {
  if (!free_bytes) return std::nullopt;
  return TFolderSpace{1, *free_bytes};
}

bool TMemoryFileSystem::ListRegularFiles(const std::string& folder,
                                         std::vector<std::string>& names) {
  std::lock_guard<std::mutex> lock(mutex_);
  names.clear();
  const std::string prefix = folder + "/";
  for (const auto& [path, bytes] : files)
    if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0)
      names.push_back(path.substr(prefix.size()));
  return true;
}

bool TMemoryFileSystem::RemoveFile(const std::string& path, int* error_code) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (error_code) *error_code = 0;
  removed.push_back(path);
  return files.erase(path) > 0;
}

}  // namespace orvana
