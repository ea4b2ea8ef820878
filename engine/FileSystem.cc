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

    // A read-only file of that name is not ours to replace, even though the
    // folder would let a rename do it.
    struct stat st;
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists) {
      if (S_ISDIR(st.st_mode)) return fail(TWriteFailure::kCreate, EISDIR);
      if (::access(target.c_str(), W_OK) != 0) return fail(TWriteFailure::kCreate, errno);
    }

    const size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      temp = dir + "." + base + ".tmp-" + std::to_string(::getpid()) + "-" +
             std::to_string(counter++);
      fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0 && errno != EEXIST) return fail(TWriteFailure::kCreate, errno);
    }
    if (fd < 0) return fail(TWriteFailure::kCreate, EEXIST);
    // A replaced file keeps its permissions, as it would if it were rewritten.
    if (exists) (void)::fchmod(fd, st.st_mode & 07777);

    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
      const ssize_t n = ::write(fd, p, left);
      if (n < 0) {
        if (errno == EINTR) continue;
        const int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return fail(TWriteFailure::kWrite, err);
      }
      p += n;
      left -= static_cast<size_t>(n);
    }
    if (durable && ::fsync(fd) != 0) {
      const int err = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      return fail(TWriteFailure::kWrite, err);
    }
    if (::close(fd) != 0) {
      const int err = errno;
      ::unlink(temp.c_str());
      return fail(TWriteFailure::kWrite, err);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
      const int err = errno;
      ::unlink(temp.c_str());
      return fail(TWriteFailure::kCreate, err);
    }
    return true;
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
