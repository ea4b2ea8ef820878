// The build report: the account a build gives of the site it made.
//
// After a build has made a generator's pages (BuildSite, SiteBuild.h)
// and the files have been written (or only measured), MakeBuildReport sums up
// the site: its pages and bytes, the sizes of the pages, the pages that were
// cut inside a word or sentence because the page-size window held no break,
// the links placed for each address, and warnings about what the user most
// likely did not mean (no link although addresses were given, a minimum above
// the maximum, pages cut by force, pages that declare no charset, addresses
// that run script, menus and bars outweighing the text).
//
// Like every engine string, the report's texts (the folder, the addresses and
// the warnings' messages, which quote addresses) are Windows-1251. The
// command-line tool writes the report as JSON; the desktop application shows
// it under its Generate button.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/PageEncoding.h"
#include "engine/SiteGenerator.h"

namespace orvana {

// --- What a build wrote ---------------------------------------------------

// One page file as written (or, in a dry run, as it would have been).
struct TBuiltPage {
  uint64_t bytes = 0;
  // What the page's bytes declare as their charset.
  TCharsetKind charset = TCharsetKind::kNone;
};

// The files of one build, measured as they were handed to the file system.
struct TBuildOutput {
  // The folder the site went to, as the platform names it (may be relative).
  std::string folder;
  // Every page written, in page order; fewer than the site's pages when the
  // build was cancelled.
  std::vector<TBuiltPage> pages;
  uint64_t css_bytes = 0;
  bool css_written = false;
  // The files after the stylesheet (the sitemap), with their sizes.
  std::vector<std::pair<std::string, uint64_t>> other_files;
  // The bytes of the pages that are copies of the menus and the bars.
  uint64_t menu_and_bar_bytes = 0;
  // The stale files removed, or that a dry run would remove.
  std::vector<std::string> pruned;
  // False when the build stopped before its last file.
  bool complete = true;
  bool dry_run = false;
};

// The name of the encoding the generator's pages are written in, as the
// report gives it: its OutputEncoding, "windows-1251" or "utf-8".
std::string SiteEncodingName(const TSiteGenerator& generator);

// --- The report -------------------------------------------------------------

// The warnings' codes.
inline constexpr std::string_view kWarnLinkQuotaZero = "link-quota-zero";
inline constexpr std::string_view kWarnMinAboveMax = "min-above-max";
inline constexpr std::string_view kWarnForcedCuts = "forced-cuts";
inline constexpr std::string_view kWarnNoCharset = "no-charset";
inline constexpr std::string_view kWarnUnsafeUrl = "unsafe-url";
inline constexpr std::string_view kWarnLargeOutput = "large-output";
inline constexpr std::string_view kWarnCharsetMismatch = "charset-mismatch";
inline constexpr std::string_view kWarnBadSiteUrl = "bad-site-url";
inline constexpr std::string_view kWarnEmptyAddress = "empty-address";
// What the project file held that could not be used (a damaged extra).
inline constexpr std::string_view kWarnProjectRead = "project-read";
inline constexpr std::string_view kWarnPaddedAddress = "padded-address";

struct TBuildWarning {
  std::string code;     // one of the kWarn... codes
  std::string message;  // one line, English, Windows-1251 where it quotes user text
};

// The links that went to one address.
struct TAddressLinks {
  std::string url;  // the address as the user gave it
  // The links to it in the pages' texts, and the indexes of the pages that
  // hold at least one, ascending.
  int64_t count = 0;
  std::vector<int> pages;
};

struct TBuildReport {
  int pages = 0;
  uint64_t bytes = 0;    // every file: the pages, style.css and the sitemap
  std::string folder;    // absolute, native (UTF-8)
  std::string encoding;  // SiteEncodingName
  // The sizes of the page files (style.css not included).
  uint64_t page_bytes_min = 0;
  uint64_t page_bytes_max = 0;
  double page_bytes_mean = 0;
  // The indexes of the pages that were closed at exactly the maximum, inside a
  // word or sentence, because the window held no paragraph or sentence end.
  std::vector<int> forced_cuts;
  // The per-page quota of linked words, and the links the distribution
  // inserted into the pages (the sum of by_address's counts).
  int64_t quota = 0;
  int64_t placed = 0;
  // Each distinct address once, in list order, with its links; `unused` the
  // addresses whose count is 0.
  std::vector<TAddressLinks> by_address;
  std::vector<std::string> unused;
  // In the order of the codes above; unsafe-url once per address.
  std::vector<TBuildWarning> warnings;
  // The stale files removed (or, in a dry run, that would be).
  std::vector<std::string> pruned;
  // The page files written, the whole site written, and whether anything
  // was written at all (false in a dry run).
  int pages_written = 0;
  bool complete = true;
  bool dry_run = false;

  // Not part of the JSON form: what the warnings' numbers rest on.
  int64_t addresses = 0;            // lines of SiteUrlsToLink
  uint64_t menu_and_bar_bytes = 0;  // the copies of the menu and the bars in the pages
  uint64_t page_bytes = 0;          // the page files together
  int pages_without_charset = 0;
  int pages_with_other_charset = 0;  // declaring a charset they are not written in
};

// The report of a generator whose pages a build has just made (BuildSite)
// and the files that build wrote. The links come from
// the distribution's own account (LinkPlacements); the sizes and charsets
// from `output`; the folder is made absolute.
TBuildReport MakeBuildReport(const TSiteGenerator& generator, const TBuildOutput& output);

}  // namespace orvana
