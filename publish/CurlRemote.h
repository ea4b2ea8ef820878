// The server end of a publish: one small class over libcurl that logs in
// to an SFTP or FTP-over-TLS server and lists, reads, writes, renames and
// removes the files of the site's folder, over one connection. Trust is
// never switched off: an SSH host key must be the stored one or the one
// named for the run; a TLS certificate must verify or match the pinned
// public key; FTP without TLS is refused before the user name is sent
// unless the run allows it. Not thread-safe: one thread uses an object.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "publish/PublishTarget.h"

namespace orvana::publish {

struct TRemoteOptions {
  TPublishTarget target;
  // The password, or empty; the object copies it into curl and the caller
  // zeroes its own buffer (see SecretText.h).
  std::string_view password;
  std::string identity;  // SFTP: a private key file; the agent is tried too
  std::string host_key;  // SFTP: "SHA256:..." to trust for this server
  std::string pin;       // FTP: "sha256//BASE64" of the server's public key
  std::string ca_file;   // FTP: extra certificate authorities (tests)
  bool allow_plain_ftp = false;
  std::string known_hosts;  // the file of trusted SSH host keys
  // Asked during transfers; true stops the publish.
  std::function<bool()> cancelled;
  // Bytes of the current transfer sent so far.
  std::function<void(uint64_t)> on_sent;
  // Said once each: what the server lacks and how it is worked around.
  std::function<void(const std::string&)> note;
};

struct TRemoteEntry {
  std::string name;
  char type = '-';  // '-' file, 'd' folder, 'l' link, '?' other
  uint64_t size = 0;
};

class TCurlRemote {
 public:
  explicit TCurlRemote(TRemoteOptions options);
  ~TCurlRemote();
  TCurlRemote(const TCurlRemote&) = delete;
  TCurlRemote& operator=(const TCurlRemote&) = delete;

  // The site folder's entries, hidden ones included. The first call logs
  // in, so trust and login failures surface here.
  std::vector<TRemoteEntry> List();
  // A file's bytes, or nullopt when the server has no such file.
  std::optional<std::string> Fetch(const std::string& name);
  // Writes `bytes` as `name`, replacing a file of that name; a failure
  // names `shown_as` (the file the temporary stands for) when given.
  void Put(const std::string& name, std::string_view bytes, const std::string& shown_as = "");
  // Renames `from` over `to`. A server that cannot rename over a file
  // (SFTP without posix-rename) has `to` removed first, when
  // `to_exists`, and the note says so once.
  void Rename(const std::string& from, const std::string& to, bool to_exists);
  // Removes one file (never a folder, never recursively).
  void Remove(const std::string& name);

  const TPublishTarget& target() const { return options_.target; }

  // What one connection holds; public for libcurl's callbacks only.
  struct TState;

 private:
  void Prepare(const std::string& url);
  void Perform(const std::string& what, const std::string& name);
  void Quote(const std::vector<std::string>& commands, const std::string& what,
             const std::string& name);
  std::string RemotePath(const std::string& name) const;
  std::string ProbePin() const;

  TRemoteOptions options_;
  std::unique_ptr<TState> state_;
  bool rename_over_fails_ = false;
};

// Sets curl up once per process with allocation functions that zero every
// block they free, so that no copy curl or libssh2 made of a password lingers
// in freed memory. Called by TCurlRemote; safe to call again.
void InitCurlOnce();

}  // namespace orvana::publish
