// Stale pages: the pages an earlier, longer build of a site left in its
// folder, and the sitemap files it wrote that this build did not.
//
// A site of N pages is written as "index.html" and "page1.html" to
// "page<N-1>.html". After a build of fewer pages, the higher-numbered files
// of an earlier build are still there and still linked from nowhere. Only
// names of exactly the generator's pattern count: "page", a decimal number
// without leading zeros, ".html", nothing else, in that letter case.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/FileSystem.h"

namespace orvana {

// The page number N of a name "pageN.html" as the generator names its pages
// (N >= 1, no sign, no leading zero, no other byte), or nothing.
std::optional<int> GeneratedPageNumber(std::string_view name);

// Of the given file names, those of generated pages numbered at or above
// `page_count`, ordered by number.
std::vector<std::string> StalePageNames(const std::vector<std::string>& names, int page_count);

// The number of a sitemap file as a build names them: 0 for "sitemap.xml",
// N for a part "sitemap-N.xml" (N >= 1 as for pages), nothing for any other
// name.
std::optional<int> SitemapFileNumber(std::string_view name);

// The stale files in the folder for a site of `page_count` pages whose build
// writes the sitemap files named `written` (the names of BuildSitemapFiles,
// or none when the site has no address any more): the regular files of
// generated pages numbered at or above the count, by number, then those of
// sitemap files not in `written` (they would list pages that may be gone),
// by number. Nothing when the folder cannot be listed.
std::vector<std::string> ListStaleFiles(TFileSystem& fs, const std::string& folder, int page_count,
                                        const std::vector<std::string>& written);

// Removes the named files from the folder, each checked again to be a
// generated page's or a sitemap file's name; returns the names removed. A
// file that cannot be removed is left and not returned.
std::vector<std::string> RemoveStaleFiles(TFileSystem& fs, const std::string& folder,
                                          const std::vector<std::string>& names);

}  // namespace orvana
