// The site build: the one way a project's site is made and written.
//
// A build generates the pages (text, links, menu, bars, template), encodes
// each one in the output encoding with its charset declaration, writes it
// through the file system's safe replacement, then writes "style.css" and
// the sitemap, clears the folder of its own stale temporaries and, with
// PruneStale, removes the pages (and sitemaps) an earlier, longer build left.
// It measures every file as it hands it over, so its report tells what was
// written, not what was meant to be. A dry run goes the same way with a file
// system that writes nothing: it refuses what the build would refuse (a
// missing folder, a site that cannot fit) and reports the same figures.
//
// It is the only code that makes pages. Where they go is the file system it
// is given: the disk (RealFileSystem), memory (TMemoryFileSystem, for a
// preview or a test), or nowhere (a dry run, or Generate, which keeps each
// page's HTML in the generator through on_page). A new sink is a new
// TFileSystem.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/BuildReport.h"
#include "engine/FileSystem.h"
#include "engine/SiteGenerator.h"

namespace orvana {

struct TSiteBuildOptions {
  // The output folder as the platform names it (UTF-8, as a project's
  // SavePath is held), used unchanged.
  std::string folder;
  // Write nothing and remove nothing; the folder is still tested and its
  // free space asked, and the stale files are listed as they would go.
  bool dry_run = false;
  // With PruneStale, asked with the stale files' names before they are
  // removed; false keeps them. Unset: they are removed. Never asked in a
  // dry run.
  std::function<bool(const std::vector<std::string>& stale)> confirm_prune;
  // Called on the calling thread after a page file is written, with the
  // pages written so far and the page count, last with the count itself
  // once every page is written; false stops the build before the pages not
  // yet begun (the pages written, always the first ones, stay whole; the
  // stylesheet and sitemap are not written).
  std::function<bool(int written, int pages)> progress;
  // Called on the calling thread for each page, in order, right after its
  // file is written, with the page (text, title and file name set) and its
  // bar and HTML (Windows-1251) as pieces whose concatenations are the
  // page's Pagination and PageHTML; the pieces are valid during the call
  // only. A build with this handler writes one page at a time.
  using TPageWrittenHandler =
      std::function<void(const TSitePage& page, const std::vector<std::string_view>& bar,
                         const std::vector<std::string_view>& html)>;
  TPageWrittenHandler on_page;
  // How many threads make and write the pages, the calling thread one of
  // them: 0 lets the build choose (one per processor it may use, up to
  // four, and never more than a thread per 16 pages), 1 writes one page at
  // a time. Only a file system whose replacements may run at once
  // (TFileSystem::ConcurrentReplaces) gets more than one, a dry run as many
  // as the build it stands for; the files are the same whatever the number.
  int writers = 0;
  // Bytes the build takes besides the site's from the file system that
  // holds the folder before it ends (a project file saved there as a new
  // file beside its old self): counted in the space check.
  uint64_t also_needed = 0;
};

enum class TBuildOutcome {
  kWritten,        // every file written (or, in a dry run, would be)
  kMissingFolder,  // the folder failed the directory test; nothing written
  kCancelled,      // progress said stop; the report covers the pages written
  kRefused,        // a strict build that would warn: the dry run's report, nothing written
};

struct TSiteBuildResult {
  TBuildOutcome outcome = TBuildOutcome::kWritten;
  // The report of what was written; empty for a missing folder.
  TBuildReport report;
};

// Generates the generator's site (its Pages and SiteMenu, as Generate does)
// and writes it into options.folder one page at a time on each writer. The
// pages keep their text, title and file name; their PageHTML and
// Pagination stay empty unless on_page keeps them. A site that cannot fit
// into the folder's free space throws EOrvanaError (error code ENOSPC)
// before the first file is written; a file that cannot be written throws
// EOrvanaError naming it (the first such page when several writers met a
// failure; the files written stay, each whole, and no page after a failed
// one replaces its old file). A progress callback's failure ends the build
// the same way.
TSiteBuildResult BuildSite(TSiteGenerator& generator, TFileSystem& fs,
                           const TSiteBuildOptions& options);

// With PruneStale, the files a write of the generator's pages into the
// folder (as the platform names it) would remove as stale: pageN.html
// beyond the page count and sitemaps the build would not write. Empty
// without PruneStale.
std::vector<std::string> ListStaleSiteFiles(const TSiteGenerator& generator, TFileSystem& fs,
                                            const std::string& folder);

// The name of the stylesheet a build writes after the pages.
inline constexpr std::string_view kStylesheetFileName = "style.css";

}  // namespace orvana
