// The narrow file-system interface the engine writes through.
//
// Paths handed to it are the platform's (UTF-8), as the user's folders are
// named, and so is every path above the project file's reader and writer,
// a project's SavePath included (the file stores that one in Windows-1251,
// converted where it is read and written). Tests substitute their own
// implementation to observe writes or inject failures.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvana {

// Why a file could not be replaced, and the system's error number.
struct TWriteFailure {
  // kNotRegular: the name (after following symbolic links, for a document)
  // is something other than a regular file or a folder, such as a FIFO or a
  // device; error_code is 0 then.
  enum Stage { kCreate, kWrite, kNotRegular } stage;
  int error_code;  // errno
};

// What kind of file a replacement writes, which decides how a symbolic link
// of that name is treated.
enum class TReplaceMode {
  // A page or the stylesheet of a generated site. A page never lands outside
  // its folder: a symbolic link of that name (dangling or not) is replaced by
  // the page itself and its target is left alone. Not flushed to disk.
  kSitePage,
  // A document the user chose by name, such as a project file. A symbolic
  // link is followed through its whole chain and the file it names receives
  // the bytes (a dangling last link: the file it names is created), so the
  // link stays a link. The data reaches the disk before the file takes its
  // name. Only regular files are replaced.
  kDocument,
};

// A file being replaced piece by piece: the bytes go to a file that takes
// the target's name only on Commit, with the same guarantees as
// TFileSystem::ReplaceFile. Destroying it before a successful Commit gives
// the replacement up: the target keeps its old content (or stays absent) and
// nothing written remains.
class TFileReplacement {
 public:
  virtual ~TFileReplacement() = default;
  // Appends bytes. On failure (kWrite) the replacement is given up.
  virtual bool Write(std::string_view bytes, TWriteFailure* failure) = 0;
  // Appends the pieces in order, as if they were one string. The default
  // writes them one by one.
  virtual bool WritePieces(const std::vector<std::string_view>& pieces, TWriteFailure* failure);
  // Makes the bytes written the target's content. Called at most once.
  virtual bool Commit(TWriteFailure* failure) = 0;
};

// The room left in the file system that holds a folder.
struct TFolderSpace {
  uint64_t block_size;  // the unit a file's data is allocated in
  uint64_t free_bytes;  // what an unprivileged writer may still put there
};

class TFileSystem {
 public:
  virtual ~TFileSystem() = default;

  // True when the path names an existing directory. An empty path, a missing
  // path and a path naming a file give false.
  virtual bool IsDirectory(const std::string& path) = 0;

  // Replaces the file at path with exactly the given bytes, never leaving it
  // empty or half written: the bytes go to a temporary file
  // ".NAME.orvana-tmp-PID-N" in the same folder, renamed over the name once
  // whole, for a new file as for an existing one, so that a process killed
  // at any point leaves the name absent, old or new. On failure the target keeps its old
  // content (or stays absent), no temporary file remains, and the failure is
  // returned; nothing else is touched. A read-only target or a folder of that
  // name fails at the kCreate stage; a document that is neither a regular
  // file nor a folder fails at kNotRegular. A document replaced successfully
  // also removes the temporaries that dead processes left for that one
  // document's name (see RemoveStaleTemporaries).
  virtual bool ReplaceFile(const std::string& path, std::string_view bytes, TReplaceMode mode,
                           TWriteFailure* failure) = 0;

  // Starts replacing the file at path, as ReplaceFile would, for bytes that
  // arrive over time. Returns nullptr with the failure when the file cannot
  // be created. The default keeps the bytes and calls ReplaceFile on Commit.
  virtual std::unique_ptr<TFileReplacement> BeginReplace(const std::string& path, TReplaceMode mode,
                                                         TWriteFailure* failure);

  // The block size and free bytes of the file system that holds the folder,
  // or nothing when they cannot be told. The default cannot tell.
  virtual std::optional<TFolderSpace> FolderSpace(const std::string& /*folder*/) {
    return std::nullopt;
  }

  // The bytes of storage the regular file at path occupies (whole blocks, as
  // the file system counts them), which replacing it gives back; 0 when there
  // is none or it is something else, a symbolic link included (never
  // followed). The default tells 0.
  virtual uint64_t AllocatedSize(const std::string& /*path*/) { return 0; }

  // Removes from the folder the temporaries of ReplaceFile's naming
  // (".NAME.orvana-tmp-PID-N", regular files only) whose process no longer
  // exists and whose NAME, the file they were to replace (Windows-1251, as
  // the engine names its files), `ours` accepts: a process killed in the
  // middle of a replacement leaves them. Files of live processes, of other
  // targets and every other entry stay. The default does nothing.
  virtual void RemoveStaleTemporaries(
      const std::string& /*folder*/,
      const std::function<bool(std::string_view target_name)>& /*ours*/) {}

  // The names (not paths) of the regular files directly in the folder,
  // symbolic links not followed and so not listed, in no particular order.
  // False when the folder cannot be read. The default lists nothing.
  virtual bool ListRegularFiles(const std::string& /*folder*/, std::vector<std::string>& names) {
    names.clear();
    return false;
  }

  // Removes the one file at path (a symbolic link itself, never its target).
  // False, with the system's error number, when it cannot. The default
  // removes nothing.
  virtual bool RemoveFile(const std::string& /*path*/, int* error_code) {
    if (error_code) *error_code = 0;
    return false;
  }

  // Whether a replacement of the path would begin, asked without writing
  // anything: false with the failure BeginReplace would give (a folder of
  // that name, a file not ours to replace, a folder that takes no new
  // file). The default says yes.
  virtual bool CanReplace(const std::string& /*path*/, TReplaceMode /*mode*/,
                          TWriteFailure* /*failure*/) {
    return true;
  }

  // True when replacements (ReplaceFile, BeginReplace) may run on several
  // threads at once, each replacing a file of its own. The default says no.
  virtual bool ConcurrentReplaces() const { return false; }
};

// The process's real file system.
TFileSystem& RealFileSystem();

// The absolute form of a path, for messages: a relative path is put after
// the current folder as the system names it. Returns the path unchanged when
// the current folder cannot be read.
std::string AbsolutePath(const std::string& path);

// The absolute form of a path for reports: a relative path is resolved
// against the current folder, and the result is normalised by its text
// alone: no empty or "." component, a ".." takes the component before it
// away (none above the root), no trailing "/" but for the root itself. A
// current folder that cannot be read leaves a relative path relative.
std::string AbsolutePlatformPath(const std::string& native_path);

// The system's text for an error number ("Permission denied").
std::string SystemErrorText(int error_code);

// The text for a name that is neither a regular file nor a folder.
inline constexpr std::string_view kNotRegularFileText = "Not a regular file";

// The process id that a name of ReplaceFile's temporary naming
// (".NAME.orvana-tmp-PID-N", NAME not empty, PID and N decimal) carries, or
// nothing for any other name. When given, `target_name` receives NAME, a view
// into `file_name`.
std::optional<long> TemporaryOwner(std::string_view file_name,
                                   std::string_view* target_name = nullptr);

}  // namespace orvana
