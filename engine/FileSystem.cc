#include "engine/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace orvana {
namespace {

// More links in a chain than this is taken for a loop, as the kernel does.
constexpr int kMaxLinkHops = 40;

// The folder part of a native path, with its trailing slash ("" for a bare
// name, which lives in the current folder).
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Follows the chain of symbolic links that starts at path to the first name
// that is not a link, or does not exist (the file a dangling link names).
// Relative link texts count from the folder of the link. Returns false with
// the error number for a chain that loops or cannot be read.
bool FollowLinks(const std::string& path, std::string& out, int& error_code) {
  std::string name = path;
  for (int hops = 0;; ++hops) {
    struct stat st;
    if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      out = std::move(name);
      return true;
    }
    if (hops == kMaxLinkHops) {
      error_code = ELOOP;
      return false;
    }
    char buffer[4096];
    const ssize_t n = ::readlink(name.c_str(), buffer, sizeof buffer);
    if (n < 0 || static_cast<size_t>(n) == sizeof buffer) {
      error_code = n < 0 ? errno : ENAMETOOLONG;
      return false;
    }
    std::string link(buffer, static_cast<size_t>(n));
    name = link.starts_with('/') ? std::move(link) : FolderOf(name) + link;
  }
}

// Writes the pieces in order with as few system calls as the kernel allows:
// up to IOV_MAX of them at a time, resuming after a short write. Returns 0 or
// the error number.
int WritePieces(int fd, const std::string_view* pieces, size_t count) {
  constexpr size_t kBatch = 1024;  // IOV_MAX on Linux
  iovec iov[kBatch];
  size_t next = 0;     // first piece not yet in a batch
  size_t skipped = 0;  // bytes of pieces[next] already written
  while (next < count) {
    int n = 0;
    for (size_t i = next; i < count && static_cast<size_t>(n) < kBatch; ++i) {
      const size_t from = i == next ? skipped : 0;
      if (pieces[i].size() == from) continue;
      iov[n].iov_base = const_cast<char*>(pieces[i].data() + from);
      iov[n].iov_len = pieces[i].size() - from;
      ++n;
    }
    if (n == 0) break;
    const ssize_t written = ::writev(fd, iov, n);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    // Step over what went out: whole pieces, then part of the next one.
    size_t left = static_cast<size_t>(written) + skipped;
    skipped = 0;
    while (next < count && left >= pieces[next].size()) {
      left -= pieces[next].size();
      ++next;
    }
    skipped = left;
  }
  return 0;
}

// The mark between a temporary's target name and its owner: no other
// program names its files so, which makes every such file Orvana's own.
constexpr std::string_view kTemporaryMark = ".orvana-tmp-";

// Removes the stale temporaries of a native folder ("" is the current one)
// whose target name (native) `ours` accepts.
void RemoveStaleTemporariesIn(const std::string& native_folder,
                              const std::function<bool(std::string_view)>& ours) {
  const std::string folder = native_folder.empty() ? std::string(".") : native_folder;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const long self = static_cast<long>(::getpid());
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view target;
    const std::optional<long> owner = TemporaryOwner(entry->d_name, &target);
    if (!owner || *owner == self || !ours(target)) continue;
    // Only a process that is gone for certain gives its file up: EPERM means
    // it lives under another user.
    if (::kill(static_cast<pid_t>(*owner), 0) == 0 || errno != ESRCH) continue;
    struct stat st;
    if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode))
      continue;
    stale.emplace_back(entry->d_name);
  }
  for (const std::string& name : stale) (void)::unlinkat(::dirfd(dir), name.c_str(), 0);
  ::closedir(dir);
}

