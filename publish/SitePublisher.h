// A publish: the site folder's files made the server's, sending only what
// changed by content and keeping the live site whole all along. The steps:
//   1. the server's folder is listed (logging in; trust is checked here),
//      and the temporaries an interrupted publish left are removed;
//   2. the server's manifest is read (with --verify, the files themselves,
//      and the manifest is repaired from them); an entry whose file the
//      listing lacks, or lists at another size, counts as not published;
//   3. the plan: send what is new or changed, delete what the manifest
//      lists and the site no longer has (never a link, a folder, or a file
//      the manifest does not list), at most `max_deletes` of them;
//   4. each file goes up as ".NAME.orvana-part" and is renamed over NAME:
//      style and other files, then pages, index.html last; then the
//      deletes; then the manifest, the same way; then its local copy.
// A publish stopped anywhere leaves each live file old or new, and the
// next one finishes the work.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "publish/CurlRemote.h"
#include "publish/PublishPlan.h"

namespace orvana::publish {

struct TPublishOptions {
  std::string folder;  // the local site folder
  bool dry_run = false;
  bool verify = false;
  uint64_t max_deletes = 100;
  // Before each file is sent: its name, the bytes sent so far of the plan
  // and the plan's total.
  std::function<void(const std::string& name, uint64_t done, uint64_t total)> progress;
  // Things worth telling that are not failures.
  std::function<void(const std::string&)> note;
  // Asked before anything moves when the plan deletes files; false stops
  // the publish with nothing sent.
  std::function<bool(const TPublishPlan&)> confirm_deletes;
};

struct TPublishResult {
  TPublishPlan plan;
  std::vector<std::string> sent;
  std::vector<std::string> deleted;
  uint64_t kept = 0;
  uint64_t bytes = 0;  // sent (or, in a dry run, to be sent)
  bool manifest_repaired = false;
};

// The temporary name a file is sent under.
std::string TemporaryName(const std::string& name);

// Publishes `options.folder` through `remote`. Throws EPublishError (the
// server, trust, a refused plan) and EPublishCancelled; whatever was renamed
// into place before stays, whole.
TPublishResult PublishSite(TCurlRemote& remote, const TPublishOptions& options);

}  // namespace orvana::publish
