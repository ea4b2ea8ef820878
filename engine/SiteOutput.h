// Site output: the generated pages and the stylesheet written into a folder.
//
// The unit takes a file-system interface, a folder (as the platform names
// it) and the files' names and bytes; it knows nothing of the generator.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/FileSystem.h"

namespace orvana {

// The file path of a name inside a folder: the folder unchanged, "/", the
// name. The separator is always added; a doubled one is harmless.
std::string FilePathIn(const std::string& folder, std::string_view name);

// Writes one file of the site into the folder, replacing it safely: a name
// that is a symbolic link gets the file in the link's place, the link's
// target untouched. A file that cannot be replaced throws EOrvanaError:
// 'Cannot create file "PATH". REASON (error N)' or 'Cannot write file
// "PATH". REASON (error N)', with PATH absolute and N the system's error
// number (also in ErrorCode()); the file keeps its old content.
void WriteSiteFile(TFileSystem& fs, const std::string& folder, std::string_view name,
                   std::string_view bytes);

// A site file written in two steps, so that writers on several threads can
// make their files at once and let them take their names in order: Begin
// creates it (as a temporary while an old file of that name lives), Write
// adds bytes, Commit gives it its name; each step throws as WriteSiteFile
// does. Destroyed before Commit, it leaves the old file (or none) as it was.
class TSiteFileWrite {
 public:
  TSiteFileWrite(TFileSystem& fs, const std::string& folder, std::string_view name);
  void Write(const std::vector<std::string_view>& pieces);
  void Commit();

 private:
  std::string path_;
  std::unique_ptr<TFileReplacement> replacement_;
};

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
// into the folder, `in_flight` of them at a time: each takes its size
// rounded up to whole blocks of the folder's file system, each file it
// replaces gives back the space it occupies (TFileSystem::AllocatedSize),
// and the `in_flight` largest of those are needed once more for the
// temporaries in flight, as an old file lives until its replacement is
// renamed over it. The message reads 'Not enough
// free space in "FOLDER": the site needs N bytes in blocks of B bytes, M
// bytes are free', FOLDER absolute, N that balance. `besides` bytes more
// are needed as they are (a project file saved there too: "the site and
// the project file need N bytes"). Returns when the files fit or the space
// cannot be told.
void CheckSiteFits(TFileSystem& fs, const std::string& folder,
                   const std::vector<TPlannedFile>& files, size_t in_flight = 1,
                   uint64_t besides = 0);

// Throws the EOrvanaError of a file that could not be created or written:
// 'Cannot create file "PATH". REASON (error N)', PATH absolute.
[[noreturn]] void ThrowWriteFailure(const std::string& path, const TWriteFailure& failure);

// The error box text for an output folder that fails the directory test.
const std::string& MissingFolderMessage();

}  // namespace orvana
