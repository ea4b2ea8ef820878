// What the extras (Extras.h) change in a site's output: windowed pagination
// bars and menus, pages written in UTF-8 with a declared charset, and the
// sitemap. Every function takes plain strings; Windows-1251 in, as the
// engine holds its texts, unless said otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvana {

// The plain-text ellipsis ("…" in Windows-1251) that stands for a run of
// hidden page numbers or menu entries.
inline constexpr char kEllipsis = '\x85';
inline constexpr int kEllipsisEntry = -1;

// The entries a window of `window` (0 to INT32_MAX) around page `current`
// shows among `count` pages: the first and the last page, every page within
// `window` of the current one, in order; each run of two or more hidden
// pages becomes one kEllipsisEntry, a run of exactly one shows its page. The
// cost is that of the entries, never of the pages hidden; so is that of the
// bar and the menu below.
std::vector<int> WindowedEntries(int count, int current, int window);

// Page `current`'s pagination bar with a window: the arrows and the shown
// numbers as in the full bar (its own number plain, the others links), each
// ellipsis as " … ", plain text.
std::string BuildWindowedBar(const std::vector<std::string_view>& urls, int current, int window);

// Page `current`'s menu with a window: "<ul>" CR, an entry per shown page as
// in the full menu, "<li>…</li>" CR for each gap, "</ul>".
std::string BuildWindowedMenu(const std::vector<std::string_view>& urls,
                              const std::vector<std::string_view>& titles, int current, int window);

// The address of a file of the site: the site address, a "/" unless it ends
// with one, and the file name.
std::string SiteFileAddress(std::string_view site_url, std::string_view file_name);

// "sitemap.xml" for the pages' file names under the site address: UTF-8 XML
// of the sitemap protocol, one <url><loc> per page in order, the addresses
// percent-encoded beyond ASCII and XML-escaped.
std::string BuildSitemap(std::string_view site_url, const std::vector<std::string_view>& urls);

inline constexpr std::string_view kSitemapFileName = "sitemap.xml";

// The most addresses, and bytes (uncompressed), one sitemap may hold.
inline constexpr size_t kSitemapMaxUrls = 50000;
inline constexpr size_t kSitemapMaxBytes = 50 * 1024 * 1024;

// One file of a site's sitemap: its name in the site's folder and its bytes.
struct TSitemapFile {
  std::string name;
  std::string bytes;
};

// The sitemap of the pages' file names under the site address, within the
// protocol's limits. A site that fits one sitemap gets exactly BuildSitemap's
// "sitemap.xml". A larger one gets parts "sitemap-1.xml", "sitemap-2.xml",
// ..., each a sitemap of the next pages in order within both limits,
// followed last by "sitemap.xml" as a sitemap index: UTF-8 XML,
// '<sitemapindex xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">', one
// <sitemap><loc> per part giving its address (SiteFileAddress), encoded as
// the pages' addresses are. Written in order, the index never names a part
// not yet there.
std::vector<TSitemapFile> BuildSitemapFiles(std::string_view site_url,
                                            const std::vector<std::string_view>& urls);

// The same with limits of the caller's choosing (at least one address per
// part, whatever its size).
std::vector<TSitemapFile> BuildSitemapFiles(std::string_view site_url,
                                            const std::vector<std::string_view>& urls,
                                            size_t max_urls, size_t max_bytes);

}  // namespace orvana
