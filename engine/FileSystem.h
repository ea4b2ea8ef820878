// The narrow file-system interface the engine writes through.
//
// Paths handed to it are engine strings (Windows-1251); the real file system
// converts them to the platform's UTF-8 names. Tests substitute their own
// implementation to observe writes or inject failures.
#pragma once

#include <string>
#include <string_view>

namespace orvana {

// Why a file could not be replaced, and the system's error number.
struct TWriteFailure {
  enum Stage { kCreate, kWrite } stage;
  int error_code;  // errno
};

class TFileSystem {
 public:
  virtual ~TFileSystem() = default;

  // True when the path names an existing directory. An empty path, a missing
  // path and a path naming a file give false.
  virtual bool IsDirectory(const std::string& path) = 0;

  // Replaces the file at path with exactly the given bytes, atomically: the
  // bytes go to a temporary file in the same folder which is then renamed over
  // the target. On failure the temporary file is removed, the target keeps its
  // old content, and the failure is returned; nothing else is touched. With
  // `durable`, the data reaches the disk before the rename.
  virtual bool ReplaceFile(const std::string& path, std::string_view bytes, bool durable,
                           TWriteFailure* failure) = 0;
};

// The process's real file system.
TFileSystem& RealFileSystem();

// The platform name (UTF-8) of an engine path (Windows-1251).
std::string NativePath(const std::string& path);

// The absolute form of an engine path, for messages: relative paths are
// resolved against the current folder. Returns the path unchanged when the
// current folder cannot be read.
std::string AbsolutePath(const std::string& path);

// The system's text for an error number ("Permission denied").
std::string SystemErrorText(int error_code);

}  // namespace orvana
