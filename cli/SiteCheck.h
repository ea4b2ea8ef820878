// The audit of a site folder, made from its files alone: whoever wrote the
// pages, every local link must lead to a file of the folder, every page must
// declare the charset its bytes are in and hold some bytes, and a sitemap, when
// there is one, must be well-formed and list exactly the pages present.
//
// The pages are the files ending in ".html" or ".htm" anywhere under the
// folder. Each file is read once, as bytes, a page in pieces of 1 MiB, so
// that a page of any size is judged in little memory. A page that declares
// no charset, one that no chain of links from the top index.html reaches,
// and an entry that is no file (a FIFO, a device, a link loop) are warnings;
// everything else is a fault.
#pragma once

#include <cstddef>
#include <cstdint>
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
inline constexpr const char* kTooLarge = "too-large";                   // too large to judge
// Warnings: the site works, but something about it may not be meant.
inline constexpr const char* kUnlinkedPage = "unlinked-page";  // no link leads to it
inline constexpr const char* kNotAFile = "not-a-file";         // a FIFO, a device, a link loop

// The largest page that is judged (4 GiB), read a piece at a time, and the
// largest sitemap (64 MiB; the protocol allows 50 MB), read whole.
inline constexpr uint64_t kMaxPageBytes = uint64_t{4} << 30;
inline constexpr uint64_t kMaxSitemapBytes = uint64_t{64} << 20;

struct TSiteProblem {
  std::string file;      // relative to the folder, "/" between folders; "." the folder
  std::string code;      // one of the codes above
  std::string message;   // UTF-8, without the file name
  bool warning = false;  // a warning rather than a fault of the site
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
