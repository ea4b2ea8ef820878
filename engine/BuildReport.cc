#include "BuildReport.h"

#include "ExtrasOutput.h"

#include <algorithm>
#include <unordered_map>

#include "FileSystem.h"
#include "LinkDistribution.h"
#include "SiteMenu.h"
#include "TemplateProcessing.h"
#include "UrlSafety.h"

namespace orvana {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The position of `word` (lower case) in `text` from `from` on, in any
// letter case, or npos.
size_t FindNoCase(std::string_view text, std::string_view word, size_t from) {
  if (word.empty() || text.size() < word.size()) return std::string_view::npos;
  for (size_t i = from; i + word.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < word.size() && LowerAscii(text[i + k]) == word[k]) ++k;
    if (k == word.size()) return i;
  }
  return std::string_view::npos;
}

size_t CountOccurrences(std::string_view text, std::string_view pattern) {
  size_t n = 0;
  for (size_t at = text.find(pattern); at != std::string_view::npos;
       at = text.find(pattern, at + pattern.size()))
    ++n;
  return n;
}

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

// Counts the links Link distribution made (' <a href="ADDRESS">') in the
// pages' texts, by the address as it stands in the href.
void CountLinks(const TSiteGenerator& g, TBuildReport& report) {
  std::unordered_map<std::string, size_t> by_href;
  std::string href;
  for (const std::string& url : g.SiteUrlsToLink()) {
    href.clear();
    AppendHrefAddress(href, url);
    if (by_href.count(href) != 0) continue;
    by_href.emplace(href, report.by_address.size());
    report.by_address.push_back({url, 0, {}});
  }
  if (by_href.empty()) return;
  // Every link opens with ' <a href="'; its '<' is a byte that plain text
  // seldom holds, so the search goes from one '<' to the next.
  static constexpr std::string_view kOpening = "<a href=\"";
  for (int p = 0; p < g.Pages().Count(); ++p) {
    const std::string_view text = g.Pages()[p].PageText;
    for (size_t at = text.find('<', 1); at != std::string_view::npos; at = text.find('<', at + 1)) {
      if (text[at - 1] != ' ' || text.compare(at, kOpening.size(), kOpening) != 0) continue;
      const size_t begin = at + kOpening.size();
      const size_t end = text.find('"', begin);
      if (end == std::string_view::npos) break;
      const auto found = by_href.find(std::string(text.substr(begin, end - begin)));
      if (found == by_href.end() || text.substr(end, 2) != "\">") continue;
      TAddressLinks& links = report.by_address[found->second];
      ++links.count;
      if (links.pages.empty() || links.pages.back() != p) links.pages.push_back(p);
    }
  }
  for (const TAddressLinks& links : report.by_address)
    if (links.count == 0) report.unused.push_back(links.url);
}

