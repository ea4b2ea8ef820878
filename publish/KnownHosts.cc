#include "publish/KnownHosts.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "publish/PublishTarget.h"

namespace orvana::publish {

std::string KnownHostsPath(std::string_view xdg_data_home, std::string_view home) {
  // XDG_DATA_HOME counts only when it is an absolute path, as the XDG base
  // directory rules have it; a relative one is ignored.
  if (!xdg_data_home.empty() && xdg_data_home.front() == '/')
    return std::string(xdg_data_home) + "/orvana/known_hosts";
  return std::string(home.empty() ? "/" : home) + "/.local/share/orvana/known_hosts";
}

std::string DefaultKnownHostsPath() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  return KnownHostsPath(xdg ? xdg : "", home ? home : "");
}

std::optional<std::string> StoredHostKey(const std::string& file, const std::string& host_port) {
  std::ifstream in(file);
  std::string line;
  std::optional<std::string> found;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string host, fingerprint;
    if (fields >> host >> fingerprint && host == host_port) found = fingerprint;
  }
  return found;
}

void StoreHostKey(const std::string& file, const std::string& host_port,
                  const std::string& fingerprint) {
  std::string kept;
  {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string host;
      if (fields >> host && host == host_port) continue;
      kept += line + "\n";
    }
  }
  kept += host_port + " " + fingerprint + "\n";
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
  const std::string temporary = file + ".tmp-" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  bool ok = fd >= 0 && ::write(fd, kept.data(), kept.size()) == static_cast<ssize_t>(kept.size());
  ok = fd >= 0 && ::fsync(fd) == 0 && ok;
  if (fd >= 0) ::close(fd);
  if (!ok || ::rename(temporary.c_str(), file.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw EPublishError("cannot store the host key in " + file + ": " + std::strerror(error));
  }
}

std::string Sha256Fingerprint(std::string_view key) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(key.data(), key.size(), digest, &length, EVP_sha256(), nullptr);
  unsigned char base64[2 * EVP_MAX_MD_SIZE];
  int n = EVP_EncodeBlock(base64, digest, static_cast<int>(length));
  while (n > 0 && base64[n - 1] == '=') --n;
  return "SHA256:" + std::string(reinterpret_cast<const char*>(base64), static_cast<size_t>(n));
}

}  // namespace orvana::publish
