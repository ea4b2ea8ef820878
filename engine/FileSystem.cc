#include "FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "CodePage.h"

namespace orvana {
namespace {

class TPosixFileSystem final : public TFileSystem {
 public:
  bool IsDirectory(const std::string& path) override {
    if (path.empty()) return false;
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  bool ReplaceFile(const std::string& path, std::string_view bytes, bool durable,
                   TWriteFailure* failure) override {
    const std::string target = NativePath(path);
    auto fail = [&](TWriteFailure::Stage stage, int err) {
      if (failure) *failure = {stage, err};
      return false;
    };

    // A file that does not exist yet has no old content to protect: it is
    // written under its own name and removed again if the write fails. Only
    // an existing file takes the detour through a temporary file and a
    // rename, which costs a new inode per file.
    std::string written = target;
    bool via_temp = false;
    int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno != EEXIST) return fail(TWriteFailure::kCreate, errno);
      struct stat st;
      if (::stat(target.c_str(), &st) != 0) return fail(TWriteFailure::kCreate, errno);
      if (S_ISDIR(st.st_mode)) return fail(TWriteFailure::kCreate, EISDIR);
      // A read-only file is not ours to replace, even though the folder
      // would let a rename do it.
      if (::access(target.c_str(), W_OK) != 0) return fail(TWriteFailure::kCreate, errno);
      fd = OpenTemporaryBeside(target, written);
      if (fd < 0) return fail(TWriteFailure::kCreate, errno);
      via_temp = true;
      // The replacement keeps the permissions of the file it replaces.
      (void)::fchmod(fd, st.st_mode & 07777);
    }

    auto abandon = [&](int err) {
      ::unlink(written.c_str());
      return fail(TWriteFailure::kWrite, err);
    };
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
      const ssize_t n = ::write(fd, p, left);
      if (n < 0) {
        if (errno == EINTR) continue;
        const int err = errno;
        ::close(fd);
        return abandon(err);
      }
      p += n;
      left -= static_cast<size_t>(n);
    }
    if (durable && ::fsync(fd) != 0) {
      const int err = errno;
      ::close(fd);
      return abandon(err);
    }
    if (::close(fd) != 0) return abandon(errno);
    if (via_temp && ::rename(written.c_str(), target.c_str()) != 0) {
      const int err = errno;
      ::unlink(written.c_str());
      return fail(TWriteFailure::kCreate, err);
    }
    return true;
  }

 private:
  // Creates a new, hidden file next to target; returns its descriptor (or -1
  // with errno set) and its name in `name`.
  static int OpenTemporaryBeside(const std::string& target, std::string& name) {
    static const std::string pid = std::to_string(::getpid());
    static std::atomic<unsigned> counter{0};
    const size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
      name = dir + "." + base + ".tmp-" + pid + "-" + std::to_string(counter++);
      const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
  }
};

}  // namespace

TFileSystem& RealFileSystem() {
  static TPosixFileSystem fs;
  return fs;
}

std::string NativePath(const std::string& path) { return Cp1251ToUtf8(path); }

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char buf[4096];
  if (!::getcwd(buf, sizeof buf)) return path;
  std::string cwd = Utf8ToCp1251(buf);
  if (cwd.empty() || cwd.back() != '/') cwd += '/';
  return cwd + path;
}

std::string SystemErrorText(int error_code) { return std::strerror(error_code); }

}  // namespace orvana
