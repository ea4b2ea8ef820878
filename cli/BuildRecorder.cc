#include "BuildRecorder.h"

#include "Error.h"

namespace orvana::cli {
namespace {

// The first "<body" from `from` on, in any letter case.
size_t FindBodyTag(std::string_view text, size_t from) {
  constexpr std::string_view kBody = "<body";
  for (size_t at = text.find('<', from); at != std::string_view::npos;
       at = text.find('<', at + 1)) {
    if (text.size() - at < kBody.size()) return std::string_view::npos;
    size_t i = 1;
    while (i < kBody.size() && (static_cast<unsigned char>(text[at + i]) | 0x20) == kBody[i]) ++i;
    if (i == kBody.size()) return at;
  }
  return std::string_view::npos;
}

}  // namespace

// DeclaresCharset looks at tags in order and stops at "<body". A tag before
// it reaches up to the first ">" after its "<"; with a ">" at or after the
// body tag in the head, every such tag ends inside the head, so the head
// alone gives the answer for the whole file.
void TCharsetSniffer::Feed(std::string_view bytes) {
  if (decided_ || bytes.empty()) return;
  const size_t old = head_.size();
  head_ += bytes;
  if (body_at_ == std::string::npos) {
    // "<body" may straddle the old end.
    body_at_ = FindBodyTag(head_, old >= 4 ? old - 4 : 0);
    if (body_at_ == std::string::npos) return;
  }
  if (head_.find('>', std::max(body_at_, old)) == std::string::npos) return;
  result_ = DeclaresCharset(head_);
  decided_ = true;
  std::string().swap(head_);
}

// A replacement that passes its bytes on to the target's own replacement (or
// nowhere, in a dry run) and records the file once it is committed.
class TRecordedReplacement final : public TFileReplacement {
 public:
  TRecordedReplacement(TBuildRecorder& recorder, std::unique_ptr<TFileReplacement> target)
      : recorder_(recorder), target_(std::move(target)) {}

  bool Write(std::string_view bytes, TWriteFailure* failure) override {
    if (target_ && !target_->Write(bytes, failure)) return false;
    bytes_ += bytes.size();
    charset_.Feed(bytes);
    return true;
  }

  bool Commit(TWriteFailure* failure) override {
    if (target_ && !target_->Commit(failure)) return false;
    recorder_.Record({bytes_, charset_.Result()});
    return true;
  }

 private:
  TBuildRecorder& recorder_;
  std::unique_ptr<TFileReplacement> target_;
  uint64_t bytes_ = 0;
  TCharsetSniffer charset_;
};

TBuildRecorder::TBuildRecorder(TFileSystem* target, TWriteHook on_write)
    : target_(target), on_write_(std::move(on_write)) {}

bool TBuildRecorder::IsDirectory(const std::string& path) {
  return target_ ? target_->IsDirectory(path) : true;
}

void TBuildRecorder::Record(TBuiltPage file) {
  files_.push_back(file);
  if (on_write_) on_write_(files_.size());
}

bool TBuildRecorder::ReplaceFile(const std::string& path, std::string_view bytes, TReplaceMode mode,
                                 TWriteFailure* failure) {
  if (target_ && !target_->ReplaceFile(path, bytes, mode, failure)) return false;
  Record({bytes.size(), DeclaresCharset(bytes)});
  return true;
}

bool TBuildRecorder::ReplaceFilePieces(const std::string& path,
                                       const std::vector<std::string_view>& pieces,
                                       TReplaceMode mode, TWriteFailure* failure) {
  if (target_ && !target_->ReplaceFilePieces(path, pieces, mode, failure)) return false;
  uint64_t bytes = 0;
  TCharsetSniffer charset;
  for (std::string_view piece : pieces) {
    bytes += piece.size();
    charset.Feed(piece);
  }
  Record({bytes, charset.Result()});
  return true;
}

std::unique_ptr<TFileReplacement> TBuildRecorder::BeginReplace(const std::string& path,
                                                               TReplaceMode mode,
                                                               TWriteFailure* failure) {
  std::unique_ptr<TFileReplacement> target;
  if (target_) {
    target = target_->BeginReplace(path, mode, failure);
    if (!target) return nullptr;
  }
  return std::make_unique<TRecordedReplacement>(*this, std::move(target));
}

std::optional<uint64_t> TBuildRecorder::FreeSpace(const std::string& folder) {
  return target_ ? target_->FreeSpace(folder) : std::nullopt;
}

void TBuildRecorder::RemoveStaleTemporaries(const std::string& folder,
                                            const std::function<bool(std::string_view)>& ours) {
  if (target_) target_->RemoveStaleTemporaries(folder, ours);
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
