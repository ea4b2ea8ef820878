// Orvana's own record of the SSH servers it trusts: one line per server,
// "HOST:PORT SHA256:FINGERPRINT", in $XDG_DATA_HOME/orvana/known_hosts
// (~/.local/share/orvana/known_hosts without it). A key is added only when
// the user names its fingerprint (--host-key, or the desktop's question);
// nothing is trusted on first sight.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvana::publish {

// The file's path; `xdg_data_home` and `home` as the environment gives
// them (empty when unset).
std::string KnownHostsPath(std::string_view xdg_data_home, std::string_view home);
// The path for this process's environment.
std::string DefaultKnownHostsPath();

// The fingerprint stored for `host_port`, if any.
std::optional<std::string> StoredHostKey(const std::string& file, const std::string& host_port);
// Stores `fingerprint` for `host_port`, replacing an older one; the file is
// replaced whole. Throws EPublishError when it cannot be written.
void StoreHostKey(const std::string& file, const std::string& host_port,
                  const std::string& fingerprint);

// OpenSSH's form of a key's fingerprint: "SHA256:" and the SHA-256 of the
// key's bytes in base64 without padding.
std::string Sha256Fingerprint(std::string_view key);

}  // namespace orvana::publish
