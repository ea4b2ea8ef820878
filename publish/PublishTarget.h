// Where a site is published: the address stored in a project's PublishTo
// extra, read into its parts. Three kinds are taken:
//   sftp://USER@HOST[:PORT]/PATH   SSH file transfer (port 22)
//   ftp://USER@HOST[:PORT]/PATH    FTP that must turn TLS on (AUTH TLS)
//                                  before the user name is sent (port 21)
//   ftps://USER@HOST[:PORT]/PATH   FTP over TLS from the first byte (990)
// An address that carries a password is refused: passwords never live in a
// project, an argument or a log.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orvana::publish {

// A publish that cannot even start as asked: a malformed target or option
// (the command line's usage errors).
class EPublishUsage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A publish that failed on its way: connection, trust, the server's answer.
class EPublishError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The user stopped the publish.
class EPublishCancelled : public EPublishError {
 public:
  using EPublishError::EPublishError;
};

// An SSH host key that is not trusted: unknown, changed since it was
// stored, or not the one the run named. Nothing was sent.
class EHostKeyRefused : public EPublishError {
 public:
  enum TKind { kUnknown, kChanged, kNotTheNamedKey };
  EHostKeyRefused(TKind kind, const std::string& host, const std::string& fingerprint,
                  const std::string& other)
      : EPublishError(Message(kind, host, fingerprint, other)),
        kind_(kind),
        fingerprint_(fingerprint) {}
  TKind kind() const { return kind_; }
  // The server's key, "SHA256:...".
  const std::string& fingerprint() const { return fingerprint_; }

 private:
  static std::string Message(TKind kind, const std::string& host, const std::string& fingerprint,
                             const std::string& other) {
    switch (kind) {
      case kUnknown:
        return "the host key of " + host + " is unknown: " + fingerprint + "; nothing was sent";
      case kChanged:
        return "the host key of " + host + " changed: it was " + other + ", it is now " +
               fingerprint + "; nothing was sent";
      case kNotTheNamedKey:
        return "the host key of " + host + " is " + fingerprint + ", not " + other +
               "; nothing was sent";
    }
    return {};
  }
  TKind kind_;
  std::string fingerprint_;
};

// A TLS certificate that does not verify (self-signed, say) and is not
// pinned. `pin` is its public key's SHA-256 as --pin takes it, read over a
// connection of its own that sent no user name or password of the user's.
class ECertificateRefused : public EPublishError {
 public:
  ECertificateRefused(const std::string& message, const std::string& pin)
      : EPublishError(message), pin_(pin) {}
  const std::string& pin() const { return pin_; }

 private:
  std::string pin_;
};

enum class TTransport { kSftp, kFtpExplicitTls, kFtpImplicitTls };

struct TPublishTarget {
  TTransport transport = TTransport::kSftp;
  std::string user;
  std::string host;  // a name, an IPv4 address, or an IPv6 one without brackets
  uint16_t port = 0;
  // The site's folder on the server, always starting with '/' and never
  // ending with one ("/" itself aside). "/~/www" is relative to the home
  // folder over SFTP, as curl reads it.
  std::string path;

  // The address as typed back: scheme, user, host, port when not the
  // default, path. Never holds a password.
  std::string Url() const;
  // The address of a file in the site's folder (name relative to it,
  // percent-encoded as needed) or of the folder itself when empty; the
  // folder's address ends with '/'.
  std::string FileUrl(std::string_view name) const;
  // "host:port", the name the known-hosts file keeps a key under.
  std::string HostPort() const;
  bool IsSftp() const { return transport == TTransport::kSftp; }
};

// Reads a target address; throws EPublishUsage saying what is wrong
// (a password in it included).
TPublishTarget ParsePublishTarget(std::string_view url);

}  // namespace orvana::publish
