// Site output: the generated pages and the stylesheet written into a folder.
//
// The unit takes a file-system interface, a folder and the files' names and
// bytes; it knows nothing of the generator.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FileSystem.h"

namespace orvana {

// The file path of a name inside a folder: the folder unchanged, "/", the
// name. The separator is always added; a doubled one is harmless.
std::string FilePathIn(const std::string& folder, std::string_view name);

// Writes one file of the site into the folder, replacing it safely; throws
// EOrvanaError as WriteSiteFiles does.
void WriteSiteFile(TFileSystem& fs, const std::string& folder, std::string_view name,
                   std::string_view bytes);

// The same with the file's bytes given as pieces, written in order without
// being joined first.
void WriteSiteFile(TFileSystem& fs, const std::string& folder, std::string_view name,
                   const std::vector<std::string_view>& pieces);

// Throws EOrvanaError (error code ENOSPC) when a site of `needed` bytes cannot
// fit into the free space of the folder's file system: 'Not enough free space
// in "FOLDER": the site needs N bytes, M bytes are free', FOLDER absolute.
// Returns when it fits or the free space cannot be told.
void CheckFreeSpace(TFileSystem& fs, const std::string& folder, uint64_t needed);

// True for the names a build writes into a site's folder: "index.html", the
// generated pages ("pageN.html", see GeneratedPageNumber), "style.css" and
// the sitemap. Only the temporaries of these names are a build's to clean.
bool IsSiteFileName(std::string_view name);

// A file a build is about to write: its name in the folder and its size.
struct TPlannedFile {
  std::string_view name;
  uint64_t bytes;
};

// Throws EOrvanaError (error code ENOSPC) when the files cannot be written
// into the folder one after another: each takes its size rounded up to whole
// blocks of the folder's file system, each file it replaces gives back the
// space it occupies (TFileSystem::AllocatedSize), and the largest of those
// is needed once more for the temporary in flight, as an old file lives
// until its replacement is renamed over it. The message reads 'Not enough
// free space in "FOLDER": the site needs N bytes in blocks of B bytes, M
// bytes are free', FOLDER absolute, N that balance. Returns when the files
// fit or the space cannot be told.
void CheckSiteFits(TFileSystem& fs, const std::string& folder,
                   const std::vector<TPlannedFile>& files);

// The error box text for an output folder that fails the directory test.
const std::string& MissingFolderMessage();

// One page of a site to write: its file name and its bytes.
struct TSiteFile {
  std::string_view name;
  std::string_view bytes;
};

// Writes every page under its name, then `css` as "style.css", into the
// folder, in that order. A folder that fails the directory test is reported
// with ShowErrorBox("Указанный каталог не существует") and nothing is
// written. A site larger than the folder's free space throws CheckFreeSpace's
// error before anything is written. A page name that is a symbolic link gets
// the page in the link's place, the link's target untouched. A file that
// cannot be replaced throws EOrvanaError: 'Cannot create file "PATH". REASON
// (error N)' or 'Cannot write file "PATH". REASON (error N)', with PATH
// absolute and N the system's error number (also in ErrorCode()). Files
// written before it stay; the failed one keeps its old content; the rest are
// not written. After a complete write, the temporaries that dead processes
// left in the folder for the site's own names (IsSiteFileName) are removed.
void WriteSiteFiles(TFileSystem& fs, const std::string& folder, const std::vector<TSiteFile>& pages,
                    std::string_view css);

}  // namespace orvana
