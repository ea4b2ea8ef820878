// orvana-cli build: generates the sites of projects and writes them.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>

#include "BuildReport.h"
#include "BuildReportJson.h"
#include "CliError.h"
#include "CodePage.h"
#include "CommandSupport.h"
#include "Commands.h"
#include "FileSystem.h"
#include "Notify.h"
#include "ProgressLine.h"
#include "ProjectDocument.h"
#include "ProjectFile.h"
#include "SiteBuild.h"
#include "SiteOutput.h"

namespace orvana::cli {
namespace {

constexpr TCommandHelp kBuildHelp = {
    "Usage: orvana-cli build PROJECT... [--out DIR] [--seed N] [--save]\n"
    "                        [--report FILE] [--dry-run]\n"
    "\n"
    "Generates the site of each PROJECT and writes its pages and style.css into\n"
    "the project's output folder. The folder must exist; nothing else in it is\n"
    "touched. A relative folder is taken from the current folder. Prints one\n"
    "line per project: pages, links placed, bytes written and the folder (after\n"
    "\"PROJECT: \" when several are built), each followed by the build's warnings\n"
    "on standard error. A project that fails is reported and the others are\n"
    "still built; the exit status is then 1.\n"
    "\n",
    17,
    "\n"
    "The report holds pages, bytes, folder, encoding, page_bytes (min, max,\n"
    "mean), forced_cuts (pages cut inside a word at the maximum), links (quota,\n"
    "placed, by_address with url, count and pages, unused) and warnings (code\n"
    "and message). The warnings' codes: link-quota-zero, min-above-max,\n"
    "forced-cuts, no-charset, unsafe-url, large-output. While a build of more\n"
    "than a second writes its pages, a terminal shows how many are written.\n"};

// What `build` does with each of its projects.
struct TBuildOptions {
  std::optional<uint64_t> seed;
  std::optional<std::string> out_engine;  // --out, in Windows-1251
  bool save = false;
  bool dry_run = false;
  // Several projects: lines and warnings name their project.
  bool several = false;
  // The warnings go into the report, not onto the error stream.
  bool quiet_warnings = false;
};

// Builds one project and prints its summary line on `summary` and, unless
// they go into the report, its warnings on `err`. `report` receives the
// build's report as JSON: the figures of what was written, or, when the
// build failed, the error. Returns the exit status of this project.
int BuildProject(const TProjectArg& project, const TBuildOptions& options, std::ostream& summary,
                 std::ostream& err, std::string& report) {
  const std::string prefix = options.several ? project.native + ": " : std::string();
  const std::string report_project = options.several ? project.native : std::string();
  try {
    auto owned = std::make_unique<TProjectDocument>();
    // The last thing the process does: its pages and lines are not freed.
    struct TLeaveAtExit {
      std::unique_ptr<TProjectDocument>& document;
      bool leave;
      ~TLeaveAtExit() {
        if (leave) (void)document.release();
      }
    } leave_at_exit{owned, ProcessEndsAfterRun() && !options.several};
    TProjectDocument& document = *owned;
    ReadProject(project, document, err);
    document.PassTextsThroughMemos();
    TSiteGenerator& generator = document.Generator();
    generator.SetRandomSeed(options.seed);

    // --out is where this run writes, not a change to the project.
    const std::string folder = options.out_engine ? *options.out_engine : generator.SavePath();
    TProgressLine progress(err, ProgressOnTerminal());
    // With --save each page also goes into the project's replacement file as
    // it is made, and the project takes the new file once the whole site is
    // written.
    std::optional<TProjectFileStream> saved;
    if (options.save && !options.dry_run) saved.emplace(generator, project.engine);
    TSiteBuildOptions build;
    build.folder = folder;
    build.dry_run = options.dry_run;
    build.progress = [&](int written, int pages) {
      progress.Update(written, pages);
      return true;
    };
    build.on_page = [&](const TSitePage& page, const auto& bar, const auto& html) {
      if (saved) saved->AddPage(page, bar, html);
    };
    const TSiteBuildResult result = BuildSite(generator, RealFileSystem(), build);
    progress.Finish();
    if (result.outcome == TBuildOutcome::kMissingFolder) {
      // The desktop application shows this box and writes nothing; here it
      // is a failure, and the project is not saved either. The box's text
      // names no folder; the line adds which one was meant.
      const std::string message = Cp1251ToUtf8(MissingFolderMessage()) + ": " +
                                  (folder.empty() ? std::string("the folder name is empty")
                                                  : AbsoluteUtf8Path(Cp1251ToUtf8(folder)));
      err << "orvana-cli: " << prefix << message << '\n';
      report = FailedBuildToJson(report_project, message);
      return 1;
    }
    if (saved) saved->Commit();
    const TBuildReport& r = result.report;
    report = BuildReportToJson(r);

    summary << prefix << r.pages << (r.pages == 1 ? " page, " : " pages, ") << r.placed
            << (r.placed == 1 ? " link placed, " : " links placed, ") << r.bytes
            << (r.bytes == 1 ? " byte" : " bytes")
            << (options.dry_run ? " would be written to " : " written to ") << r.folder
            << (options.dry_run ? " (dry run)" : "") << '\n';
    for (const std::string& pruned : r.pruned)
      summary << prefix << (options.dry_run ? "would remove stale " : "removed stale ")
              << Cp1251ToUtf8(pruned) << '\n';
    if (!options.quiet_warnings)
      for (const TBuildWarning& warning : r.warnings)
        err << "orvana-cli: warning: " << prefix << Cp1251ToUtf8(warning.message) << '\n';
    return 0;
  } catch (const std::exception&) {
    report = FailedBuildToJson(report_project, CurrentErrorText());
    return PrintCommandError(err, prefix);
  }
}

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

// Refuses, before anything is built, a report file that would take the
// place of a project of the command or of a file a build writes, and one
// that cannot be created at all.
void CheckReportTarget(const std::string& target, const std::vector<std::string>& projects,
                       const TBuildOptions& options) {
  if (target == "-") return;
  const std::string shown = AbsoluteUtf8Path(target);
  for (const std::string& project : projects)
    if (SameFile(target, project))
      throw EUsageError("--report: \"" + shown + "\" is the project file " + project +
                            "; the report would replace it",
                        /*hint=*/false);
  const std::filesystem::path report = ComparablePath(target);
  if (IsSiteFileName(Utf8ToCp1251(report.filename().string()))) {
    // Only a site's own file names can clash with a site; the projects are
    // read for their folders only then.
    for (const std::string& project : projects) {
      std::string folder;
      if (options.out_engine) {
        folder = *options.out_engine;
      } else {
        TProjectDocument document;
        try {
          document.LoadFromFile(Utf8ToCp1251(project));
        } catch (const std::exception&) {
          continue;  // its own build reports why it cannot be read
        }
        folder = document.Generator().SavePath();
      }
      if (!folder.empty() && ComparablePath(NativePath(folder)) == report.parent_path())
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

// Writes the report text into the file named as typed, or onto `out` for "-".
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

}  // namespace

const std::vector<TOptionSpec>& BuildOptions() {
  static const std::vector<TOptionSpec> options = {
      {"out", true, "DIR",
       "write into DIR instead; the project keeps its own folder.\n"
       "Its name must be spelt in Windows-1251. One PROJECT only"},
      {"seed", true, "N",
       "pick the linked words with seed N (0 to\n"
       "18446744073709551615), so that the same project always gives\n"
       "the same site"},
      {"save", false, nullptr,
       "store the new pages and menu in PROJECT once the site is\n"
       "written"},
      {"report", true, "FILE",
       "write the build report into FILE (\"-\": standard output, and\n"
       "the summary lines go to standard error); the warnings are\n"
       "then in the report only. The report is a JSON object; with\n"
       "several PROJECTs, a JSON array of one object per PROJECT in\n"
       "order, null for one that failed"},
      {"dry-run", false, nullptr,
       "make the report only: no page, stylesheet or project is\n"
       "written and the output folder is not looked at; without\n"
       "--report the report goes to standard output"},
  };
  return options;
}

int RunBuild(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
  const TCommandArgs args = ParseCommandArgs(argv, BuildOptions());
  if (args.help) {
    out << HelpText(kBuildHelp, BuildOptions());
    return 0;
  }
  if (args.positional.empty()) throw EUsageError("missing PROJECT");
  TBuildOptions options;
  options.several = args.positional.size() > 1;
  // One project is checked before the options, as every command does.
  std::optional<TProjectArg> single;
  if (!options.several) single = ProjectArgument(args);
  if (const auto v = args.Value("seed")) {
    options.seed = ParseUnsigned64(*v);
    if (!options.seed)
      throw EUsageError("invalid seed '" + *v +
                        "': expected a number from 0 to 18446744073709551615");
  }
  if (const auto v = args.Value("out")) {
    // Several sites written into one folder would overwrite each other.
    if (options.several) throw EUsageError("--out takes one PROJECT only");
    options.out_engine = FolderArgument(*v);
  }
  options.save = args.Flag("save");
  options.dry_run = args.Flag("dry-run");
  std::optional<std::string> report_target = args.Value("report");
  if (!report_target && options.dry_run) report_target = "-";
  if (report_target && report_target->empty())
    throw EUsageError("--report: the file name is empty");
  if (report_target) CheckReportTarget(*report_target, args.positional, options);
  options.quiet_warnings = report_target.has_value();
  // With the report on standard output, nothing else may go there.
  std::ostream& summary = report_target == "-" ? err : out;

  std::vector<std::string> reports(args.positional.size());
  int code = 0;
  for (size_t i = 0; i < args.positional.size(); ++i) {
    if (single) {
      code = BuildProject(*single, options, summary, err, reports[i]);
      continue;
    }
    try {
      TCommandArgs one;
      one.positional = {args.positional[i]};
      if (BuildProject(ProjectArgument(one), options, summary, err, reports[i]) != 0) code = 1;
    } catch (const std::exception&) {
      // The next project is still built; this one's error names it.
      reports[i] = FailedBuildToJson(args.positional[i], CurrentErrorText());
      PrintCommandError(err, args.positional[i] + ": ");
      code = 1;
    }
  }
  if (!report_target) return code;
  WriteReport(*report_target, options.several ? JsonArray(reports) : reports[0], out);
  return code;
}

}  // namespace orvana::cli
