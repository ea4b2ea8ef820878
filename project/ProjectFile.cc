// Saving and loading project files. The text itself is made by
// ObjectTextWriter.cc and read by ObjectTextReader.cc.

#include "project/ProjectFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "engine/Error.h"
#include "engine/FileSystem.h"
#include "engine/Processors.h"
#include "engine/WorkerPool.h"
#include "project/HugePages.h"
#include "project/ObjectText.h"

namespace orvana {
namespace {

namespace ot = object_text;

[[noreturn]] void FailToOpen(const std::string& file_name, int error_code) {
  throw EOrvanaError(ot::FormatMessage(ot::kCannotOpenFile,
                                       {AbsolutePath(file_name), SystemErrorText(error_code)}),
                     error_code);
}

// A file's bytes, read without zero-filling first, a large text in huge
// pages, so that reading a project of many megabytes costs a few page faults,
// not one per 4 KiB; falls back to smaller pages where huge ones are not to be
// had. The memory comes from malloc, so that a program which keeps freed
// memory in its heap (orvana-cli does) makes the pages of a site in memory
// the read has already touched.
class TFileText {
 public:
  TFileText() = default;
  TFileText(const TFileText&) = delete;
  TFileText& operator=(const TFileText&) = delete;
  ~TFileText() { Release(); }

  // Room for at least `capacity` bytes, keeping the first `keep`.
  void Reserve(size_t capacity, size_t keep) {
    if (capacity <= capacity_) return;
    const size_t size = RoundUp(capacity + kHugePage, kHugePage);
    void* m = std::malloc(size);
    if (!m) throw std::bad_alloc();
    char* aligned = reinterpret_cast<char*>(
        RoundUp(reinterpret_cast<uintptr_t>(m), static_cast<uintptr_t>(kHugePage)));
    AdviseHugePages(aligned, size - kHugePage);
    if (keep) std::memcpy(aligned, data_, keep);
    Release();
    block_ = m;
    data_ = aligned;
    capacity_ = size - static_cast<size_t>(aligned - static_cast<char*>(m));
  }

  void Release() {
    std::free(block_);
    block_ = nullptr;
    data_ = nullptr;
    capacity_ = 0;
  }

  char* data() const { return data_; }
  size_t capacity() const { return capacity_; }

 private:
  static constexpr size_t kHugePage = size_t{2} << 20;
  template <typename T>
  static T RoundUp(T n, T to) {
    return (n + to - 1) / to * to;
  }

  void* block_ = nullptr;  // as malloc gave it; data_ lies inside
  char* data_ = nullptr;
  size_t capacity_ = 0;
};

[[noreturn]] void FailTooLarge(const std::string& file_name, uint64_t max_bytes) {
  constexpr uint64_t kGiB = uint64_t{1} << 30;
  throw EOrvanaError(
      ot::FormatMessage(ot::kCannotOpenFile,
                        {AbsolutePath(file_name),
                         "File too large (more than " +
                             (max_bytes % kGiB == 0 ? std::to_string(max_bytes / kGiB) + " GiB"
                                                    : std::to_string(max_bytes) + " bytes") +
                             ")"}),
      EFBIG);
}

// The part of a file from `from` to its size as it was opened, read with
// pread on a background task into the same buffer. Its destruction stops
// the task (between chunks) and waits for it.
class TSecondHalf {
 public:
  struct TResult {
    size_t bytes = 0;  // read from `from` on, up to the first short read
    int error = 0;     // the system's error number of a failed read
  };

  // Starts reading [from, end) of a file of `end` bytes, of which `read`
  // have been read, into buffer + from: only for a file large enough to be
  // worth a thread, with a processor for it. The halves meet at a multiple
  // of the huge page, so each thread fills whole huge pages.
  static std::unique_ptr<TSecondHalf> Start(int fd, char* buffer, size_t read, size_t end) {
    constexpr size_t kFrom = size_t{8} << 20, kHugePage = size_t{2} << 20;
    if (end < kFrom || UsableProcessors() < 2) return nullptr;
    const size_t from = std::max(end / 2 / kHugePage * kHugePage, read);
    if (from >= end) return nullptr;
    auto half = std::unique_ptr<TSecondHalf>(new TSecondHalf(from));
    TSecondHalf& h = *half;
    h.task_.emplace([&h, fd, buffer, end](const std::atomic<bool>& stop) {
      constexpr size_t kChunk = size_t{4} << 20;
      size_t at = h.from;
      while (at < end && !stop.load(std::memory_order_relaxed)) {
        const ssize_t n =
            ::pread(fd, buffer + at, std::min(kChunk, end - at), static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) h.result_.error = errno;
        if (n <= 0) break;
        at += static_cast<size_t>(n);
      }
      h.result_.bytes = at - h.from;
    });
    // No thread to be had: one reader.
    if (!h.task_->Started()) return nullptr;
    return half;
  }

  TSecondHalf(const TSecondHalf&) = delete;
  TSecondHalf& operator=(const TSecondHalf&) = delete;

  // Waits for the whole part.
  TResult Finish() {
    task_->Finish();
    return result_;
  }

  const size_t from;

 private:
  explicit TSecondHalf(size_t start) : from(start) {}