// Creates a new, hidden file next to target; returns its descriptor (or -1
// with errno set) and its name in `name`. The process id is read each time,
// as a forked child must not name its files after its parent.
int OpenTemporaryBeside(const std::string& target, std::string& name) {
  static std::atomic<unsigned> counter{0};
  const std::string pid = std::to_string(::getpid());
  const std::string dir = FolderOf(target);
  const std::string base = target.substr(dir.size());
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = dir + "." + base;
    name += kTemporaryMark;
    name += pid + "-" + std::to_string(counter++);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Makes a rename in the folder durable; a folder that cannot be opened or
// synced leaves the file in place all the same.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

// A replacement in progress: the temporary being written beside the target,
// renamed over it by Commit and removed if the object goes before that.
class TPosixReplacement final : public TFileReplacement {
 public:
  // Opens the file to write, or returns nullptr with the failure.
  static std::unique_ptr<TPosixReplacement> Open(const std::string& path, TReplaceMode mode,
                                                 TWriteFailure* failure) {
    const bool document = mode == TReplaceMode::kDocument;
    auto fail = [&](TWriteFailure::Stage stage, int err) {
      if (failure) *failure = {stage, err};
      return nullptr;
    };
    TTarget t;
    if (!Inspect(path, mode, t, failure)) return nullptr;
    const std::string& target = t.path;
    const struct stat& st = t.st;
    const bool exists = t.exists, link = t.link;
    std::string written;
    const int fd = OpenTemporaryBeside(target, written);
    if (fd < 0) return fail(TWriteFailure::kCreate, errno);
    // The replacement keeps the permissions of the file it replaces; a new
    // file has those of any new file.
    if (exists && !link) (void)::fchmod(fd, st.st_mode & 07777);
    return std::unique_ptr<TPosixReplacement>(
        new TPosixReplacement(fd, document, std::move(target), std::move(written)));
  }

  // What Open finds of a target before it writes.
  struct TTarget {
    std::string path;  // a document's link followed
    struct stat st;
    bool exists = false;
    bool link = false;
  };

  // The checks Open makes before it writes: false with the failure.
  static bool Inspect(const std::string& path, TReplaceMode mode, TTarget& t,
                      TWriteFailure* failure) {
    const bool document = mode == TReplaceMode::kDocument;
    auto fail = [&](TWriteFailure::Stage stage, int err) {
      if (failure) *failure = {stage, err};
      return false;
    };
    t.path = path;
    if (document) {
      int err = 0;
      if (!FollowLinks(t.path, t.path, err)) return fail(TWriteFailure::kCreate, err);
    }
    // Every file, a new one too, is written as a temporary beside it and
    // renamed over its name once whole: a process killed mid-way leaves the
    // name as it was (absent, or the old file), never a file cut short. The
    // rename replaces a symbolic link of that name, not its target.
    t.exists = ::lstat(t.path.c_str(), &t.st) == 0;
    if (!t.exists && errno != ENOENT) return fail(TWriteFailure::kCreate, errno);
    t.link = t.exists && S_ISLNK(t.st.st_mode);
    if (t.exists) {
      if (S_ISDIR(t.st.st_mode)) return fail(TWriteFailure::kCreate, EISDIR);
      if (document && !t.link && !S_ISREG(t.st.st_mode)) return fail(TWriteFailure::kNotRegular, 0);
      // A read-only file is not ours to replace, even though the folder
      // would let a rename do it. A link's own permissions mean nothing.
      if (!t.link && ::access(t.path.c_str(), W_OK) != 0)
        return fail(TWriteFailure::kCreate, errno);
    }
    return true;
  }

  // Inspect, and whether the folder takes the temporary.
  static bool Check(const std::string& path, TReplaceMode mode, TWriteFailure* failure) {
    TTarget t;
    if (!Inspect(path, mode, t, failure)) return false;
    const size_t slash = t.path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : t.path.substr(0, slash);
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
      if (failure) *failure = {TWriteFailure::kCreate, errno};
      return false;
    }
    return true;
  }

  ~TPosixReplacement() override {
    if (fd_ >= 0) ::close(fd_);
    if (!done_) ::unlink(written_.c_str());
  }

  bool Write(const std::string_view* pieces, size_t count, TWriteFailure* failure) {
    if (const int err = orvana::WritePieces(fd_, pieces, count); err != 0)
      return Abandon(err, failure);
    return true;
  }

  bool Write(std::string_view bytes, TWriteFailure* failure) override {
    return Write(&bytes, 1, failure);
  }

  bool WritePieces(const std::vector<std::string_view>& pieces, TWriteFailure* failure) override {
    return Write(pieces.data(), pieces.size(), failure);
  }

  bool Commit(TWriteFailure* failure) override {
    if (document_ && ::fsync(fd_) != 0) return Abandon(errno, failure);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Abandon(errno, failure);
    if (::rename(written_.c_str(), target_.c_str()) != 0) {
      const int err = errno;
      ::unlink(written_.c_str());
      done_ = true;
      if (failure) *failure = {TWriteFailure::kCreate, err};
      return false;
    }
    done_ = true;
    if (document_) {
      SyncFolder(FolderOf(target_));
      const std::string folder = FolderOf(target_);
      const std::string_view name = std::string_view(target_).substr(folder.size());
      RemoveStaleTemporariesIn(folder, [name](std::string_view target) { return target == name; });
    }
    return true;
  }

 private:
  TPosixReplacement(int fd, bool document, std::string target, std::string written)
      : fd_(fd), document_(document), target_(std::move(target)), written_(std::move(written)) {}

  // Gives the file up: closed and removed, the failure reported.
  bool Abandon(int err, TWriteFailure* failure) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    ::unlink(written_.c_str());
    done_ = true;
    if (failure) *failure = {TWriteFailure::kWrite, err};
    return false;
  }

  int fd_;
  bool document_;
  bool done_ = false;
  std::string target_;
  std::string written_;
};

