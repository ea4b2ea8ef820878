#include "cli/ReportFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "engine/CodePage.h"
#include "engine/FileSystem.h"
#include "engine/SiteOutput.h"
#include "project/ProjectDocument.h"

namespace orvana::cli {
namespace {

// The folder, made absolute and canonical as far as it exists, for
// comparing two names of one file.
std::filesystem::path ComparablePath(const std::string& utf8) {
  std::error_code error;
  std::filesystem::path path = std::filesystem::absolute(utf8, error);
  if (error) path = utf8;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  return error ? path.lexically_normal() : canonical;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  if (std::filesystem::equivalent(a, b, error)) return true;
  return ComparablePath(a) == ComparablePath(b);
}

}  // namespace

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
      std::string folder;
      if (out_native) {
        folder = *out_native;
      } else {
        TProjectDocument document;
        try {
          document.LoadFromFile(project);
        } catch (const std::exception&) {
          continue;  // its own build reports why it cannot be read
        }
        folder = document.Generator().SavePath();
      }
      if (!folder.empty() && ComparablePath(folder) == report.parent_path())
        throw EUsageError("--report: \"" + shown + "\" is a file the build of " + project +
                              " writes; the site would replace the report or the report a page",
                          /*hint=*/false);
    }
  }
  struct stat st;
  if (::stat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode))
      throw EUsageError("--report: \"" + shown + "\" is " + FileKindName(st.st_mode) +
                            ", not a file a report can be written into",
                        /*hint=*/false);
    if (::access(target.c_str(), W_OK) != 0)
      throw EUsageError("--report: cannot write \"" + shown + "\": " + SystemErrorText(errno),
                        /*hint=*/false);
    return;
  }
  const std::filesystem::path parent = std::filesystem::path(shown).parent_path();
  if (::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw EUsageError("--report: cannot create \"" + shown + "\": the folder \"" + parent.string() +
                          "\" does not exist",
                      /*hint=*/false);
  if (::access(parent.c_str(), W_OK | X_OK) != 0)
    throw EUsageError("--report: cannot create \"" + shown + "\": " + SystemErrorText(errno),
                      /*hint=*/false);
}

void WriteReport(const std::string& target, const std::string& json, std::ostream& out) {
  if (target == "-") {
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