  TResult result_;
  // Last, so that it is stopped and joined before the result goes.
  std::optional<TBackgroundTask> task_;
};

// Opens the project file for reading, with its status in `st`: a regular
// file of at most max_bytes. Throws the opening failure.
int OpenProjectFile(const std::string& file_name, uint64_t max_bytes, struct stat& st) {
  // Opening without blocking keeps a FIFO without a writer from holding the
  // program; the type check that follows refuses it before any read.
  const int fd = ::open(file_name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) FailToOpen(file_name, errno);
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    FailToOpen(file_name, err);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    if (S_ISDIR(st.st_mode)) FailToOpen(file_name, EISDIR);
    throw EOrvanaError(ot::FormatMessage(
        ot::kCannotOpenFile, {AbsolutePath(file_name), std::string(kNotRegularFileText)}));
  }
  if (static_cast<uint64_t>(st.st_size) > max_bytes) {
    ::close(fd);
    FailTooLarge(file_name, max_bytes);
  }
  return fd;
}

// The file into `text`; returns how many bytes of it the reader is to see.
// That is the whole file unless a line grows past the reader's limit: the
// reading then stops, and the text ends kMaxLineBytes bytes into that line,
// which the scanner refuses exactly as it would the whole line, while what
// comes before the line is read as before. Throws the opening failure.
size_t ReadProjectBytes(const std::string& file_name, TFileText& text, uint64_t max_bytes) {
  struct stat st;
  const int fd = OpenProjectFile(file_name, max_bytes, st);
  // The buffer is sized from the file at once up to kAtOnce (its pages are
  // only touched as they are read into), a larger file's once its first
  // chunk is known not to end in an endless line; it grows only if the file
  // grows while it is read. Chunks bound what is read past a line found too
  // long.
  constexpr size_t kChunk = size_t{4} << 20, kAtOnce = size_t{256} << 20;
  const size_t whole = st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : size_t{1} << 16;
  size_t size = 0;
  size_t line_start = 0;  // where the last line read so far begins
  text.Reserve(whole <= kAtOnce ? whole : kChunk, 0);
  // A large file's second half is read on a thread of its own while this one
  // reads the first: the copying and the zeroing of fresh pages take two
  // processors instead of one. Only once the first chunk has no endless line.
  // It is stopped before the file is closed.
  std::unique_ptr<TSecondHalf> second;
  const auto fail = [&](int err) {
    second.reset();
    ::close(fd);
    FailToOpen(file_name, err);
  };
  // Takes n bytes just put at the end of what was read; false once a line
  // is too long, the text then cut to the limit.
  const auto take = [&](size_t n) {
    if (const void* lf = ::memrchr(text.data() + size, '\n', n))
      line_start = static_cast<size_t>(static_cast<const char*>(lf) - text.data()) + 1;
    size += n;
    if (size - line_start >= ot::kMaxLineBytes) {
      size = line_start + ot::kMaxLineBytes;
      return false;
    }
    if (size > max_bytes) {
      second.reset();
      ::close(fd);
      FailTooLarge(file_name, max_bytes);
    }
    return true;
  };
  for (;;) {
    if (size == text.capacity()) text.Reserve(std::max(text.capacity() * 2, whole), size);
    size_t room = std::min(text.capacity() - size, kChunk);
    if (second) room = std::min(room, second->from - size);
    const ssize_t n = ::read(fd, text.data() + size, room);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    if (n == 0 || !take(static_cast<size_t>(n))) break;
    if (!second && size == static_cast<size_t>(n) && whole <= kAtOnce)
      second = TSecondHalf::Start(fd, text.data(), size, whole - 1);
    if (second && size == second->from) {
      // The second half, taken chunk by chunk as if read here.
      const TSecondHalf::TResult got = second->Finish();
      if (got.error != 0) fail(got.error);
      bool more = got.bytes > 0;
      for (size_t done = 0; more && done < got.bytes; done += kChunk)
        more = take(std::min(kChunk, got.bytes - done));
      if (!more) break;
      second.reset();
      if (::lseek(fd, static_cast<off_t>(size), SEEK_SET) < 0) fail(errno);
    }
  }
  second.reset();
  ::close(fd);
  return size;
}

}  // namespace

void SaveProjectFile(const TSiteGenerator& generator, const std::string& file_name,
                     TFileSystem* fs) {
  // The text goes to the replacement file a chunk at a time as it is made,
  // so the whole text, several times the size of the texts it encodes, is
  // never held at once.
  CheckStorable(generator);
  TFileSystem& target = fs ? *fs : RealFileSystem();
  TWriteFailure failure{TWriteFailure::kCreate, 0};
  std::unique_ptr<TFileReplacement> file =
      target.BeginReplace(file_name, TReplaceMode::kDocument, &failure);
  if (!file) ThrowSaveFailure(file_name, failure);
  bool ok = true;
  WriteProjectTextInChunks(generator, [&](std::string_view chunk) {
    if (ok && !file->Write(chunk, &failure)) ok = false;
  });
  if (ok && file->Commit(&failure)) return;
  file.reset();
  ThrowSaveFailure(file_name, failure);
}

void LoadProjectFile(const std::string& file_name, TSiteGenerator& generator,
                     const TProjectReadContext& context, uint64_t max_bytes) {
  TFileText text;
  const size_t size = ReadProjectBytes(file_name, text, max_bytes);
  ReadProjectText(
      std::string_view(text.data(), size), [&text] { text.Release(); }, generator, context);
}

}  // namespace orvana
