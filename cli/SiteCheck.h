// The audit of a site folder, made from its files alone: whoever wrote the
// pages, every local link must lead to a file of the folder, every page must
// declare the charset its bytes are in and hold some bytes, and a sitemap, when
// there is one, must be well-formed and list exactly the pages present.
//
// The pages are the files ending in ".html" or ".htm" anywhere under the
// folder. Each file is read once, as bytes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orvana::cli {

// The problems' codes.
inline constexpr const char* kNoPages = "no-pages";                     // no page in the folder
inline constexpr const char* kUnreadable = "unreadable";                // a file cannot be read
inline constexpr const char* kEmptyPage = "empty-page";                 // a page of 0 bytes
inline constexpr const char* kBrokenLink = "broken-link";               // a link to a missing file
inline constexpr const char* kNoCharset = "no-charset";                 // a page declares none
inline constexpr const char* kCharsetMismatch = "charset-mismatch";     // bytes of another one
inline constexpr const char* kSitemapMalformed = "sitemap-malformed";   // not well-formed
inline constexpr const char* kSitemapStale = "sitemap-stale-entry";     // lists a missing file
inline constexpr const char* kSitemapMissing = "sitemap-missing-page";  // leaves a page out
inline constexpr const char* kSitemapDuplicate = "sitemap-duplicate";   // lists one twice

struct TSiteProblem {
  std::string file;     // relative to the folder, "/" between folders; "." the folder
  std::string code;     // one of the codes above
  std::string message;  // UTF-8, without the file name
};

struct TSiteCheck {
  size_t pages = 0;
  // In the order of the pages (index.html, page1.html, page2.html, ...,
  // numbers compared by value), then the sitemap's.
  std::vector<TSiteProblem> problems;
};

// Checks the folder `folder` (a native UTF-8 path that names a folder).
// Throws ECliError when the folder cannot be listed.
TSiteCheck CheckSiteFolder(const std::string& folder);

// Bytes made printable for a message: UTF-8 sequences and printable ASCII
// stay, every other byte becomes "\xHH".
std::string PrintableBytes(std::string_view bytes);

}  // namespace orvana::cli