// The bytes of the pages that are copies of the menu and of the pagination
// bars.
uint64_t MenuAndBarBytes(const TSiteGenerator& g) {
  const TSitePages& pages = g.Pages();
  const uint64_t menus = CountOccurrences(g.SiteTemplate(), kMenuPlaceholder);
  const TSiteTexts texts{g.SiteTemplate(), g.SiteMenu(),    g.SiteHeader(),
                         g.SiteFooter(),   g.AdsenseCode(), g.SiteTitle()};
  const uint64_t bars_per_page = TTemplateFiller(texts).SizeShape().bars;
  const TOrvanaExtras& extras = g.Extras();
  std::vector<std::string_view> urls, titles;
  urls.reserve(static_cast<size_t>(pages.Count()));
  for (int p = 0; p < pages.Count(); ++p) urls.emplace_back(pages[p].PageUrl);
  uint64_t bytes = 0;
  if (extras.MenuWindow > 0) {
    // Windowed menus differ from page to page.
    for (int p = 0; p < pages.Count(); ++p) titles.emplace_back(pages[p].PageTitle);
    for (int p = 0; p < pages.Count(); ++p)
      bytes += menus * BuildWindowedMenu(urls, titles, p, extras.MenuWindow).size();
  } else {
    bytes = menus * g.SiteMenu().size() * static_cast<uint64_t>(pages.Count());
  }
  if (bars_per_page == 0) return bytes;
  if (extras.PagerWindow > 0) {
    for (int p = 0; p < pages.Count(); ++p)
      bytes += bars_per_page * BuildWindowedBar(urls, p, extras.PagerWindow).size();
    return bytes;
  }
  const TPaginationBars bars(std::move(urls));
  for (int p = 0; p < pages.Count(); ++p) bytes += bars_per_page * bars.Size(p);
  return bytes;
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
  if (r.pages_without_charset > 0) {
    const bool all = r.pages_without_charset == r.pages;
    const std::string which =
        all ? (r.pages == 1 ? std::string("the page declares") : "the pages declare")
            : std::to_string(r.pages_without_charset) + " of " + std::to_string(r.pages) +
                  (r.pages_without_charset == 1 ? " pages declares" : " pages declare");
    warn(kWarnNoCharset, which +
                             " no charset (no <meta> tag names one); browsers have to guess "
                             "that they are " +
                             r.encoding);
  }
  for (const std::string& address : ScriptRunningAddresses(g.SiteUrlsToLink()))
    warn(kWarnUnsafeUrl,
         "the link address \"" + address + "\" runs script when clicked; it is linked as written");
  if (r.bytes > 0 && r.menu_and_bar_bytes * 2 > r.bytes)
    warn(kWarnLargeOutput,
         "menus and pagination bars make up " + std::to_string(r.menu_and_bar_bytes) + " of the " +
             std::to_string(r.bytes) + " bytes of the site (" +
             std::to_string(r.menu_and_bar_bytes * 100 / r.bytes) +
             "%): every page lists every page, so the site grows with the square of its pages");
}

}  // namespace

bool DeclaresCharset(std::string_view html) {
  // Only tags are looked at, and only up to the body: a site's pages are
  // mostly text and links, which need not be read.
  for (size_t at = html.find('<'); at != std::string_view::npos; at = html.find('<', at + 1)) {
    if (FindNoCase(html.substr(at, 5), "<body", 0) == 0) return false;
    if (FindNoCase(html.substr(at, 5), "<meta", 0) != 0) continue;
    const size_t close = html.find('>', at);
    const std::string_view tag =
        html.substr(at, close == std::string_view::npos ? close : close - at);
    if (FindNoCase(tag, "charset", 0) != std::string_view::npos) return true;
  }
  return false;
}

TBuildOutput OutputOfGeneratedPages(const TSiteGenerator& generator, const std::string& folder) {
  TBuildOutput output;
  output.folder = folder;
  const TSitePages& pages = generator.Pages();
  output.pages.reserve(static_cast<size_t>(pages.Count()));
  for (int p = 0; p < pages.Count(); ++p)
    output.pages.push_back({pages[p].PageHTML.size(), DeclaresCharset(pages[p].PageHTML)});
  output.css_bytes = generator.CssCode().size();
  return output;
}

std::string SiteEncodingName(const TSiteGenerator& generator) {
  return generator.Extras().OutputEncoding;
}

TBuildReport MakeBuildReport(const TSiteGenerator& generator, const TBuildOutput& output) {
  TBuildReport r;
  r.pages = generator.Pages().Count();
  r.folder = AbsolutePath(output.folder);
  r.encoding = SiteEncodingName(generator);
  r.bytes = output.css_bytes;
  if (!output.pages.empty()) r.page_bytes_min = output.pages.front().bytes;
  uint64_t page_total = 0;
  for (const TBuiltPage& page : output.pages) {
    page_total += page.bytes;
    r.page_bytes_min = std::min(r.page_bytes_min, page.bytes);
    r.page_bytes_max = std::max(r.page_bytes_max, page.bytes);
    if (!page.declares_charset) ++r.pages_without_charset;
  }
  r.bytes += page_total;
  if (!output.pages.empty())
    r.page_bytes_mean = static_cast<double>(page_total) / static_cast<double>(output.pages.size());
  r.forced_cuts = generator.ForcedCuts();
  r.addresses = static_cast<int64_t>(generator.SiteUrlsToLink().size());
  r.quota = LinkQuota(r.addresses, r.pages);
  r.placed = generator.LinksPlaced();
  CountLinks(generator, r);
  r.menu_and_bar_bytes = MenuAndBarBytes(generator);
  AddWarnings(generator, r);
  return r;
}

}  // namespace orvana