class TPosixFileSystem final : public TFileSystem {
 public:
  bool IsDirectory(const std::string& path) override {
    if (path.empty()) return false;
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  bool ReplaceFile(const std::string& path, std::string_view bytes, TReplaceMode mode,
                   TWriteFailure* failure) override {
    return Replace(path, &bytes, 1, mode, failure);
  }

  std::unique_ptr<TFileReplacement> BeginReplace(const std::string& path, TReplaceMode mode,
                                                 TWriteFailure* failure) override {
    return TPosixReplacement::Open(path, mode, failure);
  }

  bool CanReplace(const std::string& path, TReplaceMode mode, TWriteFailure* failure) override {
    return TPosixReplacement::Check(path, mode, failure);
  }

  std::optional<TFolderSpace> FolderSpace(const std::string& folder) override {
    struct statvfs sv;
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &sv) != 0) return std::nullopt;
    const uint64_t block = sv.f_frsize;
    return TFolderSpace{block, static_cast<uint64_t>(sv.f_bavail) * block};
  }

  uint64_t AllocatedSize(const std::string& path) override {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return static_cast<uint64_t>(st.st_blocks) * 512;  // st_blocks counts 512-byte units
  }

  void RemoveStaleTemporaries(const std::string& folder,
                              const std::function<bool(std::string_view)>& ours) override {
    RemoveStaleTemporariesIn(folder, ours);
  }

  bool ListRegularFiles(const std::string& folder, std::vector<std::string>& names) override {
    names.clear();
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return false;
    while (const dirent* entry = ::readdir(dir)) {
      struct stat st;
      if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISREG(st.st_mode))
        names.push_back(entry->d_name);
    }
    ::closedir(dir);
    return true;
  }

  bool RemoveFile(const std::string& path, int* error_code) override {
    if (::unlink(path.c_str()) == 0) return true;
    if (error_code) *error_code = errno;
    return false;
  }

  // Replacements share nothing but the temporaries' counter, an atomic.
  bool ConcurrentReplaces() const override { return true; }

 private:
  static bool Replace(const std::string& path, const std::string_view* pieces, size_t count,
                      TReplaceMode mode, TWriteFailure* failure) {
    std::unique_ptr<TPosixReplacement> file = TPosixReplacement::Open(path, mode, failure);
    return file && file->Write(pieces, count, failure) && file->Commit(failure);
  }
};

}  // namespace

