#include "TextInput.h"

#include <cerrno>
#include <cstdio>
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
  char buffer[65536];
  for (;;) {
    const size_t n = std::fread(buffer, 1, sizeof buffer, file);
    bytes.append(buffer, n);
    if (n < sizeof buffer) break;
  }
  // A folder opens fine on POSIX systems and fails only at the first read.
  if (std::ferror(file)) ThrowCannotOpen(path, errno != 0 ? errno : EIO);
  return bytes;
}

// The code point of the UTF-8 sequence at `p[i]`, with its length in `len`;
// -1 for a sequence UTF-8 does not allow (then `len` is how many bytes it
// spans, at least 1): a stray continuation byte, an invalid lead byte, a
// truncated sequence, an overlong form, a surrogate or a value past U+10FFFF.
long DecodeOne(const unsigned char* p, size_t n, size_t i, size_t& len) {
  const unsigned char c = p[i];
  len = 1;
  if (c < 0x80) return c;
  size_t need = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((c & 0xE0) == 0xC0) {
    need = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    need = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    need = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return -1;
  }
  size_t k = 1;
  for (; k < need && i + k < n && (p[i + k] & 0xC0) == 0x80; ++k)
    cp = (cp << 6) | (p[i + k] & 0x3F);
  len = k;
  if (k < need || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  return static_cast<long>(cp);
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
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t n = utf8.size();
  size_t line = 1;
  for (size_t i = 0; i < n;) {
    size_t len = 0;
    const long cp = DecodeOne(p, n, i, len);
    if (cp < 0) {
      decoded.text.clear();
      decoded.malformed_line = line;
      return decoded;
    }
    if (cp == '\n') ++line;
    const int byte = UnicodeToCp1251(static_cast<char32_t>(cp));
    if (byte < 0) {
      if (decoded.unmapped++ == 0) decoded.first_unmapped_line = line;
      decoded.text += '?';
    } else {
      decoded.text += static_cast<char>(byte);
    }
    i += len;
  }
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
  const std::string bytes = ReadInputFile(path);
  TInputText input;
  if (encoding == TInputEncoding::kWindows1251) {
    input.lines = SplitLines(bytes);
    return input;
  }
  const TDecodedInput decoded = DecodeUtf8Input(bytes);
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
