// The object-notation writer: a generator, its pages included, as the text
// of a project file, whole or in chunks, or streamed into a replacement file
// while its pages are made. Saving and reading files is ProjectFile.h's.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/FileSystem.h"
#include "engine/SiteGenerator.h"

namespace orvana {

// The whole text of the project file for the generator.
std::string WriteProjectText(const TSiteGenerator& generator);

// The text of WriteProjectText handed to `sink` in consecutive chunks of
// about a megabyte, so that the whole text is never held at once.
void WriteProjectTextInChunks(const TSiteGenerator& generator,
                              const std::function<void(std::string_view)>& sink);

// Names (file and folder names) are the platform's UTF-8. The one name a
// project file stores, SavePath, is stored in Windows-1251: a SavePath the
// code page cannot spell throws 'Cannot store the output folder "PATH" in the
// project: its name has characters outside Windows-1251', which every save
// checks (CheckStorable) before it creates a file.
void CheckStorable(const TSiteGenerator& generator);

// Throws the error a project file's save throws for a failed replacement of
// the file: 'Cannot create file "PATH". REASON' (PATH absolute), with REASON
// "Not a regular file" for a FIFO, a device and the like, or 'Stream write
// error: "PATH". REASON (error N)' when a write failed.
[[noreturn]] void ThrowSaveFailure(const std::string& file_name, const TWriteFailure& failure);

// Writes a project file while the generator's pages are made and dropped one
// at a time (a build's on_page, SiteBuild.h), so that the pages' HTML
// is never held all at once: the file holds exactly what SaveProjectFile
// would write had the pages kept their HTML and bars. The pages go to the
// replacement file as they come; Commit writes the generator's other
// properties as they are then and gives the file its name, atomically as
// SaveProjectFile does. A failure to create or write the file is kept until
// Commit, which throws it as SaveProjectFile would; an object destroyed
// without a successful Commit leaves the old file as it was.
class TProjectFileStream {
 public:
  // The generator must outlive the object; its name and other properties are
  // read when the object is made (the header) and on Commit (the rest).
  TProjectFileStream(const TSiteGenerator& generator, const std::string& file_name,
                     TFileSystem* fs = nullptr);
  ~TProjectFileStream();
  TProjectFileStream(const TProjectFileStream&) = delete;
  TProjectFileStream& operator=(const TProjectFileStream&) = delete;

  // The next page: its text, title and file name, and its bar and HTML as
  // pieces (their concatenations are written as Pagination and PageHTML).
  void AddPage(const TSitePage& page, const std::vector<std::string_view>& bar,
               const std::vector<std::string_view>& html);

  void Commit();

 private:
  void Flush();
  struct TState;
  const TSiteGenerator& generator_;
  std::string file_name_;
  std::unique_ptr<TFileReplacement> file_;
  TWriteFailure failure_{TWriteFailure::kCreate, 0};
  bool failed_ = false;
  std::unique_ptr<TState> state_;
};

}  // namespace orvana
