#include "cli/CliError.h"

#include <unistd.h>

namespace orvana::cli {

std::string AbsoluteUtf8Path(const std::string& path) {
  return PrintablePath(AbsoluteUtf8PathBytes(path));
}

std::string PrintablePath(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(name.size());
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      out += c;
    } else if (c == '\n' || c == '\r' || c == '\t') {
      out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
    } else {
      ((out += "\\x") += kHex[byte >> 4]) += kHex[byte & 15];
    }
  }
  return out;
}

std::string AbsoluteUtf8PathBytes(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char buffer[4096];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return path;
  std::string absolute = buffer;
  if (absolute.empty() || absolute.back() != '/') absolute += '/';
  return absolute + path;
}

}  // namespace orvana::cli
