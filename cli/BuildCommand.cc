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

#include "cli/BuildReportJson.h"
#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/ProgressLine.h"
#include "cli/ProjectFolders.h"
#include "cli/ProjectOptions.h"
#include "cli/ReportFile.h"
#include "engine/BuildReport.h"
#include "engine/CodePage.h"
#include "engine/FileSystem.h"
#include "engine/Notify.h"
#include "engine/SiteBuild.h"
#include "engine/SiteOutput.h"
#include "project/ProjectDocument.h"
#include "project/ProjectFile.h"

namespace orvana::cli {
constexpr TCommandHelp kBuildHelp = {
    "Usage: orvana-cli build PROJECT... [--out DIR] [--seed N] [--save]\n"
    "                        [--report FILE] [--dry-run] [--strict]\n"
    "                        [EXTRAS FOR THIS BUILD]\n"
    "\n"
    "Generates the site of each PROJECT and writes its pages and style.css into\n"
    "the project's output folder, and sitemap.xml (with parts sitemap-N.xml past\n"
    "50,000 pages or 50 MB) when the project has a site address. The folder\n"
    "must exist; a relative one is taken from the current folder. Each file is\n"
    "written as a temporary \".NAME.orvana-tmp-PID-N\" renamed over NAME. Once\n"
    "the site is written, the temporaries that killed runs left for the site's\n"
    "own file names are removed and, with --prune, the pageN.html and sitemap\n"
    "files this build did not write. Nothing else in the folder is touched.\n"
    "The site is made and written one page at a time by each of up to four\n"
    "threads, one per processor (one thread with --save, which stores the pages\n"
    "in order): memory holds the text and a page per thread; the files are the\n"
    "same whatever the number. Prints one line per project: pages, links\n"
    "placed, bytes written and the folder (after \"PROJECT: \" when several are\n"
    "built), each followed by the build's warnings on standard error. A project\n"
    "that fails is reported and the others are still built; the exit status is\n"
    "then 1.\n"
    "\n",
    17,
    "\n"
    "The report holds ok (true; false, with error after it, for a build that\n"
    "failed or that --strict refused), pages, bytes (every file: the pages,\n"
    "style.css and the sitemap), folder, encoding, page_bytes (min, max, mean),\n"
    "forced_cuts (pages cut inside a word at the maximum), links (quota,\n"
    "placed, by_address with url, count and pages, unused), warnings (code and\n"
    "message), pruned (the files removed, or that a dry run would remove),\n"
    "extras (the extras in effect, when the project has one on or the command\n"
    "line overrides one) and complete (false only for a build that stopped\n"
    "early). A build that failed before its figures were known is {ok, error},\n"
    "after project when several are built. The warnings' codes:\n"
    "  link-quota-zero   addresses given, but each page's quota is 0 links\n"
    "  min-above-max     the minimum page size is not below the maximum\n"
    "  forced-cuts       pages cut inside a word or sentence at the maximum\n"
    "  no-charset        pages that declare no charset\n"
    "  charset-mismatch  pages declaring a charset they are not written in\n"
    "  unsafe-url        an address whose scheme runs script, once each\n"
    "  large-output      menus and bars are over half of the site's bytes\n"
    "  bad-site-url      a site address that cannot be used: no sitemap\n"
    "  empty-address     blank link addresses, linking a page to itself\n"
    "  padded-address    link addresses with blanks at either end\n"
    "While a build of more than a second writes its pages, a terminal shows how\n"
    "many are written.\n"};

namespace {

// What `build` does with each of its projects.
struct TBuildOptions {
  std::optional<uint64_t> seed;
  std::optional<std::string> out;  // --out, as typed
  bool save = false;
  bool dry_run = false;
  // A project with warnings is not written (see StrictlyRefused).
  bool strict = false;
  // The command line, for the extras it overrides; `overrides` tells
  // whether it gives any.
  const TCommandArgs* args = nullptr;
  bool overrides = false;
  // Several projects: lines and warnings name their project.
  bool several = false;
  // The warnings go into the report, not onto the error stream.
  bool quiet_warnings = false;
};

// The options that change an extra for one build.
constexpr const char* kOverrideOptions[] = {"site-url",      "output-encoding", "pager-window",
                                            "menu-window",   "link-rel",        "safe-links",
                                            "no-safe-links", "prune",           "no-prune"};

// One project's build: where it goes and how its lines begin.
struct TProjectBuild {
  const TProjectArg& project;
  const TBuildOptions& options;
  std::string folder;  // as the platform names it
  std::string prefix;  // "PROJECT: " with several projects
  std::string report_project;
  TReportContext context;
  // The pages written so far, always the first ones, in page order.
  int pages_written = 0;
};

// After a build failed part-way: which of the site's files it had replaced.
void PrintReplaced(const TProjectBuild& b, std::ostream& err) {
  if (b.pages_written <= 0 || b.options.dry_run) return;
  const int last = b.pages_written - 1;
  err << "orvana-cli: " << b.prefix << "replaced before the failure: "
      << Counted(static_cast<size_t>(b.pages_written), "page", "pages") << " (index.html"
      << (last == 0 ? std::string() : " to page" + std::to_string(last) + ".html")
      << "); the other files are as they were\n";
}

// The failure of a build whose folder does not exist. The desktop
// application shows this box and writes nothing; here it is a failure, and
// the project is not saved either. The box's text names no folder; the line
// adds which one was meant.
int MissingFolder(const TProjectBuild& b, std::ostream& err, std::string& report) {
  const std::string message =
      kMissingFolderText + std::string(": ") +
      (b.folder.empty() ? std::string("the folder name is empty") : AbsoluteUtf8Path(b.folder));
  err << "orvana-cli: " << b.prefix << message << '\n';
  report = FailedBuildToJson(b.report_project, message);
  return 1;
}

// With --strict, a build with warnings writes nothing: they are named on
// the error stream whether or not a report takes them, and the report is
// the dry run's, "ok" false.
void StrictlyRefused(const TProjectBuild& b, const TBuildReport& r, std::ostream& err,
                     std::string& report) {
  for (const TBuildWarning& warning : r.warnings)
    err << "orvana-cli: warning: " << b.prefix << Cp1251ToUtf8(warning.message) << " ["
        << warning.code << "]\n";
  TReportContext context = b.context;
  context.error =
      "--strict: " + Counted(r.warnings.size(), "warning", "warnings") + ", nothing written";
  err << "orvana-cli: " << b.prefix << context.error << '\n';
  report = BuildReportToJson(r, context);
}

// The summary lines and, unless they go into the report, the warnings.
void PrintBuilt(const TProjectBuild& b, const TBuildReport& r, std::ostream& summary,
                std::ostream& err) {
  const bool dry = b.options.dry_run;
  summary << b.prefix << r.pages << (r.pages == 1 ? " page, " : " pages, ") << r.placed
          << (r.placed == 1 ? " link placed, " : " links placed, ") << r.bytes
          << (r.bytes == 1 ? " byte" : " bytes") << (dry ? " would be written to " : " written to ")
          << PrintablePath(r.folder) << (dry ? " (dry run)" : "") << '\n';
  for (const std::string& pruned : r.pruned)
    summary << b.prefix << (dry ? "would remove stale " : "removed stale ") << Cp1251ToUtf8(pruned)
            << '\n';
  if (!b.options.quiet_warnings)
    for (const TBuildWarning& warning : r.warnings)
      err << "orvana-cli: warning: " << b.prefix << Cp1251ToUtf8(warning.message) << '\n';
}

// Builds the project read into `document` and prints its summary line on
// `summary` and, unless they go into the report, its warnings on `err`.
int BuildDocument(TProjectBuild& b, TProjectDocument& document, std::ostream& summary,
                  std::ostream& err, std::string& report) {
  TBuildRequest request;
  request.folder = b.folder;
  // The extras overridden for this build; the project keeps its own, also
  // in the file --save writes.
  request.extras = ExtrasOptions(*b.options.args, document.Generator().Extras());
  if (b.options.overrides || !request.extras->IsDefault()) b.context.extras = &*request.extras;
  request.seed = b.options.seed;
  request.strict = b.options.strict;
  request.report_read_warnings = true;
  request.dry_run = b.options.dry_run;
  if (b.options.save) request.save_to = b.project.native;
  TProgressLine progress(err, ProgressOnTerminal());
  request.progress = [&](int written, int pages) {
    b.pages_written = written;
    progress.Update(written, pages);
    return true;
  };
  const TSiteBuildResult result = document.Build(request);
  progress.Finish();
  if (result.outcome == TBuildOutcome::kMissingFolder) return MissingFolder(b, err, report);
  if (result.outcome == TBuildOutcome::kRefused) {
    StrictlyRefused(b, result.report, err, report);
    return 1;
  }
  // The JSON is made only for a report that is asked for.
  if (b.options.quiet_warnings) report = BuildReportToJson(result.report, b.context);
  PrintBuilt(b, result.report, summary, err);
  return 0;
}

// Builds one project. `report` receives the build's report as JSON: the
// figures of what was written, or, when the build failed, the error.
// Returns the exit status of this project.
int BuildProject(const TProjectArg& project, const TBuildOptions& options, std::ostream& summary,
                 std::ostream& err, std::string& report) {
  TProjectBuild b{project, options};
  b.prefix = options.several ? project.native + ": " : std::string();
  b.report_project = options.several ? project.native : std::string();
  b.context.project = b.report_project;
  try {
    auto owned = NewBuildDocument();
    // The last thing the process does: its pages and lines are not freed.
    struct TLeaveAtExit {
      std::unique_ptr<TProjectDocument>& document;
      bool leave;
      ~TLeaveAtExit() {
        if (leave) (void)document.release();
      }
    } leave_at_exit{owned, ProcessEndsAfterRun() && !options.several};
    // The reader's warnings are the build's: in its report and its lines.
    ReadProject(project, *owned, err, /*print_warnings=*/false);
    owned->PassTextsThroughMemos();
    // --out is where this run writes, not a change to the project.
    b.folder = options.out ? *options.out : owned->Generator().SavePath();
    return BuildDocument(b, *owned, summary, err, report);
  } catch (const std::exception&) {
    report = FailedBuildToJson(b.report_project, CurrentErrorText());
    const int code = PrintCommandError(err, b.prefix);
    PrintReplaced(b, err);
    return code;
  }
}

}  // namespace

const std::vector<TOptionEntry>& BuildOptions() {
  static const std::vector<TOptionEntry> options = {
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
       "order"},
      {"dry-run", false, nullptr,
       "make the report only: no file is written or removed; the\n"
       "folder must exist, its free space is asked and, with\n"
       "--prune, its stale files are listed; without --report the\n"
       "report goes to standard output"},
      {"strict", false, nullptr,
       "treat every warning as an error: a project whose build\n"
       "would warn writes nothing (no page, stylesheet, sitemap or\n"
       "project), its warnings go to standard error with their\n"
       "codes, its report has \"ok\": false, and it fails with 1;\n"
       "the other projects are judged on their own. The build is\n"
       "first made as a dry run with the seed of the real one (a\n"
       "random seed drawn once without --seed)"},
      {"site-url", true, "U", "write sitemap.xml listing the pages under U; \"\" writes none",
       "\n  The options below change the project's extras for this build only: they\n"
       "  are never stored, also not with --save, and the report lists the extras\n"
       "  in effect under \"extras\". Their values are those of `new`.\n"},
      {"output-encoding", true, "E", "write pages and style.css in E: windows-1251 or utf-8"},
      {"pager-window", true, "K", "the window of the pagination bars; 0 shows every page"},
      {"menu-window", true, "K", "the window of the menus; 0 shows every page"},
      {"link-rel", true, "R", "give every inserted link rel=\"R\"; \"\" gives none"},
      {"safe-links", false, nullptr, "link whole words of plain text only"},
      {"no-safe-links", false, nullptr, "link as the classic output does"},
      {"prune", false, nullptr, "remove pageN.html files beyond the new page count"},
      {"no-prune", false, nullptr, "keep them"},
  };
  return options;
}

int RunBuild(const TCommandArgs& args, std::ostream& out, std::ostream& err) {
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
    options.out = *v;  // never stored, so any name the platform takes
  }
  options.save = args.Flag("save");
  options.dry_run = args.Flag("dry-run");
  options.strict = args.Flag("strict");
  // The overrides are checked before anything is built.
  (void)ExtrasOptions(args, TOrvanaExtras{});
  options.args = &args;
  for (const char* option : kOverrideOptions)
    options.overrides = options.overrides || args.Value(option) || args.Flag(option);
  std::optional<std::string> report_target = args.Value("report");
  if (!report_target && options.dry_run) report_target = "-";
  if (report_target && report_target->empty())
    throw EUsageError("--report: the file name is empty");
  if (report_target) CheckReportTarget(*report_target, args.positional, options.out);
  if (options.several) RefuseSharedFolders(args.positional);
  options.quiet_warnings = report_target.has_value();
  // With the report on standard output, nothing else may go there.
  std::ostream& summary = report_target && ReportOnStandardOutput(*report_target) ? err : out;

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
