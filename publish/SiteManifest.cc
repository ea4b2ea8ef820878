#include "publish/SiteManifest.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

#include "publish/PublishTarget.h"

namespace orvana::publish {
namespace {

constexpr char kHex[] = "0123456789abcdef";

struct TDigestContext {
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx{EVP_MD_CTX_new(), EVP_MD_CTX_free};
  TDigestContext() { EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr); }
  void Add(const void* data, size_t size) { EVP_DigestUpdate(ctx.get(), data, size); }
  std::string Hex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(ctx.get(), digest, &length);
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
      hex += kHex[digest[i] >> 4];
      hex += kHex[digest[i] & 15];
    }
    return hex;
  }
};

// A small reader of exactly the JSON the manifest holds: an object whose
// "files" member is an object of {"sha256": string, "size": number}.
class TManifestReader {
 public:
  explicit TManifestReader(std::string_view text) : text_(text) {}

  bool Read(TManifest& out) {
    if (!Char('{')) return false;
    if (Char('}')) return End();
    do {
      std::string key;
      if (!String(key) || !Char(':')) return false;
      if (key == "files") {
        if (!Files(out)) return false;
      } else if (!SkipValue()) {
        return false;
      }
    } while (Char(','));
    return Char('}') && End();
  }

 private:
  void Blank() {
    while (at_ < text_.size() && std::strchr(" \t\r\n", text_[at_])) ++at_;
  }
  bool Char(char c) {
    Blank();
    if (at_ < text_.size() && text_[at_] == c) return ++at_, true;
    return false;
  }
  bool End() {
    Blank();
    return at_ == text_.size();
  }
  bool String(std::string& out) {
    if (!Char('"')) return false;
    while (at_ < text_.size() && text_[at_] != '"') {
      char c = text_[at_++];
      if (static_cast<unsigned char>(c) < 32) return false;
      if (c == '\\') {
        if (at_ >= text_.size()) return false;
        c = text_[at_++];
        // Only the escapes the writer makes: names with other characters
        // are refused anyway.
        if (c != '"' && c != '\\' && c != '/') return false;
      }
      out += c;
    }
    return Char('"');
  }
  bool Number(uint64_t& out) {
    Blank();
    const size_t start = at_;
    out = 0;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
      if (out > (UINT64_MAX - 9) / 10) return false;
      out = out * 10 + static_cast<uint64_t>(text_[at_++] - '0');
    }
    return at_ > start;
  }
  bool SkipValue() {
    Blank();
    std::string s;
    uint64_t n = 0;
    if (at_ < text_.size() && text_[at_] == '"') return String(s);
    return Number(n);
  }
  bool Files(TManifest& out) {
    if (!Char('{')) return false;
    if (Char('}')) return true;
    do {
      std::string name;
      TFileDigest digest;
      bool has_sha = false, has_size = false;
      if (!String(name) || !Char(':') || !Char('{')) return false;
      do {
        std::string key;
        if (!String(key) || !Char(':')) return false;
        if (key == "sha256") {
          if (!String(digest.sha256) || digest.sha256.size() != 64 ||
              digest.sha256.find_first_not_of(kHex) != std::string::npos)
            return false;
          has_sha = true;
        } else if (key == "size") {
          if (!Number(digest.size)) return false;
          has_size = true;
        } else if (!SkipValue()) {
          return false;
        }
      } while (Char(','));
      if (!Char('}') || !has_sha || !has_size) return false;
      if (IsSiteFileName(name)) out[name] = digest;
    } while (Char(','));
    return Char('}');
  }

  std::string_view text_;
  size_t at_ = 0;
};

}  // namespace

std::string Sha256Hex(std::string_view bytes) {
  TDigestContext context;
  context.Add(bytes.data(), bytes.size());
  return context.Hex();
}

bool IsSiteFileName(std::string_view name) {
  if (name.empty() || name.front() == '.' || name.size() > 255) return false;
  for (const char c : name)
    if (c == '/' || c == '\\' || c == '"' || static_cast<unsigned char>(c) < 32 || c == 127)
      return false;
  return true;
}

std::string ManifestToJson(const TManifest& manifest) {
  std::string out = "{\"format\":1,\"files\":{";
  bool first = true;
  for (const auto& [name, digest] : manifest) {
    if (!first) out += ',';
    first = false;
    out += "\n\"";
    for (const char c : name) {
      if (c == '\\') out += '\\';
      out += c;
    }
    out += "\":{\"sha256\":\"" + digest.sha256 + "\",\"size\":" + std::to_string(digest.size) + "}";
  }
  return out + "}}\n";
}

std::optional<TManifest> ManifestFromJson(std::string_view json) {
  TManifest manifest;
  if (!TManifestReader(json).Read(manifest)) return std::nullopt;
  return manifest;
}

TManifest ScanSiteFolder(const std::string& folder, std::vector<std::string>* skipped) {
  namespace fs = std::filesystem;
  TManifest site;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) throw EPublishError("cannot read the site folder " + folder + ": " + ec.message());
  for (const fs::directory_entry& entry : it) {
    const std::string name = entry.path().filename().string();
    if (name.front() == '.') continue;
    const fs::file_status status = entry.symlink_status();
    if (!fs::is_regular_file(status) || !IsSiteFileName(name)) {
      if (skipped) skipped->push_back(name);
      continue;
    }
    const int fd = ::open(entry.path().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
      throw EPublishError("cannot read " + entry.path().string() + ": " + std::strerror(errno));
    TDigestContext context;
    TFileDigest digest;
    char buffer[1 << 16];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        const int error = errno;
        ::close(fd);
        throw EPublishError("cannot read " + entry.path().string() + ": " + std::strerror(error));
      }
      if (n == 0) break;
      context.Add(buffer, static_cast<size_t>(n));
      digest.size += static_cast<uint64_t>(n);
    }
    ::close(fd);
    digest.sha256 = context.Hex();
    site[name] = digest;
  }
  return site;
}

}  // namespace orvana::publish
