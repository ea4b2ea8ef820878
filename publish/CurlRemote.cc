#include "publish/CurlRemote.h"

#include <curl/curl.h>
#include <malloc.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <sstream>

#include "publish/KnownHosts.h"

namespace orvana::publish {
namespace {

void ZeroingFree(void* p) {
  if (!p) return;
  explicit_bzero(p, malloc_usable_size(p));
  std::free(p);
}
void* ZeroingRealloc(void* p, size_t size) {
  if (!p) return std::malloc(size);
  void* moved = std::malloc(size ? size : 1);
  if (!moved) return nullptr;
  std::memcpy(moved, p, std::min(size, malloc_usable_size(p)));
  ZeroingFree(p);
  return moved;
}
char* ZeroingStrdup(const char* s) {
  const size_t n = std::strlen(s) + 1;
  char* copy = static_cast<char*>(std::malloc(n));
  if (copy) std::memcpy(copy, s, n);
  return copy;
}

size_t Collect(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

// Quotes a path for curl's SFTP commands.
std::string QuotedPath(const std::string& path) {
  std::string out = "\"";
  for (const char c : path) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// One line of a long listing ("-rw-r--r-- 1 u g 12 Dec 8 10:00 name"), or
// nullopt for a line that is not one (a "total" line).
std::optional<TRemoteEntry> ParseListLine(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  std::istringstream in(line);
  std::string field[8];
  for (std::string& f : field)
    if (!(in >> f)) return std::nullopt;
  if (field[0].size() < 10) return std::nullopt;
  std::string name;
  std::getline(in, name);
  if (name.empty() || name[0] != ' ') return std::nullopt;
  name.erase(0, 1);
  TRemoteEntry entry;
  entry.type = std::strchr("-dl", field[0][0]) ? field[0][0] : '?';
  if (entry.type == 'l') name = name.substr(0, name.find(" -> "));
  entry.name = name;
  entry.size = std::strtoull(field[4].c_str(), nullptr, 10);
  if (name == "." || name == "..") return std::nullopt;
  return entry;
}

// The "sha256//BASE64" of a PEM certificate's public key, as curl pins it.
std::string PublicKeyPin(const char* pem) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem, -1), BIO_free);
  std::unique_ptr<X509, decltype(&X509_free)> cert(
      PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr), X509_free);
  if (!cert) return {};
  unsigned char* der = nullptr;
  const int length = i2d_PUBKEY(X509_get0_pubkey(cert.get()), &der);
  if (length <= 0) return {};
  unsigned char digest[EVP_MAX_MD_SIZE], base64[2 * EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_Digest(der, static_cast<size_t>(length), digest, &size, EVP_sha256(), nullptr);
  OPENSSL_free(der);
  const int n = EVP_EncodeBlock(base64, digest, static_cast<int>(size));
  return "sha256//" + std::string(reinterpret_cast<const char*>(base64), static_cast<size_t>(n));
}

}  // namespace

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    curl_global_init_mem(CURL_GLOBAL_DEFAULT, std::malloc, ZeroingFree, ZeroingRealloc,
                         ZeroingStrdup, std::calloc);
  });
}

struct TCurlRemote::TState {
  const TRemoteOptions* options = nullptr;
  CURL* curl = nullptr;
  char error[CURL_ERROR_SIZE] = {};
  std::string body;
  std::string_view upload;
  size_t upload_at = 0;
  curl_slist* quote = nullptr;
  // Why the host key was refused: the kind, the server's fingerprint and
  // the one it was held against; or the error storing it.
  std::optional<EHostKeyRefused> refused;
  std::string store_error;

  ~TState() {
    if (quote) curl_slist_free_all(quote);
    if (curl) curl_easy_cleanup(curl);
  }
};

namespace {

int CheckHostKey(void* data, int /*type*/, const char* key, size_t length) {
  auto& state = *static_cast<TCurlRemote::TState*>(data);
  const TRemoteOptions& o = *state.options;
  try {
    const std::string fingerprint = Sha256Fingerprint(std::string_view(key, length));
    const std::string host = o.target.HostPort();
    const std::optional<std::string> stored = StoredHostKey(o.known_hosts, host);
    if (!o.host_key.empty()) {
      if (o.host_key == fingerprint) {
        if (stored != fingerprint) StoreHostKey(o.known_hosts, host, fingerprint);
        return CURLKHMATCH_OK;
      }
      state.refused =
          EHostKeyRefused(EHostKeyRefused::kNotTheNamedKey, host, fingerprint, o.host_key);
      return CURLKHMATCH_MISMATCH;
    }
    if (stored == fingerprint) return CURLKHMATCH_OK;
    state.refused = EHostKeyRefused(stored ? EHostKeyRefused::kChanged : EHostKeyRefused::kUnknown,
                                    host, fingerprint, stored.value_or(""));
  } catch (const std::exception& e) {
    state.store_error = e.what();
  }
  return CURLKHMATCH_MISMATCH;
}

int Progress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t sent) {
  const TRemoteOptions& o = *static_cast<TCurlRemote::TState*>(data)->options;
  if (o.on_sent) o.on_sent(static_cast<uint64_t>(sent));
  return o.cancelled && o.cancelled() ? 1 : 0;
}

