#include "TextInput.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "CliError.h"
#include "CodePage.h"
#include "FileSystem.h"

namespace orvana::cli {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

[[noreturn]] void ThrowCannotOpen(const std::string& path, int error_code) {
  throw ECliError("Cannot open file \"" + AbsoluteUtf8Path(path) + "\". " +
                  SystemErrorText(error_code));
}

}  // namespace

TStringList SplitInputLines(std::string_view utf8) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (utf8.substr(0, kByteOrderMark.size()) == kByteOrderMark)
    utf8.remove_prefix(kByteOrderMark.size());
  const std::string text = Utf8ToCp1251(utf8);

  TStringList lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t lf = text.find('\n', start);
    if (lf == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    size_t end = lf;
    if (end > start && text[end - 1] == '\r') --end;
    lines.push_back(text.substr(start, end - start));
    start = lf + 1;
  }
  return lines;
}

std::string ReadInputFile(const std::string& path) {
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) ThrowCannotOpen(path, errno);
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
    bytes.append(buffer, n);
    if (n < sizeof buffer) break;
  }
  // A folder opens fine on POSIX systems and fails only at the first read.
  if (std::ferror(file.get())) ThrowCannotOpen(path, errno != 0 ? errno : EIO);
  return bytes;
}

TStringList ReadInputLines(const std::string& path) { return SplitInputLines(ReadInputFile(path)); }

}  // namespace orvana::cli
