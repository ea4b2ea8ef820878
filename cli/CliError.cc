#include "cli/CliError.h"

#include <unistd.h>

namespace orvana::cli {

std::string AbsoluteUtf8Path(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char buffer[4096];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return path;
  std::string absolute = buffer;
  if (absolute.empty() || absolute.back() != '/') absolute += '/';
  return absolute + path;
}

}  // namespace orvana::cli
