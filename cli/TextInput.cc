#include "cli/TextInput.h"

#include <sys/stat.h>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#define ORVANA_MAP_INPUT 1
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "cli/CliError.h"
#include "engine/CodePage.h"
#include "engine/FileSystem.h"

namespace orvana::cli {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

[[noreturn]] void ThrowCannotOpen(const std::string& path, int error_code) {
  throw ECliError("Cannot open file \"" + AbsoluteUtf8Path(path) + "\". " +
                  SystemErrorText(error_code));
}

// "--OPTION: ", or nothing without an option.
std::string OptionPrefix(std::string_view option) {
  return option.empty() ? std::string() : "--" + std::string(option) + ": ";
}

[[noreturn]] void ThrowTooLarge(const std::string& path, std::string_view option,
                                uint64_t max_bytes) {
  constexpr uint64_t kGiB = uint64_t{1} << 30;
  throw ECliError(OptionPrefix(option) + InputName(path) + " is larger than " +
                  (max_bytes % kGiB == 0 ? std::to_string(max_bytes / kGiB) + " GiB"
                                         : std::to_string(max_bytes) + " bytes"));
}

std::string ReadStream(std::FILE* file, const std::string& path, std::string_view option,
                       uint64_t max_bytes) {
  std::string bytes;
  // A regular file is read straight into a buffer of its size; anything
  // else (a pipe, a terminal) grows as it comes.
  struct stat st;
  if (::fstat(::fileno(file), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    bytes.reserve(static_cast<size_t>(std::min<uint64_t>(st.st_size, max_bytes)) + 1);
  char buffer[65536];
  for (;;) {
    // Reads of the buffer's size and more bypass the stream's own buffer.
    const size_t room = bytes.capacity() - bytes.size();
    if (room >= sizeof buffer) {
      const size_t old = bytes.size();
      bytes.resize(bytes.capacity());
      const size_t n = std::fread(bytes.data() + old, 1, room, file);
      bytes.resize(old + n);
      if (bytes.size() > max_bytes) ThrowTooLarge(path, option, max_bytes);
      if (n < room) break;
      continue;
    }
    const size_t n = std::fread(buffer, 1, sizeof buffer, file);
    bytes.append(buffer, n);
    if (bytes.size() > max_bytes) ThrowTooLarge(path, option, max_bytes);
    if (n < sizeof buffer) break;
  }
  // A folder opens fine on POSIX systems and fails only at the first read.
  if (std::ferror(file)) ThrowCannotOpen(path, errno != 0 ? errno : EIO);
  return bytes;
}

}  // namespace

std::optional<TInputEncoding> ParseInputEncoding(std::string_view name) {
  std::string lower(name);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (lower == "utf-8") return TInputEncoding::kUtf8;
  if (lower == "windows-1251") return TInputEncoding::kWindows1251;
  return std::nullopt;
}

TStringList SplitLines(std::string_view text) {
  TStringList lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    size_t end = lf;
    if (end > start && text[end - 1] == '\r') --end;
    lines.emplace_back(text.substr(start, end - start));
    start = lf + 1;
  }
  return lines;
}

size_t CharactersOutsideCp1251(std::string_view utf8) {
  size_t count = 0;
  std::string converted;
  AppendUtf8AsCp1251(utf8, converted, [&count](size_t, long) {
    ++count;
    return true;
  });
  return count;
}

size_t DropBlankLines(TStringList& lines) {
  const size_t before = lines.size();
  std::erase_if(lines, [](const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos;
  });
  return before - lines.size();
}

std::string InputName(const std::string& path) {
  if (path == "-") return "standard input";
  std::string name = "\"";
  name += AbsoluteUtf8Path(path);
  name += '"';
  return name;
}

std::string ReadInputFile(const std::string& path, std::string_view option, uint64_t max_bytes) {
  if (path == "-") return ReadStream(stdin, path, option, max_bytes);
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) ThrowCannotOpen(path, errno);
  return ReadStream(file.get(), path, option, max_bytes);
}

