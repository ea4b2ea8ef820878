// Saving and loading project files. The text itself is made by
// ObjectTextWriter.cc and read by ObjectTextReader.cc.

#include "ProjectFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "Error.h"
#include "FileSystem.h"
#include "ObjectText.h"

namespace orvana {
namespace {

namespace ot = object_text;

[[noreturn]] void FailToOpen(const std::string& file_name, int error_code) {
  throw EOrvanaError(ot::FormatMessage(ot::kCannotOpenFile,
                                       {AbsolutePath(file_name), SystemErrorText(error_code)}),
                     error_code);
}

// The whole file, or the failure's error number.
std::string ReadWholeFile(const std::string& file_name) {
  // Opening without blocking keeps a FIFO without a writer from holding the
  // program; the type check that follows refuses it before any read.
  const int fd = ::open(NativePath(file_name).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) FailToOpen(file_name, errno);
  struct stat st;
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
  // The bytes go straight into the text's own buffer, which is sized from
  // the file and grows only if the file grows while it is read.
  std::string text;
  size_t size = 0;
  text.resize(st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : size_t{1} << 16);
  for (;;) {
    if (size == text.size()) text.resize(text.size() * 2);
    const ssize_t n = ::read(fd, text.data() + size, text.size() - size);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      FailToOpen(file_name, err);
    }
    size += static_cast<size_t>(n);
  }
  text.resize(size);
  ::close(fd);
  return text;
}

}  // namespace

void ThrowSaveFailure(const std::string& file_name, const TWriteFailure& failure) {
  const std::string path = AbsolutePath(file_name);
  switch (failure.stage) {
    case TWriteFailure::kWrite:
      throw EOrvanaError(std::string(ot::kStreamWriteError) + ": \"" + path + "\". " +
                             SystemErrorText(failure.error_code) + " (error " +
                             std::to_string(failure.error_code) + ")",
                         failure.error_code);
    case TWriteFailure::kNotRegular:
      throw EOrvanaError(
          ot::FormatMessage(ot::kCannotCreateFile, {path, std::string(kNotRegularFileText)}));
    case TWriteFailure::kCreate:
      break;
  }
  throw EOrvanaError(
      ot::FormatMessage(ot::kCannotCreateFile, {path, SystemErrorText(failure.error_code)}),
      failure.error_code);
}

void SaveProjectFile(const TSiteGenerator& generator, const std::string& file_name,
                     TFileSystem* fs) {
  // The text goes to the replacement file a chunk at a time as it is made,
  // so the whole text, several times the size of the texts it encodes, is
  // never held at once.
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
                     const TProjectReadContext& context) {
  ReadProjectText(ReadWholeFile(file_name), generator, context);
}

}  // namespace orvana