bool TFileReplacement::WritePieces(const std::vector<std::string_view>& pieces,
                                   TWriteFailure* failure) {
  for (std::string_view piece : pieces)
    if (!Write(piece, failure)) return false;
  return true;
}

namespace {

// Keeps the bytes until Commit hands them to ReplaceFile in one piece, for
// file systems that only know whole replacements.
class TBufferedReplacement final : public TFileReplacement {
 public:
  TBufferedReplacement(TFileSystem& fs, std::string path, TReplaceMode mode)
      : fs_(fs), path_(std::move(path)), mode_(mode) {}
  bool Write(std::string_view bytes, TWriteFailure*) override {
    bytes_ += bytes;
    return true;
  }
  bool Commit(TWriteFailure* failure) override {
    return fs_.ReplaceFile(path_, bytes_, mode_, failure);
  }

 private:
  TFileSystem& fs_;
  std::string path_;
  TReplaceMode mode_;
  std::string bytes_;
};

}  // namespace

std::unique_ptr<TFileReplacement> TFileSystem::BeginReplace(const std::string& path,
                                                            TReplaceMode mode, TWriteFailure*) {
  return std::make_unique<TBufferedReplacement>(*this, path, mode);
}

TFileSystem& RealFileSystem() {
  static TPosixFileSystem fs;
  return fs;
}

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  // The current folder as the system names it, whatever its letters.
  char buf[4096];
  if (!::getcwd(buf, sizeof buf)) return path;
  std::string cwd = buf;
  if (cwd.empty() || cwd.back() != '/') cwd += '/';
  return cwd + path;
}

std::string AbsolutePlatformPath(const std::string& native_path) {
  std::string path = native_path;
  if (!path.starts_with('/')) {
    const std::unique_ptr<char, void (*)(void*)> cwd(::getcwd(nullptr, 0), std::free);
    if (cwd) path = std::string(cwd.get()) + "/" + path;
  }
  const bool rooted = path.starts_with('/');
  std::vector<std::string_view> parts;
  const std::string_view text(path);
  for (size_t at = 0; at <= text.size();) {
    size_t end = text.find('/', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view part = text.substr(at, end - at);
    if (part == "..") {
      // Lexically: "a/.." is nothing, ".." above the root is the root, and a
      // relative path keeps the ".." it cannot take away.
      if (!parts.empty() && parts.back() != "..")
        parts.pop_back();
      else if (!rooted)
        parts.push_back(part);
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::string normal = rooted ? "/" : "";
  for (std::string_view part : parts) {
    if (!normal.empty() && normal.back() != '/') normal += '/';
    normal.append(part);
  }
  return normal.empty() ? std::string(".") : normal;
}

std::string SystemErrorText(int error_code) { return std::strerror(error_code); }

}  // namespace orvana

namespace orvana {

std::optional<long> TemporaryOwner(std::string_view name, std::string_view* target_name) {
  if (name.size() < 2 || name[0] != '.') return std::nullopt;
  const size_t mark = name.rfind(kTemporaryMark);
  if (mark == std::string_view::npos || mark < 2) return std::nullopt;
  const std::string_view rest = name.substr(mark + kTemporaryMark.size());
  const size_t dash = rest.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  auto digits = [](std::string_view s) {
    if (s.empty() || s.size() > 19) return false;
    for (char c : s)
      if (c < '0' || c > '9') return false;
    return true;
  };
  const std::string_view pid = rest.substr(0, dash);
  if (!digits(pid) || !digits(rest.substr(dash + 1)) || pid.size() > 10) return std::nullopt;
  long value = 0;
  for (char c : pid) value = value * 10 + (c - '0');
  // 0 and anything beyond a process id would make kill() address groups or
  // fail; such names are not ours.
  if (value <= 0 || value > INT_MAX) return std::nullopt;
  if (target_name) *target_name = name.substr(1, mark - 1);
  return value;
}

}  // namespace orvana