namespace {

// An input opened once: a FIFO's writer that has come and gone cannot be
// waited for a second time. A regular file is mapped for reading, so that
// its bytes are converted straight from the page cache rather than copied
// into a buffer first; anything else (standard input, a pipe, a file that
// cannot be mapped) is read as a stream from the same descriptor.
class TOpenedInput {
 public:
  TOpenedInput(const std::string& path, std::string_view option, uint64_t max_bytes) {
    if (path == "-") {
      bytes_ = ReadStream(stdin, path, option, max_bytes);
      return;
    }
    errno = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) ThrowCannotOpen(path, errno);
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
      if (static_cast<uint64_t>(st.st_size) > max_bytes) {
        ::close(fd);
        ThrowTooLarge(path, option, max_bytes);
      }
#ifdef ORVANA_MAP_INPUT
      const auto size = static_cast<size_t>(st.st_size);
      void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
      if (data != MAP_FAILED) {
        ::madvise(data, size, MADV_SEQUENTIAL);
        data_ = static_cast<const char*>(data);
        size_ = size;
        ::close(fd);
        return;
      }
#endif
    }
    std::unique_ptr<std::FILE, FileCloser> file(::fdopen(fd, "rb"));
    if (!file) {
      const int error = errno;
      ::close(fd);
      ThrowCannotOpen(path, error);
    }
    bytes_ = ReadStream(file.get(), path, option, max_bytes);
  }
  TOpenedInput(const TOpenedInput&) = delete;
  TOpenedInput& operator=(const TOpenedInput&) = delete;
  ~TOpenedInput() {
#ifdef ORVANA_MAP_INPUT
    if (data_) ::munmap(const_cast<char*>(data_), size_);
#endif
  }

  std::string_view Bytes() const { return data_ ? std::string_view(data_, size_) : bytes_; }

 private:
  const char* data_ = nullptr;
  size_t size_ = 0;
  std::string bytes_;
};

// UTF-8 text checked, converted and cut into lines a line at a time: each line is
// converted into one scratch buffer and copied out at its final size, so the
// whole converted text is never held twice. A UTF-8 sequence cannot hold a
// line feed, so cutting first converts the same characters.
TInputText DecodeInputLines(std::string_view utf8, const std::string& path) {
  if (utf8.substr(0, kByteOrderMark.size()) == kByteOrderMark)
    utf8.remove_prefix(kByteOrderMark.size());
  TInputText input;
  std::string scratch;
  size_t line = 0;
  bool malformed = false;
  const std::function<bool(size_t, long)> stop = [&](size_t, long code_point) {
    if (code_point < 0) {
      malformed = true;
      return false;
    }
    // A character the code page lacks.
    if (input.unmapped++ == 0) input.first_unmapped_line = line;
    return true;
  };
  size_t start = 0;
  while (start < utf8.size()) {
    const size_t lf = utf8.find('\n', start);
    const size_t end = lf == std::string_view::npos ? utf8.size() : lf;
    ++line;
    scratch.clear();
    AppendUtf8AsCp1251(utf8.substr(start, end - start), scratch, stop);
    if (malformed)
      throw ECliError("Cannot read " + InputName(path) + " as UTF-8: line " + std::to_string(line) +
                      " holds bytes that are not UTF-8 (for a file in Windows-1251, give "
                      "--input-encoding windows-1251)");
    size_t length = scratch.size();
    if (lf != std::string_view::npos && length > 0 && scratch[length - 1] == '\r') --length;
    input.lines.emplace_back(scratch.data(), length);
    if (lf == std::string_view::npos) break;
    start = lf + 1;
  }
  return input;
}

// "little-endian" or "big-endian" for text that is UTF-16: it starts with
// UTF-16's byte-order mark, or, in its first kilobyte, NUL bytes fill at least
// half of the odd (or even) positions and none of the others, as ASCII
// letters in UTF-16 do. Null for anything else.
const char* Utf16ByteOrder(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) return "little-endian";
  if (bytes.starts_with("\xFE\xFF")) return "big-endian";
  const size_t pairs = std::min<size_t>(bytes.size(), 1024) / 2;
  size_t nul[2] = {0, 0};
  for (size_t i = 0; i < pairs * 2; ++i) nul[i % 2] += bytes[i] == '\0';
  if (pairs == 0) return nullptr;
  if (nul[0] == 0 && nul[1] * 2 >= pairs) return "little-endian";
  if (nul[1] == 0 && nul[0] * 2 >= pairs) return "big-endian";
  return nullptr;
}

// Refuses what holds no text to read: a folder, a device (/dev/zero never
// ends), a socket. A path that cannot be looked at is left to the opening,
// which says why.
void RefuseNonTextFile(const std::string& path, std::string_view option) {
  struct stat st;
  if (path == "-" || ::stat(path.c_str(), &st) != 0) return;
  const char* kind = S_ISDIR(st.st_mode)                          ? "a folder"
                     : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                     : S_ISSOCK(st.st_mode)                       ? "a socket"
                                                                  : nullptr;
  if (kind)
    throw ECliError(OptionPrefix(option) + InputName(path) + " is " + kind + ", not a text file");
}

}  // namespace

TInputText ReadInputText(const std::string& path, TInputEncoding encoding, std::string_view option,
                         uint64_t max_bytes) {
  RefuseNonTextFile(path, option);
  const TOpenedInput opened(path, option, max_bytes);
  const std::string_view text = opened.Bytes();
  if (const char* order = Utf16ByteOrder(text))
    throw ECliError(OptionPrefix(option) + InputName(path) + " is UTF-16 (" + order +
                    "), not UTF-8 or Windows-1251: save it as UTF-8");
  if (encoding == TInputEncoding::kWindows1251) {
    TInputText input;
    input.lines = SplitLines(text);
    return input;
  }
  return DecodeInputLines(text, path);
}

}  // namespace orvana::cli
