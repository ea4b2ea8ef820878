#include "SiteOutput.h"

#include <cerrno>

#include "CodePage.h"
#include "Error.h"
#include "Notify.h"

namespace orvana {
namespace {

void WriteOne(TFileSystem& fs, const std::string& path, std::string_view bytes) {
  TWriteFailure failure{TWriteFailure::kCreate, 0};
  if (fs.ReplaceFile(path, bytes, TReplaceMode::kSitePage, &failure)) return;
  const char* what =
      failure.stage == TWriteFailure::kCreate ? "Cannot create file \"" : "Cannot write file \"";
  throw EOrvanaError(std::string(what) + AbsolutePath(path) + "\". " +
                         SystemErrorText(failure.error_code) + " (error " +
                         std::to_string(failure.error_code) + ")",
                     failure.error_code);
}

}  // namespace

void WriteSiteFile(TFileSystem& fs, const std::string& folder, const std::string& name,
                   std::string_view bytes) {
  WriteOne(fs, FilePathIn(folder, name), bytes);
}

void CheckFreeSpace(TFileSystem& fs, const std::string& folder, uint64_t needed) {
  const std::optional<uint64_t> free = fs.FreeSpace(folder);
  if (!free || needed <= *free) return;
  throw EOrvanaError("Not enough free space in \"" + AbsolutePath(folder) + "\": the site needs " +
                         std::to_string(needed) + " bytes, " + std::to_string(*free) +
                         " bytes are free",
                     ENOSPC);
}

const std::string& MissingFolderMessage() {
  static const std::string message = Utf8ToCp1251("Указанный каталог не существует");
  return message;
}

std::string FilePathIn(const std::string& folder, const std::string& name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path += folder;
  path += '/';
  path += name;
  return path;
}

void WriteSiteFiles(const TSiteGenerator& generator, const std::string& folder, TFileSystem& fs) {
  if (!fs.IsDirectory(folder)) {
    ShowErrorBox(MissingFolderMessage());
    return;
  }
  const TSitePages& pages = generator.Pages();
  uint64_t needed = generator.CssCode().size();
  for (int i = 0; i < pages.Count(); ++i) needed += pages[i].PageHTML.size();
  CheckFreeSpace(fs, folder, needed);
  for (int i = 0; i < pages.Count(); ++i)
    WriteOne(fs, FilePathIn(folder, pages[i].PageUrl), pages[i].PageHTML);
  WriteOne(fs, FilePathIn(folder, "style.css"), generator.CssCode());
  fs.RemoveStaleTemporaries(folder);
}

}  // namespace orvana
