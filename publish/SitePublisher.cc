#include "publish/SitePublisher.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace orvana::publish {
namespace {

constexpr std::string_view kPartSuffix = ".orvana-part";

bool IsOurTemporary(const TRemoteEntry& entry) {
  return entry.type == '-' && entry.name.size() > kPartSuffix.size() + 1 &&
         entry.name.front() == '.' && entry.name.ends_with(kPartSuffix);
}

std::string ReadLocalFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EPublishError("cannot read " + path + ": " + std::strerror(errno));
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Replaces the local copy of the manifest whole.
void WriteLocalManifest(const std::string& folder, const std::string& json) {
  const std::string path = folder + "/" + std::string(kManifestName);
  const std::string temporary = path + ".tmp-" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  bool ok = fd >= 0 && ::write(fd, json.data(), json.size()) == static_cast<ssize_t>(json.size());
  if (fd >= 0) ::close(fd);
  if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw EPublishError("the site is published, but its manifest could not be kept in " + path +
                        ": " + std::strerror(error));
  }
}

// What the server holds as far as the manifest and the listing agree: an
// entry whose file is gone, is no plain file, or has another size is not
// taken as published. With `verify`, each listed file is read and digested.
TManifest PublishedState(TCurlRemote& remote, const TManifest& manifest, const TManifest& site,
                         const std::map<std::string, TRemoteEntry>& listed, bool verify,
                         bool& repaired) {
  TManifest published;
  for (const auto& [name, digest] : manifest) {
    const auto entry = listed.find(name);
    if (entry == listed.end() || entry->second.type != '-' || entry->second.size != digest.size) {
      repaired = true;
      continue;
    }
    published[name] = digest;
  }
  if (!verify) return published;
  TManifest checked;
  for (const auto& [name, entry] : listed) {
    if (entry.type != '-' || !IsSiteFileName(name)) continue;
    // Only files that are ours or that the site would write.
    if (!manifest.count(name) && !site.count(name)) continue;
    const std::optional<std::string> bytes = remote.Fetch(name);
    if (!bytes) continue;
    checked[name] = {Sha256Hex(*bytes), bytes->size()};
  }
  // A file of the server's own that the site does not have stays out of
  // the manifest, so it is never deleted.
  TManifest repaired_manifest;
  for (const auto& [name, digest] : checked)
    if (manifest.count(name))
      repaired_manifest[name] = digest;
    else if (site.count(name))
      repaired_manifest[name] = digest;
  if (repaired_manifest != published) repaired = true;
  return repaired_manifest;
}

}  // namespace

std::string TemporaryName(const std::string& name) { return "." + name + std::string(kPartSuffix); }

TPublishResult PublishSite(TCurlRemote& remote, const TPublishOptions& options) {
  const auto note = [&](const std::string& text) {
    if (options.note) options.note(text);
  };
  std::vector<std::string> skipped;
  const TManifest site = ScanSiteFolder(options.folder, &skipped);
  for (const std::string& name : skipped) note("not published (not a plain file): " + name);

  std::map<std::string, TRemoteEntry> listed;
  for (TRemoteEntry& entry : remote.List()) listed[entry.name] = std::move(entry);
  std::vector<std::string> temporaries;
  for (const auto& [name, entry] : listed)
    if (IsOurTemporary(entry)) temporaries.push_back(name);

  TManifest manifest;
  if (listed.count(std::string(kManifestName))) {
    const std::optional<std::string> json = remote.Fetch(std::string(kManifestName));
    std::optional<TManifest> read = json ? ManifestFromJson(*json) : std::nullopt;
    if (read)
      manifest = std::move(*read);
    else
      note(std::string(kManifestName) +
           " on the server cannot be read: every file is sent and none deleted");
  }
  TPublishResult result;
  const TManifest published =
      PublishedState(remote, manifest, site, listed, options.verify, result.manifest_repaired);
  if (options.verify && result.manifest_repaired)
    note("the manifest on the server did not match its files; it is repaired");

  result.plan = PlanPublish(site, published);
  // Deletes: what our manifest lists, the site lacks, and the server holds
  // as a plain file; a link or folder of that name is left alone.
  std::vector<TPlannedFile> deletes;
  for (const TPlannedFile& file : result.plan.remove) {
    const auto entry = listed.find(file.name);
    if (entry == listed.end()) continue;
    if (entry->second.type != '-') {
      note("not deleted: " + file.name + " is no plain file on the server");
      continue;
    }
    deletes.push_back(file);
  }
  result.plan.remove = deletes;
  // Entries the manifest lists though the server has no file for them.
  for (const auto& [name, digest] : manifest)
    if (!published.count(name) && !site.count(name)) result.manifest_repaired = true;
  if (deletes.size() > options.max_deletes)
    throw EPublishError("the publish would delete " + std::to_string(deletes.size()) +
                        (deletes.size() == 1 ? " file" : " files") + ", more than the " +
                        std::to_string(options.max_deletes) +
                        " allowed (--max-deletes); nothing was sent");
  result.kept = result.plan.kept;
  result.bytes = result.plan.bytes;
  if (options.dry_run) {
    for (const TPlannedFile& f : result.plan.send) result.sent.push_back(f.name);
    for (const TPlannedFile& f : deletes) result.deleted.push_back(f.name);
    return result;
  }
  if (!deletes.empty() && options.confirm_deletes && !options.confirm_deletes(result.plan))
    throw EPublishCancelled("the deletes were not confirmed; nothing was sent");

  for (const std::string& name : temporaries) remote.Remove(name);
  TManifest now = published;
  uint64_t done = 0;
  result.bytes = 0;
  for (const TPlannedFile& file : result.plan.send) {
    if (options.progress) options.progress(file.name, done, result.plan.bytes);
    // The digest is of the bytes sent, whatever the file held when scanned.
    const std::string bytes = ReadLocalFile(options.folder + "/" + file.name);
    const std::string temporary = TemporaryName(file.name);
    remote.Put(temporary, bytes);
    remote.Rename(temporary, file.name, listed.count(file.name) != 0);
    now[file.name] = {Sha256Hex(bytes), bytes.size()};
    result.sent.push_back(file.name);
    result.bytes += bytes.size();
    done += file.size;
  }
  for (const TPlannedFile& file : deletes) {
    remote.Remove(file.name);
    now.erase(file.name);
    result.deleted.push_back(file.name);
  }
  if (options.progress) options.progress(std::string(kManifestName), done, result.plan.bytes);
  const std::string json = ManifestToJson(now);
  if (!result.sent.empty() || !result.deleted.empty() || result.manifest_repaired ||
      !listed.count(std::string(kManifestName)) || ManifestToJson(manifest) != json) {
    const std::string temporary = TemporaryName(std::string(kManifestName));
    remote.Put(temporary, json);
    remote.Rename(temporary, std::string(kManifestName), listed.count(std::string(kManifestName)));
  }
  WriteLocalManifest(options.folder, json);
  return result;
}

}  // namespace orvana::publish
