#include "engine/SiteOutput.h"

#include <algorithm>
#include <cerrno>
#include <limits>

#include "engine/CodePage.h"
#include "engine/Error.h"
#include "engine/Notify.h"
#include "engine/StalePages.h"

namespace orvana {
namespace {

// a + b, or the largest value when that overflows.
uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
  return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max()
                                                      : a + b;
}

}  // namespace

void WriteSiteFile(TFileSystem& fs, const std::string& folder, std::string_view name,
                   std::string_view bytes) {
  const std::string path = FilePathIn(folder, name);
  TWriteFailure failure{TWriteFailure::kCreate, 0};
  if (!fs.ReplaceFile(path, bytes, TReplaceMode::kSitePage, &failure))
    ThrowWriteFailure(path, failure);
}

TSiteFileWrite::TSiteFileWrite(TFileSystem& fs, const std::string& folder, std::string_view name)
    : path_(FilePathIn(folder, name)) {
  TWriteFailure failure{TWriteFailure::kCreate, 0};
  replacement_ = fs.BeginReplace(path_, TReplaceMode::kSitePage, &failure);
  if (!replacement_) ThrowWriteFailure(path_, failure);
}

void TSiteFileWrite::Write(const std::vector<std::string_view>& pieces) {
  TWriteFailure failure{TWriteFailure::kWrite, 0};
  if (!replacement_->WritePieces(pieces, &failure)) ThrowWriteFailure(path_, failure);
}

void TSiteFileWrite::Commit() {
  TWriteFailure failure{TWriteFailure::kWrite, 0};
  if (!replacement_->Commit(&failure)) ThrowWriteFailure(path_, failure);
}

void ThrowWriteFailure(const std::string& path, const TWriteFailure& failure) {
  const char* what =
      failure.stage == TWriteFailure::kCreate ? "Cannot create file \"" : "Cannot write file \"";
  throw EOrvanaError(std::string(what) + AbsolutePath(path) + "\". " +
                         SystemErrorText(failure.error_code) + " (error " +
                         std::to_string(failure.error_code) + ")",
                     failure.error_code);
}

bool IsSiteFileName(std::string_view name) {
  return name == "index.html" || name == "style.css" || GeneratedPageNumber(name) ||
         SitemapFileNumber(name);
}

void CheckSiteFits(TFileSystem& fs, const std::string& folder,
                   const std::vector<TPlannedFile>& files, size_t in_flight, uint64_t besides) {
  const std::optional<TFolderSpace> space = fs.FolderSpace(folder);
  if (!space) return;
  const uint64_t block = std::max<uint64_t>(space->block_size, 1);
  uint64_t taken = 0, given_back = 0;
  // The largest old files, smallest first: the temporaries in flight.
  std::vector<uint64_t> largest;
  in_flight = std::max<size_t>(in_flight, 1);
  for (const TPlannedFile& file : files) {
    const uint64_t blocks = file.bytes / block + (file.bytes % block != 0);
    taken = SaturatingAdd(taken, blocks > UINT64_MAX / block ? UINT64_MAX : blocks * block);
    const uint64_t old = fs.AllocatedSize(FilePathIn(folder, file.name));
    given_back = SaturatingAdd(given_back, old);
    if (largest.size() < in_flight || old > largest.front()) {
      if (largest.size() == in_flight) largest.erase(largest.begin());
      largest.insert(std::upper_bound(largest.begin(), largest.end(), old), old);
    }
  }
  for (uint64_t old : largest) taken = SaturatingAdd(taken, old);
  taken = SaturatingAdd(taken, besides);
  const uint64_t needed = taken > given_back ? taken - given_back : 0;
  if (needed <= space->free_bytes) return;
  throw EOrvanaError("Not enough free space in \"" + AbsolutePath(folder) + "\": the site " +
                         (besides > 0 ? "and the project file need " : "needs ") +
                         std::to_string(needed) + " bytes in blocks of " + std::to_string(block) +
                         " bytes, " + std::to_string(space->free_bytes) + " bytes are free",
                     ENOSPC);
}

const std::string& MissingFolderMessage() {
  static const std::string message = Utf8ToCp1251("Указанный каталог не существует");
  return message;
}

std::string FilePathIn(const std::string& folder, std::string_view name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path += folder;
  path += '/';
  path += name;
  return path;
}

}  // namespace orvana