size_t ReadUpload(char* buffer, size_t size, size_t count, void* data) {
  auto& state = *static_cast<TCurlRemote::TState*>(data);
  const size_t n = std::min(size * count, state.upload.size() - state.upload_at);
  std::memcpy(buffer, state.upload.data() + state.upload_at, n);
  state.upload_at += n;
  return n;
}

}  // namespace

TCurlRemote::TCurlRemote(TRemoteOptions options)
    : options_(std::move(options)), state_(std::make_unique<TState>()) {
  InitCurlOnce();
  state_->options = &options_;
  state_->curl = curl_easy_init();
  if (!state_->curl) throw EPublishError("cannot start libcurl");
}

TCurlRemote::~TCurlRemote() = default;

std::string TCurlRemote::RemotePath(const std::string& name) const {
  const std::string& folder = options_.target.path;
  return (folder == "/" ? "" : folder) + "/" + name;
}

void TCurlRemote::Prepare(const std::string& url) {
  CURL* c = state_->curl;
  curl_easy_reset(c);
  state_->error[0] = 0;
  state_->body.clear();
  if (state_->quote) curl_slist_free_all(state_->quote);
  state_->quote = nullptr;
  const TPublishTarget& t = options_.target;
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, state_->error);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 20L);
  // A server that stops answering fails the transfer instead of hanging it.
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 60L);
  curl_easy_setopt(c, CURLOPT_USERNAME, t.user.c_str());
  if (!options_.password.empty()) {
    const std::string password(options_.password);
    curl_easy_setopt(c, CURLOPT_PASSWORD, password.c_str());
    explicit_bzero(const_cast<char*>(password.data()), password.size());
  }
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, Progress);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, state_.get());
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &state_->body);
  if (t.IsSftp()) {
    long auth = CURLSSH_AUTH_PUBLICKEY | CURLSSH_AUTH_AGENT;
    if (!options_.password.empty()) auth |= CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD;
    curl_easy_setopt(c, CURLOPT_SSH_AUTH_TYPES, auth);
    if (!options_.identity.empty()) {
      curl_easy_setopt(c, CURLOPT_SSH_PRIVATE_KEYFILE, options_.identity.c_str());
      // Empty: libssh2 derives the public key from the private one.
      curl_easy_setopt(c, CURLOPT_SSH_PUBLIC_KEYFILE, "");
    }
    curl_easy_setopt(c, CURLOPT_SSH_HOSTKEYFUNCTION, CheckHostKey);
    curl_easy_setopt(c, CURLOPT_SSH_HOSTKEYDATA, state_.get());
    curl_easy_setopt(c, CURLOPT_NEW_FILE_PERMS, 0644L);
  } else {
    curl_easy_setopt(c, CURLOPT_USE_SSL,
                     options_.allow_plain_ftp ? long(CURLUSESSL_TRY) : long(CURLUSESSL_ALL));
    curl_easy_setopt(c, CURLOPT_FTPSSLAUTH, long(CURLFTPAUTH_TLS));
    if (!options_.ca_file.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, options_.ca_file.c_str());
    const std::string pin = options_.pin.empty() && !options_.known_hosts.empty()
                                ? StoredHostKey(options_.known_hosts, t.HostPort()).value_or("")
                                : options_.pin;
    if (pin.rfind("sha256//", 0) != 0) {
      curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
      curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    } else {
      // The pinned public key takes the place of the chain: exactly that
      // key is accepted, a certificate signed by anyone else is not.
      curl_easy_setopt(c, CURLOPT_PINNEDPUBLICKEY, pin.c_str());
      curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
      curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
    }
  }
}

void TCurlRemote::Perform(const std::string& what, const std::string& name) {
  state_->refused.reset();
  state_->store_error.clear();
  const CURLcode code = curl_easy_perform(state_->curl);
  if (code == CURLE_OK) return;
  if (state_->refused) throw *state_->refused;
  if (!state_->store_error.empty()) throw EPublishError(state_->store_error);
  const TPublishTarget& t = options_.target;
  std::string detail = state_->error[0] ? state_->error : curl_easy_strerror(code);
  switch (code) {
    case CURLE_ABORTED_BY_CALLBACK:
      throw EPublishCancelled("stopped by the user");
    case CURLE_USE_SSL_FAILED:
      throw EPublishError("the server " + t.HostPort() +
                          " does not offer TLS (AUTH TLS refused): nothing was sent, not even "
                          "the user name");
    case CURLE_PEER_FAILED_VERIFICATION: {
      const std::string pin = ProbePin();
      throw ECertificateRefused("the server's certificate cannot be verified (" + detail +
                                    "); nothing was sent. Its public key is " +
                                    (pin.empty() ? "unknown" : pin) +
                                    ": a self-signed certificate is accepted only with its key "
                                    "pinned",
                                pin);
    }
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
      throw EPublishError("the server's public key is not the pinned one: " + detail);
    case CURLE_LOGIN_DENIED:
      throw EPublishError("the server refused the login of " + t.user + ": " + detail);
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_OPERATION_TIMEDOUT:
      throw EPublishError("cannot connect to " + t.HostPort() + ": " + detail);
    default:
      break;
  }
  throw EPublishError(what + (name.empty() ? "" : " " + name) + ": " + detail);
}

