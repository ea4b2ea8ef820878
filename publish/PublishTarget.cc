#include "publish/PublishTarget.h"

#include <cctype>

namespace orvana::publish {
namespace {

uint16_t DefaultPort(TTransport transport) {
  switch (transport) {
    case TTransport::kSftp:
      return 22;
    case TTransport::kFtpExplicitTls:
      return 21;
    case TTransport::kFtpImplicitTls:
      return 990;
  }
  return 0;
}

const char* Scheme(TTransport transport) {
  switch (transport) {
    case TTransport::kSftp:
      return "sftp";
    case TTransport::kFtpExplicitTls:
      return "ftp";
    case TTransport::kFtpImplicitTls:
      return "ftps";
  }
  return "";
}

// Percent-encodes what a URL path cannot hold as it is.
std::string EncodePath(std::string_view path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : path) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u) ||
        std::string_view("/-._~!$&'()*+,;=:@").find(c) != std::string_view::npos) {
      out += c;
    } else {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    }
  }
  return out;
}

// Decodes %XX sequences; throws for a malformed one or a NUL.
std::string DecodePercent(std::string_view text, const char* what) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    const auto hex = [&](size_t at) -> int {
      if (at >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[at]))) return -1;
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[at])));
      return c <= '9' ? c - '0' : c - 'a' + 10;
    };
    const int high = hex(i + 1), low = hex(i + 2);
    if (high < 0 || low < 0 || (high == 0 && low == 0))
      throw EPublishUsage(std::string("the ") + what + " holds a malformed %-escape");
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

bool HasControl(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 32 || c == 127) return true;
  return false;
}

// The host as a URL holds it: an IPv6 address in brackets.
std::string UrlHost(const std::string& host) {
  if (host.find(':') == std::string::npos) return host;
  std::string out(1, '[');
  out += host;
  out += ']';
  return out;
}

}  // namespace

std::string TPublishTarget::Url() const {
  std::string url = std::string(Scheme(transport)) + "://" + EncodePath(user) + "@";
  url += UrlHost(host);
  if (port != DefaultPort(transport)) {
    url += ':';
    url += std::to_string(port);
  }
  return url + EncodePath(path);
}

std::string TPublishTarget::FileUrl(std::string_view name) const {
  std::string url = std::string(Scheme(transport)) + "://";
  url += UrlHost(host);
  url += ':';
  url += std::to_string(port);
  // FTP takes a path after the host as relative to the login folder; "%2F"
  // makes it absolute. SFTP paths are absolute as they are.
  std::string folder = path == "/" ? "" : path;
  if (!IsSftp() && folder.rfind("/~", 0) != 0)
    url += "/%2F" + EncodePath(folder.empty() ? folder : folder.substr(1));
  else
    url += EncodePath(folder);
  return url + "/" + EncodePath(name);
}

std::string TPublishTarget::HostPort() const {
  std::string out = UrlHost(host);
  out += ':';
  out += std::to_string(port);
  return out;
}

TPublishTarget ParsePublishTarget(std::string_view url) {
  TPublishTarget t;
  const size_t scheme_end = url.find("://");
  if (scheme_end == std::string_view::npos)
    throw EPublishUsage("expected sftp://USER@HOST[:PORT]/PATH, ftp://… or ftps://…");
  std::string scheme(url.substr(0, scheme_end));
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (scheme == "sftp")
    t.transport = TTransport::kSftp;
  else if (scheme == "ftp")
    t.transport = TTransport::kFtpExplicitTls;
  else if (scheme == "ftps")
    t.transport = TTransport::kFtpImplicitTls;
  else
    throw EPublishUsage("unknown scheme '" + scheme + "': expected sftp, ftp or ftps");
  std::string_view rest = url.substr(scheme_end + 3);
  if (HasControl(rest) || rest.find(' ') != std::string_view::npos)
    throw EPublishUsage("the address holds blanks or control characters");
  const size_t slash = rest.find('/');
  const std::string_view authority = rest.substr(0, slash);
  const std::string_view path = slash == std::string_view::npos ? "/" : rest.substr(slash);
  if (path.find_first_of("?#") != std::string_view::npos)
    throw EPublishUsage("the address cannot hold a query or fragment");
  const size_t at = authority.rfind('@');
  if (at == std::string_view::npos) throw EPublishUsage("the address names no user (USER@HOST)");
  const std::string_view userinfo = authority.substr(0, at);
  if (userinfo.find(':') != std::string_view::npos)
    throw EPublishUsage(
        "the address holds a password; give it with --password-file or --password-stdin "
        "(the desktop keeps it in the system keyring), never in the address");
  t.user = DecodePercent(userinfo, "user name");
  if (t.user.empty() || HasControl(t.user)) throw EPublishUsage("the user name is empty");
  std::string_view hostport = authority.substr(at + 1);
  std::string_view port;
  if (!hostport.empty() && hostport.front() == '[') {
    const size_t close = hostport.find(']');
    if (close == std::string_view::npos) throw EPublishUsage("an IPv6 address lacks its ']'");
    t.host = hostport.substr(1, close - 1);
    if (close + 1 < hostport.size()) {
      if (hostport[close + 1] != ':') throw EPublishUsage("unexpected text after the host");
      port = hostport.substr(close + 2);
    }
  } else {
    const size_t colon = hostport.find(':');
    t.host = hostport.substr(0, colon);
    if (colon != std::string_view::npos) port = hostport.substr(colon + 1);
  }
  if (t.host.empty()) throw EPublishUsage("the address names no host");
  for (const char c : t.host)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != ':' &&
        c != '_')
      throw EPublishUsage("the host name '" + t.host + "' holds a character hosts cannot");
  t.port = DefaultPort(t.transport);
  if (!port.empty() || hostport.ends_with(':')) {
    unsigned value = 0;
    for (const char c : port) {
      if (c < '0' || c > '9' || value > 65535) throw EPublishUsage("the port is not a number");
      value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (port.empty() || value == 0 || value > 65535)
      throw EPublishUsage("the port must be from 1 to 65535");
    t.port = static_cast<uint16_t>(value);
  }
  t.path = DecodePercent(path, "path");
  while (t.path.size() > 1 && t.path.back() == '/') t.path.pop_back();
  if (HasControl(t.path)) throw EPublishUsage("the path holds control characters");
  for (size_t from = 0; from <= t.path.size();) {
    const size_t end = std::min(t.path.find('/', from), t.path.size());
    const std::string_view part = std::string_view(t.path).substr(from, end - from);
    if (part == "..") throw EPublishUsage("the path cannot hold '..'");
    from = end + 1;
  }
  return t;
}

}  // namespace orvana::publish
