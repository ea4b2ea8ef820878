#include "cli/ReportFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/ProjectFolders.h"
#include "engine/CodePage.h"
#include "engine/FileSystem.h"
#include "engine/SiteOutput.h"
#include "project/ProjectDocument.h"

namespace orvana::cli {
namespace {

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  if (std::filesystem::equivalent(a, b, error)) return true;
  return ComparablePath(a) == ComparablePath(b);
}

bool IsNullDevice(const struct stat& st) {
  struct stat null;
  return S_ISCHR(st.st_mode) && ::stat("/dev/null", &null) == 0 && null.st_rdev == st.st_rdev;
}

bool IsStandardStream(const struct stat& st, int fd) {
  struct stat stream;
  return ::fstat(fd, &stream) == 0 && stream.st_dev == st.st_dev && stream.st_ino == st.st_ino;
}

}  // namespace

bool ReportOnStandardOutput(const std::string& target) {
  struct stat st;
  return target == "-" || (::stat(target.c_str(), &st) == 0 && IsStandardStream(st, 1));
}

void CheckReportTarget(const std::string& target, const std::vector<std::string>& projects,
                       const std::optional<std::string>& out_native) {
  if (target == "-") return;
  const std::string shown = AbsoluteUtf8Path(target);
  for (const std::string& project : projects)
    if (SameFile(target, project))
      throw EUsageError("--report: \"" + shown + "\" is the project file " + project +
                            "; the report would replace it",
                        /*hint=*/false);
  const std::filesystem::path report = ComparablePath(target);
  if (IsSiteFileName(report.filename().string())) {
    // Only a site's own file names can clash with a site; the projects are
    // read for their folders only then.
    for (const std::string& project : projects) {
      const std::optional<std::string> folder = out_native ? out_native : StoredFolder(project);
      // One that cannot be read: its own build reports why.
      if (!folder) continue;
      if (!folder->empty() && ComparablePath(*folder) == report.parent_path())
        throw EUsageError("--report: \"" + shown + "\" is a file the build of " + project +
                              " writes; the site would replace the report or the report a page",
                          /*hint=*/false);
    }
  }
  struct stat st;
  if (::stat(target.c_str(), &st) == 0) {
    // A pipe (a process substitution), the null device and the tool's own
    // output streams take a report as a file does.
    if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode) && !IsNullDevice(st) &&
        !IsStandardStream(st, 1) && !IsStandardStream(st, 2))
      throw EUsageError("--report: \"" + shown + "\" is " + FileKindName(st.st_mode) +
                            ", not a file a report can be written into",
                        /*hint=*/false);
    if (::access(target.c_str(), W_OK) != 0)
      throw EUsageError("--report: cannot write \"" + shown + "\": " + SystemErrorText(errno),
                        /*hint=*/false);
    return;
  }
  const std::filesystem::path parent =
      std::filesystem::path(AbsoluteUtf8PathBytes(target)).parent_path();
  if (::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw EUsageError("--report: cannot create \"" + shown + "\": the folder \"" + parent.string() +
                          "\" does not exist",
                      /*hint=*/false);
  if (::access(parent.c_str(), W_OK | X_OK) != 0)
    throw EUsageError("--report: cannot create \"" + shown + "\": " + SystemErrorText(errno),
                      /*hint=*/false);
}

void WriteReport(const std::string& target, const std::string& json, std::ostream& out) {
  // Standard output however named: opened again, a file behind it would be
  // truncated and what came before the report lost.
  if (ReportOnStandardOutput(target)) {
    out << json << '\n';
    return;
  }
  std::ofstream file(target, std::ios::binary | std::ios::trunc);
  if (file) file << json << '\n';
  if (file) file.close();
  if (!file)
    throw ECliError("Cannot write the report \"" + AbsoluteUtf8Path(target) +
                    "\": " + SystemErrorText(errno));
}

}  // namespace orvana::cli
