// What a publish does, worked out before anything moves: the files to send
// (new or changed by content), in the order that keeps the live site whole,
// the files to delete, and the number kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "publish/SiteManifest.h"

namespace orvana::publish {

struct TPlannedFile {
  std::string name;
  uint64_t size = 0;
  bool replaces = false;  // the server's manifest lists a file of that name
};

struct TPublishPlan {
  // Style sheets and every other file first, then the pages, index.html
  // last: a page never links a file that is not there yet.
  std::vector<TPlannedFile> send;
  // Files the server's manifest lists and the site no longer has: ours to
  // remove, and only those.
  std::vector<TPlannedFile> remove;
  uint64_t kept = 0;
  uint64_t bytes = 0;  // of the files to send
};

// The plan that takes the server from `published` (its manifest) to `site`.
TPublishPlan PlanPublish(const TManifest& site, const TManifest& published);

// Where a file goes in the sending order: 0 style and other files, 1 pages
// (page1.html, page2.html, ..., numerically), 2 index.html.
int SendRank(const std::string& name);

}  // namespace orvana::publish
