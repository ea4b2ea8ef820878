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

namespace {

// The server's manifest: empty when there is none, or when it cannot be
// read (then nothing is deleted, since nothing is known to be ours).
TManifest ReadServerManifest(TCurlRemote& remote, const std::map<std::string, TRemoteEntry>& listed,
                             const std::function<void(const std::string&)>& note) {
  const std::string name(kManifestName);
  if (!listed.count(name)) return {};
  const std::optional<std::string> json = remote.Fetch(name);
  std::optional<TManifest> read = json ? ManifestFromJson(*json) : std::nullopt;
  if (read) return std::move(*read);
  note(name + " on the server cannot be read: every file is sent and none deleted");
  return {};
}

// The plan's deletes that the server holds as plain files; a link or a
// folder of that name is left alone.
std::vector<TPlannedFile> SafeDeletes(const TPublishPlan& plan,
                                      const std::map<std::string, TRemoteEntry>& listed,
                                      const std::function<void(const std::string&)>& note) {
  std::vector<TPlannedFile> deletes;
  for (const TPlannedFile& file : plan.remove) {
    const auto entry = listed.find(file.name);
    if (entry == listed.end()) continue;
    if (entry->second.type != '-') {
      note("not deleted: " + file.name + " is no plain file on the server");
      continue;
    }
    deletes.push_back(file);
  }
  return deletes;
}

// Sends, deletes and writes the manifest (on the server, then locally).
void CarryOut(TCurlRemote& remote, const TPublishOptions& options,
              const std::map<std::string, TRemoteEntry>& listed, const TManifest& old_manifest,
              TManifest now, TPublishResult& result) {
  const std::string manifest_name(kManifestName);
  uint64_t done = 0;
  result.bytes = 0;
  for (const TPlannedFile& file : result.plan.send) {
    if (options.progress) options.progress(file.name, done, result.plan.bytes);
    // The digest is of the bytes sent, whatever the file held when scanned.
    const std::string bytes = ReadLocalFile(options.folder + "/" + file.name);
    const std::string temporary = TemporaryName(file.name);
    remote.Put(temporary, bytes, file.name);
    remote.Rename(temporary, file.name, listed.count(file.name) != 0);
    now[file.name] = {Sha256Hex(bytes), bytes.size()};
    result.sent.push_back(file.name);
    result.bytes += bytes.size();
    done += file.size;
  }
  for (const TPlannedFile& file : result.plan.remove) {
    remote.Remove(file.name);
    now.erase(file.name);
    result.deleted.push_back(file.name);
  }
  if (options.progress) options.progress(manifest_name, done, result.plan.bytes);
  const std::string json = ManifestToJson(now);
  if (!result.sent.empty() || !result.deleted.empty() || result.manifest_repaired ||
      !listed.count(manifest_name) || ManifestToJson(old_manifest) != json) {
    const std::string temporary = TemporaryName(manifest_name);
    remote.Put(temporary, json, manifest_name);
    remote.Rename(temporary, manifest_name, listed.count(manifest_name) != 0);
  }
  WriteLocalManifest(options.folder, json);
}

}  // namespace

TPublishResult PublishSite(TCurlRemote& remote, const TPublishOptions& options) {
  const std::function<void(const std::string&)> note = [&](const std::string& text) {
    if (options.note) options.note(text);
  };
  std::vector<std::string> skipped;
  const TManifest site = ScanSiteFolder(options.folder, &skipped);
  for (const std::string& name : skipped) note("not published (not a plain file): " + name);

  std::map<std::string, TRemoteEntry> listed;
  for (TRemoteEntry& entry : remote.List()) listed[entry.name] = std::move(entry);
  const TManifest manifest = ReadServerManifest(remote, listed, note);
  TPublishResult result;
  const TManifest published =
      PublishedState(remote, manifest, site, listed, options.verify, result.manifest_repaired);
  if (options.verify && result.manifest_repaired)
    note("the manifest on the server did not match its files; it is repaired");
  result.plan = PlanPublish(site, published);
  result.plan.remove = SafeDeletes(result.plan, listed, note);
  // Entries the manifest lists though the server has no file for them.
  for (const auto& [name, digest] : manifest)
    if (!published.count(name) && !site.count(name)) result.manifest_repaired = true;
  const size_t deletes = result.plan.remove.size();
  if (deletes > options.max_deletes)
    throw EPublishError("the publish would delete " + std::to_string(deletes) +
                        (deletes == 1 ? " file" : " files") + ", more than the " +
                        std::to_string(options.max_deletes) +
                        " allowed (--max-deletes); nothing was sent");
  result.kept = result.plan.kept;
  result.bytes = result.plan.bytes;
  if (options.dry_run) {
    for (const TPlannedFile& f : result.plan.send) result.sent.push_back(f.name);
    for (const TPlannedFile& f : result.plan.remove) result.deleted.push_back(f.name);
    return result;
  }
  if (deletes && options.confirm_deletes && !options.confirm_deletes(result.plan))
    throw EPublishCancelled("the deletes were not confirmed; nothing was sent");
  // What an interrupted publish left goes first.
  for (const auto& [name, entry] : listed)
    if (IsOurTemporary(entry)) remote.Remove(name);
  CarryOut(remote, options, listed, manifest, published, result);
  return result;
}

}  // namespace orvana::publish
