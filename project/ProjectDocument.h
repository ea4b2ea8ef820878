// TProjectDocument: one open project without its window.
//
// The document owns the project's generator and keeps the rules by which the
// project window treats it, so that the window and the command-line tool hold
// a project alike:
//
//   - a new document's generator is what a new project window gives it when
//     the window is created: page bounds 4000 and 5000, every text empty. The
//     template, advertising block and stylesheet of a new project are memo
//     lines (NewProjectMemos) and reach the generator with SetMemos, as the
//     window's memos do at the first generation or save;
//   - a project file is read with the window's rules: a header name that one
//     of the window's own components bears is refused, and properties the file
//     leaves out keep what the generator held (a new document: the bounds);
//   - texts reach the generator through the memos: a memo holds lines, and
//     the template, advertising block and stylesheet are those lines each
//     followed by one CR.
//
// Texts are Windows-1251; file names and SavePath are the platform's UTF-8.
//
// Build (below) is the one way either program builds the project: the
// command line's build, the window's Generate and its write, Generate all,
// the preview server and the publisher fill in a TBuildRequest and get the
// build's report back.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/FileSystem.h"
#include "engine/SiteBuild.h"
#include "engine/SiteGenerator.h"

namespace orvana {

// The project's texts as the window's five memos hold them, one entry per
// line, without line ends.
struct TProjectMemos {
  TStringList site_text;          // Memo2: SiteText, line for line
  TStringList site_template;      // Memo4: SiteTemplate
  TStringList adsense_code;       // Memo5: AdsenseCode
  TStringList css_code;           // Memo6: CssCode
  TStringList site_urls_to_link;  // Memo1: SiteUrlsToLink, line for line
};

// One build of a document's project: where it goes, and how.
struct TBuildRequest {
  // Where the site goes, as the platform names it; unset: the project's
  // SavePath.
  std::optional<std::string> folder;
  // What the files are written into: the disk when unset; a
  // TMemoryFileSystem for a site held in memory; any TFileSystem.
  TFileSystem* sink = nullptr;
  // The extras of this build only; the project keeps its own, also in the
  // file `save_to` writes.
  std::optional<TOrvanaExtras> extras;
  // The seed of the linked words; unset: the generator's own (by default
  // the clock's), or with `strict` one drawn for the dry run and the build.
  std::optional<uint64_t> seed;
  // A build that would warn writes nothing: the dry run's report comes back
  // with TBuildOutcome::kRefused.
  bool strict = false;
  // Nothing written or removed; the report tells what would be.
  bool dry_run = false;
  // Only the pages, kept in the generator (Generate): nothing written,
  // nothing asked of the folder.
  bool pages_only = false;
  // Each page's bar and HTML stay in the generator, as Generate leaves them.
  bool keep_pages = false;
  // The project file (an engine name) that takes the new pages as they are
  // written, and the project once the site is; empty: none.
  std::string save_to;
  // How many threads write (TSiteBuildOptions::writers); 1 for a progress
  // that moves page by page.
  int writers = 0;
  // Progress and cancel, on the calling thread (TSiteBuildOptions).
  std::function<bool(int written, int pages)> progress;
  // The warnings of the project's reading (ReadWarnings) open the report's
  // warnings, code "project-read", and count for `strict`.
  bool report_read_warnings = false;
  // The prune decision: asked with the stale files; unset, they go.
  std::function<bool(const std::vector<std::string>& stale)> confirm_prune;
};

class TProjectDocument {
 public:
  // A new project's document: bounds 4000 and 5000, no texts, no pages.
  TProjectDocument();
  TProjectDocument(const TProjectDocument&) = delete;
  TProjectDocument& operator=(const TProjectDocument&) = delete;

  TSiteGenerator& Generator() { return generator_; }
  const TSiteGenerator& Generator() const { return generator_; }

  // What the memos of a new project window hold: the default template,
  // advertising block and stylesheet, and no text or link address.
  static TProjectMemos NewProjectMemos();

  // Reads the project file into the generator with the window's rules (see
  // above). `window_name_exists` tells whether one of the application's
  // windows bears a name (the header's name then gains "_1", "_2", ...);
  // empty means there are none. Failures throw EOrvanaError as
  // LoadProjectFile does and keep what was read before them.
  void LoadFromFile(const std::string& file_name,
                    const std::function<bool(const std::string&)>& window_name_exists = {});

  // The warnings of the last LoadFromFile about the extras block after the
  // project (see ExtrasText.h): each names what was ignored.
  const std::vector<std::string>& ReadWarnings() const { return read_warnings_; }

  // Writes the generator into the project file (SaveProjectFile).
  void SaveToFile(const std::string& file_name) const;

  // The memos' lines into the generator, in the window's order: site text,
  // template, advertising block, stylesheet, link addresses.
  void SetMemos(TProjectMemos memos);

  // The lines the memos show for the generator's texts: the template,
  // advertising block and stylesheet are cut at each CR.
  TProjectMemos Memos() const;

  // Builds the project as the request says, from the generator's texts as
  // they stand; the pages and the menu are the build's. A failure throws
  // (EOrvanaError); a missing folder, a refusal or a cancel is the outcome.
  TSiteBuildResult Build(const TBuildRequest& request);

  // Sends the template, advertising block and stylesheet through the memos
  // and back, as showing a project and then generating or saving it does:
  // each becomes lines each followed by one CR, so a text that does not end
  // with a CR gains one. The site text and the link addresses are lines in
  // both places and stay as they are.
  void PassTextsThroughMemos();

 private:
  // The bytes a project file saved by the request takes from the site
  // folder's file system (0 when it goes elsewhere, checked there: throws
  // EOrvanaError, error code ENOSPC, when it cannot fit).
  uint64_t ProjectFileRoom(const TBuildRequest& request, const TSiteBuildOptions& build);
  // With report_read_warnings, ReadWarnings at the front of the report's.
  void AddReadWarnings(const TBuildRequest& request, TBuildReport& report) const;

  TSiteGenerator generator_;
  std::vector<std::string> read_warnings_;
};

}  // namespace orvana
