// The checks of a finished build that need nothing but the generator, its
// report and the file system it wrote into, for the site-build fuzzer: a
// failed check prints what failed and aborts, which libFuzzer reports as a
// crash with the input that caused it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/BuildReport.h"
#include "engine/SiteGenerator.h"
#include "engine/StalePages.h"
#include "tests/support/MemoryFileSystem.h"

namespace orvana::fuzz {

// The memory file system, with its missing folder to inject.
using TFuzzFileSystem = test::TMemoryFileSystem;

// The folder every build of the fuzzer writes into.
inline const std::string kFolder = "site";

[[noreturn]] inline void Die(const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
  std::abort();
}
// --- The report --------------------------------------------------------------

inline void CheckReport(const TSiteGenerator& g, const TBuildReport& r, bool dry_run) {
  if (r.pages != g.Pages().Count())
    Die("report.pages is not the page count",
        std::to_string(r.pages) + " != " + std::to_string(g.Pages().Count()));
  int64_t by_address = 0;
  std::vector<std::string> unused;
  for (const TAddressLinks& a : r.by_address) {
    by_address += a.count;
    if (a.count == 0) unused.push_back(a.url);
    if ((a.count > 0) == a.pages.empty() || a.count < static_cast<int64_t>(a.pages.size()))
      Die("an address's links and pages disagree", a.url);
    for (size_t i = 0; i < a.pages.size(); ++i)
      if (a.pages[i] < 0 || a.pages[i] >= r.pages || (i > 0 && a.pages[i] <= a.pages[i - 1]))
        Die("an address's pages are not ascending page indexes", a.url);
  }
  if (r.placed != by_address)
    Die("report.placed is not the sum of the addresses' links",
        std::to_string(r.placed) + " != " + std::to_string(by_address));
  int64_t logged = 0;
  for (const TLinkPlacement& pl : g.LinkPlacements()) logged += pl.links;
  if (r.placed != logged) Die("report.placed is not the links the distribution logged", "");
  if (unused != r.unused) Die("report.unused is not the addresses without a link", "");
  for (size_t i = 0; i < r.forced_cuts.size(); ++i)
    if (r.forced_cuts[i] < 0 || r.forced_cuts[i] >= r.pages ||
        (i > 0 && r.forced_cuts[i] <= r.forced_cuts[i - 1]))
      Die("report.forced_cuts are not ascending page indexes", "");
  if (r.pages > 0 && (r.page_bytes_min > r.page_bytes_max ||
                      r.page_bytes_mean < static_cast<double>(r.page_bytes_min) * 0.999999 ||
                      r.page_bytes_mean > static_cast<double>(r.page_bytes_max) * 1.000001))
    Die("the page sizes' minimum, mean and maximum are out of order", "");
  if (r.dry_run != dry_run || !r.complete) Die("the report's dry_run or complete is wrong", "");
  if (!dry_run && r.pages_written != r.pages) Die("not every page was written", "");
}

// With SafeLinks, each address is used up with at most one link, and one
// address has at most one link on a page.
inline void CheckSafePlacements(const TSiteGenerator& g) {
  const TStringList& addresses = g.SiteUrlsToLink();
  const std::vector<TLinkPlacement>& log = g.LinkPlacements();
  for (size_t i = 0; i < log.size(); ++i) {
    if (log[i].links < 0 || log[i].links > 1) Die("a safe link address gave several links", "");
    for (size_t j = 0; j < i && log[i].links == 1; ++j)
      if (log[j].links == 1 && log[j].page == log[i].page &&
          addresses[static_cast<size_t>(log[j].address)] ==
              addresses[static_cast<size_t>(log[i].address)])
        Die("one address linked twice on a page", addresses[static_cast<size_t>(log[i].address)]);
  }
}

template <typename T>
void Same(const char* what, const T& dry, const T& written) {
  if (!(dry == written)) Die("the dry run and the written build report differently", what);
}

inline void CompareReports(const TBuildReport& d, const TBuildReport& w) {
  Same("pages", d.pages, w.pages);
  Same("bytes", d.bytes, w.bytes);
  Same("folder", d.folder, w.folder);
  Same("encoding", d.encoding, w.encoding);
  Same("page_bytes_min", d.page_bytes_min, w.page_bytes_min);
  Same("page_bytes_max", d.page_bytes_max, w.page_bytes_max);
  Same("page_bytes_mean", d.page_bytes_mean, w.page_bytes_mean);
  Same("forced_cuts", d.forced_cuts, w.forced_cuts);
  Same("quota", d.quota, w.quota);
  Same("placed", d.placed, w.placed);
  Same("unused", d.unused, w.unused);
  Same("pruned", d.pruned, w.pruned);
  Same("menu_and_bar_bytes", d.menu_and_bar_bytes, w.menu_and_bar_bytes);
  Same("pages_without_charset", d.pages_without_charset, w.pages_without_charset);
  Same("by_address", d.by_address.size(), w.by_address.size());
  for (size_t i = 0; i < d.by_address.size(); ++i) {
    Same("by_address url", d.by_address[i].url, w.by_address[i].url);
    Same("by_address count", d.by_address[i].count, w.by_address[i].count);
    Same("by_address pages", d.by_address[i].pages, w.by_address[i].pages);
  }
  Same("warnings", d.warnings.size(), w.warnings.size());
  for (size_t i = 0; i < d.warnings.size(); ++i) {
    Same("warning code", d.warnings[i].code, w.warnings[i].code);
    Same("warning message", d.warnings[i].message, w.warnings[i].message);
  }
}

// The files the written build left: every page under its name, together as
// many bytes as the report says, and with PruneStale no stale page.
inline void CheckWrittenFiles(const TSiteGenerator& g, const TFuzzFileSystem& fs,
                              const TBuildReport& r) {
  uint64_t bytes = 0;
  std::vector<std::string> seen;
  for (const std::string& path : fs.order) {
    if (std::find(seen.begin(), seen.end(), path) != seen.end())
      Die("a file was written twice", path);
    seen.push_back(path);
    bytes += fs.files.at(path).size();
  }
  if (bytes != r.bytes)
    Die("the files written are not as large as the report says",
        std::to_string(bytes) + " != " + std::to_string(r.bytes));
  for (int i = 0; i < g.Pages().Count(); ++i)
    if (!fs.files.count(kFolder + "/" + g.Pages()[i].PageUrl))
      Die("a page was not written", g.Pages()[i].PageUrl);
  for (const std::string& name : r.pruned)
    if (fs.files.count(kFolder + "/" + name)) Die("a file reported pruned is still there", name);
  if (!g.Extras().PruneStale) {
    if (!r.pruned.empty() || !fs.removed.empty()) Die("files pruned without PruneStale", "");
    return;
  }
  for (const auto& [path, content] : fs.files) {
    const std::optional<int> n =
        GeneratedPageNumber(std::string_view(path).substr(kFolder.size() + 1));
    if (n && *n >= g.Pages().Count()) Die("a stale page survived PruneStale", path);
  }
}

}  // namespace orvana::fuzz
