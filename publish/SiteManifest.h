// The manifest of a published site: each file's SHA-256 and size, as
// ".orvana-manifest.json" beside the site on the server (and a copy in the
// local folder). Publishing compares the site's files with it by content,
// and deletes on the server only what it lists.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvana::publish {

inline constexpr std::string_view kManifestName = ".orvana-manifest.json";

struct TFileDigest {
  std::string sha256;  // 64 lower-case hex digits
  uint64_t size = 0;
  bool operator==(const TFileDigest&) const = default;
};

// File name (relative to the site's folder) to its digest.
using TManifest = std::map<std::string, TFileDigest>;

// The SHA-256 of bytes as 64 lower-case hex digits.
std::string Sha256Hex(std::string_view bytes);

// Whether a name may stand in a manifest and be sent or deleted: one plain
// name, not hidden, no separator, no control character, not "." or "..".
bool IsSiteFileName(std::string_view name);

// The manifest as JSON, names in order.
std::string ManifestToJson(const TManifest& manifest);
// Reads a manifest; nullopt when the text is not one (malformed JSON, a
// bad digest). Entries whose names IsSiteFileName refuses are dropped.
std::optional<TManifest> ManifestFromJson(std::string_view json);

// A site folder's files as the publish sends them: the plain files of the
// folder itself (its sub-folders, hidden files and links are not part of
// the site), each with its digest. `skipped` receives the names left out
// that a user might expect to go (sub-folders and links).
TManifest ScanSiteFolder(const std::string& folder, std::vector<std::string>* skipped);

}  // namespace orvana::publish
