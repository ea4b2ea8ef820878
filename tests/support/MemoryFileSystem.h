// The engine's memory file system with faults to inject: `fails` picks the
// paths whose write fails (as a full disk would), none when unset, and
// `missing_folder` makes every folder fail the directory test.
#pragma once

#include <cerrno>
#include <functional>
#include <string>

#include "engine/MemoryFileSystem.h"

namespace orvana::test {

class TMemoryFileSystem : public orvana::TMemoryFileSystem {
 public:
  bool IsDirectory(const std::string& path) override {
    return !missing_folder && orvana::TMemoryFileSystem::IsDirectory(path);
  }
  bool ReplaceFile(const std::string& path, std::string_view bytes, TReplaceMode mode,
                   TWriteFailure* failure) override {
    if (fails && fails(path)) {
      if (failure) *failure = {TWriteFailure::kWrite, ENOSPC};
      return false;
    }
    return orvana::TMemoryFileSystem::ReplaceFile(path, bytes, mode, failure);
  }

  bool missing_folder = false;
  std::function<bool(const std::string& path)> fails;
};

}  // namespace orvana::test
