#include "BuildRecorder.h"

#include "Error.h"

namespace orvana::cli {

TBuildRecorder::TBuildRecorder(TFileSystem* target, TWriteHook on_write)
    : target_(target), on_write_(std::move(on_write)) {}

bool TBuildRecorder::IsDirectory(const std::string& path) {
  return target_ ? target_->IsDirectory(path) : true;
}

bool TBuildRecorder::ReplaceFile(const std::string& path, std::string_view bytes, TReplaceMode mode,
                                 TWriteFailure* failure) {
  if (target_ && !target_->ReplaceFile(path, bytes, mode, failure)) return false;
  files_.push_back({bytes.size(), DeclaresCharset(bytes)});
  if (on_write_) on_write_(files_.size());
  return true;
}

std::optional<uint64_t> TBuildRecorder::FreeSpace(const std::string& folder) {
  return target_ ? target_->FreeSpace(folder) : std::nullopt;
}

void TBuildRecorder::RemoveStaleTemporaries(const std::string& folder) {
  if (target_) target_->RemoveStaleTemporaries(folder);
}

bool TBuildRecorder::ListRegularFiles(const std::string& folder, std::vector<std::string>& names) {
  if (target_) return target_->ListRegularFiles(folder, names);
  names.clear();
  return false;
}

bool TBuildRecorder::RemoveFile(const std::string& path, int* error_code) {
  return target_ ? target_->RemoveFile(path, error_code) : false;
}

TBuildOutput TBuildRecorder::Output(int page_count, const std::string& folder) const {
  const size_t pages = static_cast<size_t>(page_count);
  if (files_.size() < pages + 1)
    throw EOrvanaError("The build wrote " + std::to_string(files_.size()) + " files for " +
                       std::to_string(page_count) + " pages");
  TBuildOutput output;
  output.folder = folder;
  output.pages.assign(files_.begin(), files_.begin() + static_cast<std::ptrdiff_t>(pages));
  output.css_bytes = files_[pages].bytes;
  return output;
}

}  // namespace orvana::cli
