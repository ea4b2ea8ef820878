#include "cli/CommandSupport.h"

#include <sys/stat.h>

#include <filesystem>
#include <new>
#include <ostream>

#include "cli/CliError.h"
#include "engine/CodePage.h"
#include "engine/Error.h"
#include "engine/FileSystem.h"
#include "engine/Notify.h"
#include "project/IntegerText.h"
#include "project/ProjectDocument.h"

namespace orvana::cli {

TProjectArg ProjectArgument(const TCommandArgs& args) {
  if (args.positional.empty()) throw EUsageError("missing PROJECT");
  if (args.positional.size() > 1)
    throw EUsageError("unexpected argument '" + args.positional[1] + "'");
  return TProjectArg{args.positional[0]};
}

int32_t IntegerOption(const std::string& option, const std::string& utf8) {
  const std::string text = Utf8ToCp1251(utf8);
  int32_t value = 0;
  if (!TryStrToInt(text, value))
    throw EUsageError("--" + option + ": " + Cp1251ToUtf8(NotAnIntegerMessage(text)),
                      /*hint=*/false);
  return value;
}

// A name the code page cannot spell would be stored with '?' in it and name
// some other folder.
std::string FolderArgument(const std::string& utf8) {
  if (!SpellInCp1251(utf8))
    throw ECliError("the folder \"" + utf8 +
                    "\" cannot be used: its name has characters outside Windows-1251");
  return utf8;
}

const char* FileKindName(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// A FIFO would block the read until some writer came, a device such as
// /dev/zero would be read for ever, and neither, nor a folder, can hold or
// take a project. A path that does not exist passes: the reader and the
// writer report it in their own words.
void RefuseIrregularProjectFile(const TProjectArg& project) {
  struct stat st;
  if (::stat(project.native.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return;
  const std::string kind = FileKindName(st.st_mode);
  throw ECliError("\"" + AbsoluteUtf8Path(project.native) + "\" is " +
                  (kind[0] == 'a' ? kind + ", not a project file" : kind));
}

// A save writes a temporary beside the file at the end of the name's chain of
// links, so that is where a killed save left its temporaries.
void RemoveStaleProjectTemporaries(const TProjectArg& project) {
  std::error_code error;
  std::filesystem::path file = std::filesystem::canonical(project.native, error);
  if (error) file = project.native;
  const std::string name = file.filename().string();
  if (name.empty()) return;
  RealFileSystem().RemoveStaleTemporaries(
      file.parent_path().string(), [&name](std::string_view target) { return target == name; });
}

// The reader's messages name a line or a property but not the file, so the
// file goes first; a file that cannot be opened or read (a failure with the
// system's error number) is already named in its message.
void ReadProject(const TProjectArg& project, TProjectDocument& document, std::ostream& err,
                 bool print_warnings) {
  RefuseIrregularProjectFile(project);
  RemoveStaleProjectTemporaries(project);
  try {
    document.LoadFromFile(project.native);
  } catch (const EOrvanaError& e) {
    if (e.ErrorCode() != 0) throw;
    throw ECliError(AbsoluteUtf8Path(project.native) + ": " + WithFullStop(e.what()));
  }
  // What the extras block held that could not be used: the project loads,
  // those extras keep their defaults, and the user is told.
  if (!print_warnings) return;
  for (const std::string& warning : document.ReadWarnings())
    err << "orvana-cli: warning: " << AbsoluteUtf8Path(project.native) << ": "
        << Cp1251ToUtf8(warning) << '\n';
}

std::unique_ptr<TProjectDocument> NewBuildDocument() {
  return std::make_unique<TProjectDocument>();
}

size_t TotalLength(const TStringList& lines) {
  size_t total = 0;
  for (const std::string& line : lines) total += line.size();
  return total;
}

std::string Counted(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Every message is UTF-8 and gets the error box's full stop. A message is
// one line: control characters of the names in it are escaped.
int PrintCommandError(std::ostream& err, const std::string& prefix) {
  std::string message;
  try {
    throw;
  } catch (const std::bad_alloc&) {
    message = "Out of memory.";
  } catch (const std::exception& e) {
    message = WithFullStop(e.what());
  }
  err << "orvana-cli: " << PrintablePath(prefix + message) << '\n';
  return 1;
}

std::string CurrentErrorText() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return "Out of memory.";
  } catch (const std::exception& e) {
    return WithFullStop(e.what());
  }
}

}  // namespace orvana::cli
