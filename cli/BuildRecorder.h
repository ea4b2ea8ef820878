// The file system a build writes through when it has to account for itself:
// it passes every write on to the real file system (or, in a dry run, to
// nothing) and keeps the size of each file and whether a page declares its
// charset, so the report rests on the files as written. Pages written as
// pieces or over time reach the target the same way, so its single-call
// write paths stay in use.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "BuildReport.h"
#include "FileSystem.h"

namespace orvana::cli {

// DeclaresCharset of bytes that arrive in pieces, keeping only the head of
// the file: once the head holds "<body" and a ">" after it, the answer no
// longer depends on what follows.
class TCharsetSniffer {
 public:
  void Feed(std::string_view bytes);
  // DeclaresCharset of everything fed.
  bool Result() const { return decided_ ? result_ : DeclaresCharset(head_); }

 private:
  std::string head_;
  size_t body_at_ = std::string::npos;
  bool decided_ = false;
  bool result_ = false;
};

class TBuildRecorder : public TFileSystem {
 public:
  // Called after each file written, with the number written so far.
  using TWriteHook = std::function<void(size_t files_written)>;

  // `target` receives the writes; nullptr is a dry run: nothing is written,
  // every folder passes the directory test and its free space is not asked.
  // The recorder does not own the target.
  TBuildRecorder(TFileSystem* target, TWriteHook on_write);

  bool IsDirectory(const std::string& path) override;
  bool ReplaceFile(const std::string& path, std::string_view bytes, TReplaceMode mode,
                   TWriteFailure* failure) override;
  bool ReplaceFilePieces(const std::string& path, const std::vector<std::string_view>& pieces,
                         TReplaceMode mode, TWriteFailure* failure) override;
  std::unique_ptr<TFileReplacement> BeginReplace(const std::string& path, TReplaceMode mode,
                                                 TWriteFailure* failure) override;
  std::optional<uint64_t> FreeSpace(const std::string& folder) override;
  void RemoveStaleTemporaries(const std::string& folder,
                              const std::function<bool(std::string_view)>& ours) override;
  // Passed on; a dry run lists and removes nothing.
  bool ListRegularFiles(const std::string& folder, std::vector<std::string>& names) override;
  bool RemoveFile(const std::string& path, int* error_code) override;

  // The files written so far, read as a site of `page_count` pages: the
  // first `page_count` files are the pages, the next one the stylesheet.
  // Throws EOrvanaError when fewer files than that were written.
  TBuildOutput Output(int page_count, const std::string& folder) const;

 private:
  friend class TRecordedReplacement;
  void Record(TBuiltPage file);

  TFileSystem* target_;
  TWriteHook on_write_;
  std::vector<TBuiltPage> files_;
};

}  // namespace orvana::cli
