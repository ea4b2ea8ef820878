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

// The stale pages in the folder for a site of `page_count` pages: the
// regular files of the folder (StalePageNames of its listing), by number.
// Nothing when the folder cannot be listed.
std::vector<std::string> ListStalePages(TFileSystem& fs, const std::string& folder, int page_count);

// Removes the named files from the folder, each checked again to be a
// generated page's name; returns the names removed. A file that cannot be
// removed is left and not returned.
std::vector<std::string> RemoveStalePages(TFileSystem& fs, const std::string& folder,
                                          const std::vector<std::string>& names);

// The number of a sitemap file as a build names them: 0 for "sitemap.xml",
// N for a part "sitemap-N.xml" (N >= 1 as for pages), nothing for any other
// name.
std::optional<int> SitemapFileNumber(std::string_view name);

// The sitemap files in the folder that the last build did not write: the
// regular files "sitemap.xml" and "sitemap-N.xml" whose names are not in
// `written` (the names of BuildSitemapFiles, or none when the site has no
// address any more), by number. They would list pages that may be gone.
// Nothing when the folder cannot be listed.
std::vector<std::string> ListStaleSitemaps(TFileSystem& fs, const std::string& folder,
                                           const std::vector<std::string>& written);

// Removes the named files from the folder, each checked again to be a
// sitemap file's name; returns the names removed, as RemoveStalePages.
std::vector<std::string> RemoveStaleSitemaps(TFileSystem& fs, const std::string& folder,
                                             const std::vector<std::string>& names);

}  // namespace orvana