std::string TCurlRemote::ProbePin() const {
  // A connection of its own, only to read the certificate for the user's
  // decision: it checks nothing and so sends no name or password of the
  // user's (curl logs in as "anonymous", or stops at the refusal).
  CURL* c = curl_easy_init();
  std::string body, pin;
  curl_easy_setopt(c, CURLOPT_URL, options_.target.FileUrl("").c_str());
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 20L);
  curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
  curl_easy_setopt(c, CURLOPT_CERTINFO, 1L);
  (void)curl_easy_perform(c);
  curl_certinfo* info = nullptr;
  if (curl_easy_getinfo(c, CURLINFO_CERTINFO, &info) == CURLE_OK && info && info->num_of_certs > 0)
    for (curl_slist* field = info->certinfo[0]; field; field = field->next)
      if (std::strncmp(field->data, "Cert:", 5) == 0) pin = PublicKeyPin(field->data + 5);
  curl_easy_cleanup(c);
  return pin;
}

std::vector<TRemoteEntry> TCurlRemote::List() {
  Prepare(options_.target.FileUrl(""));
  // vsftpd and others list hidden files only when asked.
  if (!options_.target.IsSftp()) curl_easy_setopt(state_->curl, CURLOPT_CUSTOMREQUEST, "LIST -a");
  Perform("cannot list the folder", options_.target.path);
  std::vector<TRemoteEntry> entries;
  std::istringstream lines(state_->body);
  std::string line;
  while (std::getline(lines, line))
    if (auto entry = ParseListLine(line)) entries.push_back(std::move(*entry));
  return entries;
}

std::optional<std::string> TCurlRemote::Fetch(const std::string& name) {
  Prepare(options_.target.FileUrl(name));
  const CURLcode code = [&] {
    state_->refused.reset();
    return curl_easy_perform(state_->curl);
  }();
  if (code == CURLE_REMOTE_FILE_NOT_FOUND) return std::nullopt;
  if (code != CURLE_OK) {
    // The same request again for the error's message and kind.
    Prepare(options_.target.FileUrl(name));
    Perform("cannot read", name);
  }
  return std::move(state_->body);
}

void TCurlRemote::Put(const std::string& name, std::string_view bytes,
                      const std::string& shown_as) {
  Prepare(options_.target.FileUrl(name));
  CURL* c = state_->curl;
  state_->upload = bytes;
  state_->upload_at = 0;
  curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(c, CURLOPT_READFUNCTION, ReadUpload);
  curl_easy_setopt(c, CURLOPT_READDATA, state_.get());
  curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(bytes.size()));
  Perform("cannot send", shown_as.empty() ? name : shown_as);
}

void TCurlRemote::Quote(const std::vector<std::string>& commands, const std::string& what,
                        const std::string& name) {
  Prepare(options_.target.FileUrl(""));
  for (const std::string& command : commands)
    state_->quote = curl_slist_append(state_->quote, command.c_str());
  curl_easy_setopt(state_->curl, CURLOPT_QUOTE, state_->quote);
  curl_easy_setopt(state_->curl, CURLOPT_NOBODY, 1L);
  Perform(what, name);
}

void TCurlRemote::Rename(const std::string& from, const std::string& to, bool to_exists) {
  const std::string a = RemotePath(from), b = RemotePath(to);
  if (!options_.target.IsSftp()) {
    Quote({"RNFR " + a, "RNTO " + b}, "cannot rename into place", to);
    return;
  }
  const std::vector<std::string> rename = {"rename " + QuotedPath(a) + " " + QuotedPath(b)};
  const std::vector<std::string> replace = {"rm " + QuotedPath(b), rename[0]};
  if (rename_over_fails_ && to_exists) {
    Quote(replace, "cannot replace", to);
    return;
  }
  try {
    Quote(rename, "cannot rename into place", to);
  } catch (const EPublishError&) {
    if (!to_exists) throw;
    // SFTP version 3 renames only onto a free name; OpenSSH's atomic
    // posix-rename extension is not reachable through libcurl.
    rename_over_fails_ = true;
    if (options_.note)
      options_.note(
          "the server cannot rename over a file (no posix-rename): each replaced file is "
          "removed, then its new version renamed into place");
    Quote(replace, "cannot replace", to);
  }
}

void TCurlRemote::Remove(const std::string& name) {
  const std::string path = RemotePath(name);
  if (options_.target.IsSftp())
    Quote({"rm " + QuotedPath(path)}, "cannot delete", name);
  else
    Quote({"DELE " + path}, "cannot delete", name);
}

}  // namespace orvana::publish
