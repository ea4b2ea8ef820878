// What the commands share: the project argument, reading a project as the
// desktop application opens it, option values checked as the window checks
// them, and the wording of failures.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "cli/CommandLine.h"
#include "engine/StringList.h"

namespace orvana {
class TProjectDocument;
}

namespace orvana::cli {

// The one project file a command works on.
struct TProjectArg {
  std::string native;  // UTF-8, as typed: the platform's name, whatever its letters
};

// The single positional argument as a project file name. Throws EUsageError
// when there is none or more than one.
TProjectArg ProjectArgument(const TCommandArgs& args);

// The value of an integer option (--min, --pager-window ...); the window's
// own message for a refused text, after the option it came from.
int32_t IntegerOption(const std::string& option, const std::string& utf8);

// A folder argument (UTF-8) that a project is to store as its SavePath,
// which the project file holds in Windows-1251: a name the code page cannot
// spell is refused. A folder only written into (build --out) needs no check.
std::string FolderArgument(const std::string& utf8);

// "a folder", "a FIFO", "a device" ... for a file that is not a regular one.
const char* FileKindName(mode_t mode);

// Refuses a project path that names something other than a regular file; a
// path that does not exist passes.
void RefuseIrregularProjectFile(const TProjectArg& project);

// Removes the temporaries (".NAME.orvana-tmp-PID-N") that killed saves of
// the project left beside the file its name leads to: only those of that
// file, and only those whose process is gone, so that a save running now
// keeps its own.
void RemoveStaleProjectTemporaries(const TProjectArg& project);

// Reads the project as the desktop application opens it in a new project
// window, with no other window open, and warns on `err` of what its extras
// block held that could not be used (unless !print_warnings: a build
// reports them with its own). The stale temporaries of the project are
// removed first (RemoveStaleProjectTemporaries).
void ReadProject(const TProjectArg& project, TProjectDocument& document, std::ostream& err,
                 bool print_warnings = true);

size_t TotalLength(const TStringList& lines);

// "1 byte", "2 bytes".
std::string Counted(size_t n, const char* one, const char* many);

// Prints the exception being handled as the tool prints every failure of
// the work, after `prefix` (UTF-8), and returns the exit status 1.
int PrintCommandError(std::ostream& err, const std::string& prefix = "");

// The message of the exception being handled, as PrintCommandError words it
// (UTF-8, without the tool's name).
std::string CurrentErrorText();

// A new project document for a build whose process may leave it to the end
// of the process (see ProcessEndsAfterRun). Never inlined: the sanitizer
// script's leak suppression names this function, so that it covers this
// deliberate leak and no other document.
[[gnu::noinline]] std::unique_ptr<TProjectDocument> NewBuildDocument();

// The command line's words for an output folder that does not exist, before
// ": FOLDER" (the desktop application shows its own box).
inline constexpr const char* kMissingFolderText = "The output folder does not exist";

// Whether the process ends as soon as the command returns (SetProcessEndsAfterRun).
bool ProcessEndsAfterRun();

}  // namespace orvana::cli
