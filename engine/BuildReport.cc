#include "engine/BuildReport.h"

#include <algorithm>
#include <unordered_map>

#include "engine/FileSystem.h"
#include "engine/LinkDistribution.h"
#include "engine/UrlSafety.h"

namespace orvana {
namespace {

// "pages 3, 7 and 12", at most `shown` of them named.
std::string PageList(const std::vector<int>& pages, size_t shown) {
  std::string text = pages.size() == 1 ? "page " : "pages ";
  const size_t named = std::min(pages.size(), shown);
  for (size_t i = 0; i < named; ++i) {
    if (i > 0) text += (i + 1 == named && named == pages.size()) ? " and " : ", ";
    text += std::to_string(pages[i]);
  }
  if (named < pages.size()) text += " and " + std::to_string(pages.size() - named) + " more";
  return text;
}

std::string Plural(uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The links of each distinct address, from the distribution's account of
// every address it used.
void CountLinks(const TSiteGenerator& g, TBuildReport& report) {
  std::unordered_map<std::string_view, size_t> by_url;
  std::vector<size_t> slot_of_line;
  slot_of_line.reserve(g.SiteUrlsToLink().size());
  for (const std::string& url : g.SiteUrlsToLink()) {
    const auto [at, added] = by_url.emplace(url, report.by_address.size());
    if (added) report.by_address.push_back({url, 0, {}});
    slot_of_line.push_back(at->second);
  }
  for (const TLinkPlacement& placement : g.LinkPlacements()) {
    if (placement.address < 0 || static_cast<size_t>(placement.address) >= slot_of_line.size())
      continue;
    if (placement.links == 0) continue;
    TAddressLinks& links = report.by_address[slot_of_line[static_cast<size_t>(placement.address)]];
    links.count += placement.links;
    if (links.pages.empty() || links.pages.back() != placement.page)
      links.pages.push_back(placement.page);
    report.placed += placement.links;
  }
  for (TAddressLinks& links : report.by_address) {
    // An address listed twice may have gone to pages out of order.
    std::sort(links.pages.begin(), links.pages.end());
    links.pages.erase(std::unique(links.pages.begin(), links.pages.end()), links.pages.end());
    if (links.count == 0) report.unused.push_back(links.url);
  }
}

// "the pages declare", "3 of 9 pages declare": the subject of a charset
// warning about `count` of the report's pages.
std::string PagesThatDeclare(int count, int pages) {
  if (count == pages) return pages == 1 ? "the page declares" : "the pages declare";
  return std::to_string(count) + " of " + std::to_string(pages) +
         (count == 1 ? " pages declares" : " pages declare");
}

// Why menus and bars weigh so much, by the windows that are on.
std::string LargeOutputReason(const TOrvanaExtras& extras) {
  const bool menu = extras.MenuWindow > 0, bar = extras.PagerWindow > 0;
  if (!menu && !bar)
    return "every page's menu and pagination bar list every page, so the site grows with the "
           "square of its pages; MenuWindow and PagerWindow (--menu-window, --pager-window) "
           "would show only the pages near each one";
  if (!bar)
    return "every page's pagination bar lists every page, so the site grows with the square "
           "of its pages; PagerWindow (--pager-window) would show only the pages near each one";
  if (!menu)
    return "every page's menu lists every page, so the site grows with the square of its "
           "pages; MenuWindow (--menu-window) would show only the pages near each one";
  return "although both are windowed; smaller windows (MenuWindow, PagerWindow) or longer "
         "pages would shrink them";
}

// The warnings about the links' addresses.
void AddAddressWarnings(const TSiteGenerator& g, TBuildReport& r) {
  const auto warn = [&r](std::string_view code, std::string message) {
    r.warnings.push_back({std::string(code), std::move(message)});
  };
  int64_t blank = 0;
  for (const std::string& url : g.SiteUrlsToLink())
    if (url.find_first_not_of(" \t") == std::string::npos) ++blank;
  if (blank > 0)
    warn(kWarnEmptyAddress,
         Plural(static_cast<uint64_t>(blank), "link address is", "link addresses are") +
             " blank: their links point at the page they stand on; remove the blank lines "
             "from the list of addresses");
  if (const size_t padded = PaddedAddressCount(g.SiteUrlsToLink()))
    warn(kWarnPaddedAddress,
         Plural(padded, "link address has", "link addresses have") +
             " blanks at either end: the links lead to another, relative address; remove the "
             "blanks (orvana-cli set --links FILE trims them)");
  for (const std::string& address : ScriptRunningAddresses(g.SiteUrlsToLink())) {
    const auto linked = std::find_if(r.by_address.begin(), r.by_address.end(),
                                     [&](const TAddressLinks& a) { return a.url == address; });
    const bool inserted = linked != r.by_address.end() && linked->count > 0;
    warn(kWarnUnsafeUrl,
         "the link address \"" + address + "\" runs script when clicked; " +
             (inserted ? "its links were inserted as written" : "no link to it was inserted"));
  }
}

void AddWarnings(const TSiteGenerator& g, TBuildReport& r) {
  const auto warn = [&r](std::string_view code, std::string message) {
    r.warnings.push_back({std::string(code), std::move(message)});
  };
  const int32_t min = g.MinCharsPerPage(), max = g.MaxCharsPerPage();
  if (r.addresses > 0 && r.quota == 0)
    warn(kWarnLinkQuotaZero,
         Plural(static_cast<uint64_t>(r.addresses), "link address", "link addresses") + " over " +
             std::to_string(r.pages) + " pages give each page a quota of 0 links (" +
             std::to_string(r.addresses) + " div " + std::to_string(r.pages - 1) +
             " = 0), so no link was placed; it takes at least " + std::to_string(r.pages - 1) +
             " addresses, or fewer pages");
  if (min >= max)
    warn(kWarnMinAboveMax, "the minimum page size, " + std::to_string(min) +
                               ", is not below the maximum, " + std::to_string(max) +
                               ": no page can end at a paragraph or sentence end, and every "
                               "page but the last is cut at " +
                               std::to_string(max) + " characters");
  if (!r.forced_cuts.empty())
    warn(kWarnForcedCuts,
         Plural(r.forced_cuts.size(), "page was", "pages were") + " of " + std::to_string(r.pages) +
             " cut inside a word or sentence at the maximum of " + std::to_string(max) +
             " characters, finding no paragraph or sentence end between " + std::to_string(min) +
             " and " + std::to_string(max) + " characters (" + PageList(r.forced_cuts, 10) + ")");
  if (r.pages_without_charset > 0)
    warn(kWarnNoCharset, PagesThatDeclare(r.pages_without_charset, r.pages) +
                             " no charset (no <meta> tag names one); browsers have to guess "
                             "that they are " +
                             r.encoding);
  if (r.pages_with_other_charset > 0)
    warn(kWarnCharsetMismatch,
         PagesThatDeclare(r.pages_with_other_charset, r.pages) + " a charset other than " +
             r.encoding + ", the encoding they are written in, " +
             "so browsers show their letters garbled; declare " + r.encoding +
             " in the template or set OutputEncoding (--output-encoding) to utf-8, which "
             "rewrites the declaration");
  const TOrvanaExtras& extras = g.Extras();
  if (!extras.SiteUrl.empty()) {
    const std::string problem = SiteUrlProblem(extras.SiteUrl);
    if (!problem.empty())
      warn(kWarnBadSiteUrl, "the site address \"" + extras.SiteUrl + "\" cannot be used (" +
                                problem + "), so no sitemap was written; SiteUrl (--site-url) " +
                                "takes an absolute http or https address");
  }
  AddAddressWarnings(g, r);
  if (r.bytes > 0 && r.menu_and_bar_bytes * 2 > r.bytes)
    warn(kWarnLargeOutput, "menus and pagination bars make up " +
                               std::to_string(r.menu_and_bar_bytes) + " of the " +
                               std::to_string(r.bytes) + " bytes of the site (" +
                               std::to_string(r.menu_and_bar_bytes * 100 / r.bytes) +
                               "%): " + LargeOutputReason(extras));
}

}  // namespace

std::string SiteEncodingName(const TSiteGenerator& generator) {
  return std::string(OutputEncodingName(generator.Extras().OutputEncoding));
}

TBuildReport MakeBuildReport(const TSiteGenerator& generator, const TBuildOutput& output) {
  TBuildReport r;
  r.pages = generator.Pages().Count();
  r.folder = AbsolutePlatformPath(output.folder);
  r.encoding = SiteEncodingName(generator);
  const TCharsetKind written_in = OutputCharset(generator.Extras().OutputEncoding);
  if (!output.pages.empty()) r.page_bytes_min = output.pages.front().bytes;
  uint64_t page_total = 0;
  for (const TBuiltPage& page : output.pages) {
    page_total += page.bytes;
    r.page_bytes_min = std::min(r.page_bytes_min, page.bytes);
    r.page_bytes_max = std::max(r.page_bytes_max, page.bytes);
    if (page.charset == TCharsetKind::kNone)
      ++r.pages_without_charset;
    else if (page.charset != written_in)
      ++r.pages_with_other_charset;
  }
  r.page_bytes = page_total;
  r.bytes = page_total + output.css_bytes;
  for (const auto& file : output.other_files) r.bytes += file.second;
  if (!output.pages.empty())
    r.page_bytes_mean = static_cast<double>(page_total) / static_cast<double>(output.pages.size());
  r.pages_written = static_cast<int>(output.pages.size());
  r.complete = output.complete;
  r.dry_run = output.dry_run;
  r.pruned = output.pruned;
  r.forced_cuts = generator.ForcedCuts();
  r.addresses = static_cast<int64_t>(generator.SiteUrlsToLink().size());
  r.quota = LinkQuota(r.addresses, r.pages);
  CountLinks(generator, r);
  r.menu_and_bar_bytes = output.menu_and_bar_bytes;
  AddWarnings(generator, r);
  return r;
}

}  // namespace orvana
