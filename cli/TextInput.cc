#include "TextInput.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "CliError.h"
#include "CodePage.h"
#include "FileSystem.h"

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

std::string ReadStream(std::FILE* file, const std::string& path) {
  std::string bytes;
  // A regular file is read straight into a buffer of its size; anything
  // else (a pipe, a terminal) grows as it comes.
  struct stat st;
  if (::fstat(::fileno(file), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    bytes.reserve(static_cast<size_t>(st.st_size) + 1);
  char buffer[65536];
  for (;;) {
    // Reads of the buffer's size and more bypass the stream's own buffer.
    const size_t room = bytes.capacity() - bytes.size();
    if (room >= sizeof buffer) {
      const size_t old = bytes.size();
      bytes.resize(bytes.capacity());
      const size_t n = std::fread(bytes.data() + old, 1, room, file);
      bytes.resize(old + n);
      if (n < room) break;
      continue;
    }
    const size_t n = std::fread(buffer, 1, sizeof buffer, file);
    bytes.append(buffer, n);
    if (n < sizeof buffer) break;
  }
  // A folder opens fine on POSIX systems and fails only at the first read.
  if (std::ferror(file)) ThrowCannotOpen(path, errno != 0 ? errno : EIO);
  return bytes;
}

// Lines that begin in bytes [from, to), each counted by its line feed.
size_t CountLineFeeds(std::string_view text, size_t from, size_t to) {
  size_t lines = 0;
  for (const char *p = text.data() + from, *end = text.data() + to;
       (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)))); ++p)
    ++lines;
  return lines;
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

TStringList SplitInputLines(std::string_view utf8) {
  if (utf8.substr(0, kByteOrderMark.size()) == kByteOrderMark)
    utf8.remove_prefix(kByteOrderMark.size());
  return SplitLines(Utf8ToCp1251(utf8));
}

TDecodedInput DecodeUtf8Input(std::string_view utf8) {
  if (utf8.substr(0, kByteOrderMark.size()) == kByteOrderMark)
    utf8.remove_prefix(kByteOrderMark.size());
  TDecodedInput decoded;
  decoded.text.reserve(utf8.size());
  // Line numbers are counted only when something is to be reported, up to
  // where it is.
  size_t line = 1;
  size_t counted = 0;
  auto line_at = [&](size_t at) {
    line += CountLineFeeds(utf8, counted, at);
    counted = at;
    return line;
  };
  AppendUtf8AsCp1251(utf8, decoded.text, [&](size_t at, long code_point) {
    if (code_point < 0) {
      decoded.malformed_line = line_at(at);
      return false;
    }
    // A character the code page lacks.
    if (decoded.unmapped++ == 0) decoded.first_unmapped_line = line_at(at);
    return true;
  });
  if (decoded.malformed_line != 0) decoded.text.clear();
  return decoded;
}

std::string InputName(const std::string& path) {
  if (path == "-") return "standard input";
  std::string name = "\"";
  name += AbsoluteUtf8Path(path);
  name += '"';
  return name;
}

std::string ReadInputFile(const std::string& path) {
  if (path == "-") return ReadStream(stdin, path);
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) ThrowCannotOpen(path, errno);
  return ReadStream(file.get(), path);
}

TInputText ReadInputText(const std::string& path, TInputEncoding encoding) {
  std::string bytes = ReadInputFile(path);
  TInputText input;
  if (encoding == TInputEncoding::kWindows1251) {
    input.lines = SplitLines(bytes);
    return input;
  }
  const TDecodedInput decoded = DecodeUtf8Input(bytes);
  // The file is not needed once it is converted.
  std::string().swap(bytes);
  if (decoded.malformed_line != 0)
    throw ECliError("Cannot read " + InputName(path) + " as UTF-8: line " +
                    std::to_string(decoded.malformed_line) +
                    " holds bytes that are not UTF-8 (for a file in Windows-1251, give "
                    "--input-encoding windows-1251)");
  input.lines = SplitLines(decoded.text);
  input.unmapped = decoded.unmapped;
  input.first_unmapped_line = decoded.first_unmapped_line;
  return input;
}

}  // namespace orvana::cli
