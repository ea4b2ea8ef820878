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

  // Replaces the file at path with exactly the given bytes, never leaving it
  // empty or half written: an existing file is replaced by a temporary file
  // written in the same folder and renamed over it; a new file is written
  // under its own name and removed again if the write fails. On failure the
  // target keeps its old content (or stays absent), no temporary file remains,
  // and the failure is returned; nothing else is touched. A read-only target
  // or a folder of that name fails at the kCreate stage. With `durable`, the
  // data reaches the disk before the file takes the target's name.
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
