#include "Cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <optional>
#include <ostream>
#include <utility>

#include "BuildReport.h"
#include "BuildReportJson.h"
#include "CheckCommand.h"
#include "CliError.h"
#include "CodePage.h"
#include "CommandLine.h"
#include "Error.h"
#include "ExtrasText.h"
#include "FileSystem.h"
#include "IntegerText.h"
#include "MemoText.h"
#include "ModernPreset.h"
#include "Notify.h"
#include "ProgressLine.h"
#include "ProjectDocument.h"
#include "ProjectFile.h"
#include "ProjectJson.h"
#include "SiteBuild.h"
#include "SiteOutput.h"
#include "TextInput.h"
#include "UrlSafety.h"

namespace orvana::cli {
namespace {

bool process_ends_after_run = false;

constexpr const char* kToolHelp =
    "Usage: orvana-cli COMMAND PROJECT [OPTIONS]\n"
    "\n"
    "Builds small static web sites out of one long text, from Orvana project files.\n"
    "\n"
    "Commands:\n"
    "  new     write a new project file, with the content of a new project\n"
    "  build   generate the site of a project and write it into a folder\n"
    "  show    print a project's settings, texts and pages\n"
    "  check   audit a site folder: links, charsets, empty pages and sitemap\n"
    "\n"
    "Options:\n"
    "  -h, --help  show this help; after a command, that command's help\n"
    "  --version   print the program's version\n"
    "\n"
    "Options take their value as \"--opt value\" or \"--opt=value\"; \"--\" ends the\n"
    "options. Exit status: 0 on success, 1 when the work failed, 2 for a command\n"
    "line that cannot be run.\n";

constexpr const char* kNewHelp =
    "Usage: orvana-cli new PROJECT [OPTIONS]\n"
    "\n"
    "Writes PROJECT as the desktop application saves a new project: 4000 to 5000\n"
    "characters per page, the default template, advertising block and stylesheet,\n"
    "no title, output folder, text, links or pages. Each option changes one field.\n"
    "\n"
    "Options:\n"
    "  --title T        site title\n"
    "  --min N          minimum characters per page\n"
    "  --max N          maximum characters per page\n"
    "  --out DIR        output folder stored in the project; its name must be\n"
    "                   spelt in Windows-1251\n"
    "  --text FILE      site text; an empty line separates paragraphs\n"
    "  --links FILE     link addresses, one per line; blank lines are dropped\n"
    "  --template FILE  page template\n"
    "  --ads FILE       advertising block\n"
    "  --css FILE       stylesheet\n"
    "  --input-encoding E\n"
    "                   the encoding of every FILE: utf-8 (the default) or\n"
    "                   windows-1251\n"
    "  --force          replace PROJECT if it exists (otherwise an existing file\n"
    "                   is an error and is left alone)\n"
    "\n"
    "  The extras below are off by default and saved with the project.\n"
    "  --preset modern  the modern template and stylesheet (HTML5, UTF-8, readable\n"
    "                   on a phone), no advertising block, --pager-window 2,\n"
    "                   --safe-links and --output-encoding utf-8; the options\n"
    "                   below and --template, --ads and --css still change it\n"
    "  --pager-window K show in each pagination bar the first and last page and\n"
    "                   the pages within K of the current one, gaps as \"...\"\n"
    "  --menu-window K  the same for each page's menu\n"
    "  --page-word W    the word before the number in page titles (\"Раздел\")\n"
    "  --index-label L  the first page's title (\"index\")\n"
    "  --safe-links     link whole words of plain text only, one occurrence each\n"
    "  --link-rel R     give every inserted link rel=\"R\"\n"
    "  --output-encoding E\n"
    "                   write pages and style.css in E: windows-1251 (the\n"
    "                   default) or utf-8, which adds a charset meta to pages\n"
    "                   that declare none\n"
    "  --site-url U     also write sitemap.xml, listing the pages under U, an\n"
    "                   absolute http or https address without blanks, query\n"
    "                   or fragment\n"
    "  --prune          after a build, remove pageN.html files beyond the new\n"
    "                   page count\n"
    "  -h, --help       show this help\n"
    "\n"
    "FILE is text cut into lines at line feeds; \"-\" reads it from standard input,\n"
    "which one FILE option at most can do. A FILE that is a folder or a device,\n"
    "one of more than 1 GiB and a UTF-8 FILE that is not valid UTF-8 are\n"
    "refused. Texts are stored in Windows-1251: characters it lacks become\n"
    "'?', and a warning gives their count and the first line holding one. N is a\n"
    "32-bit integer, decimal or hexadecimal after \"$\" or \"0x\". On success,\n"
    "prints one line: the project file, its title, the bytes of text and the\n"
    "number of link addresses.\n";

constexpr const char* kBuildHelp =
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
    "\n"
    "Options:\n"
    "  --out DIR      write into DIR instead; the project keeps its own folder.\n"
    "                 Its name must be spelt in Windows-1251. One PROJECT only\n"
    "  --seed N       pick the linked words with seed N (0 to\n"
    "                 18446744073709551615), so that the same project always gives\n"
    "                 the same site\n"
    "  --save         store the new pages and menu in PROJECT once the site is\n"
    "                 written\n"
    "  --report FILE  write the build report into FILE (\"-\": standard output, and\n"
    "                 the summary lines go to standard error); the warnings are\n"
    "                 then in the report only. The report is a JSON object; with\n"
    "                 several PROJECTs, a JSON array of one object per PROJECT in\n"
    "                 order, null for one that failed\n"
    "  --dry-run      make the report only: no page, stylesheet or project is\n"
    "                 written and the output folder is not looked at; without\n"
    "                 --report the report goes to standard output\n"
    "  -h, --help     show this help\n"
    "\n"
    "The report holds pages, bytes, folder, encoding, page_bytes (min, max,\n"
    "mean), forced_cuts (pages cut inside a word at the maximum), links (quota,\n"
    "placed, by_address with url, count and pages, unused) and warnings (code\n"
    "and message). The warnings' codes: link-quota-zero, min-above-max,\n"
    "forced-cuts, no-charset, unsafe-url, large-output. While a build of more\n"
    "than a second writes its pages, a terminal shows how many are written.\n";

constexpr const char* kShowHelp =
    "Usage: orvana-cli show PROJECT [--json]\n"
    "\n"
    "Prints a short summary of PROJECT.\n"
    "\n"
    "Options:\n"
    "  --json      print every property instead, as one JSON object on one line\n"
    "  -h, --help  show this help\n";

// The one project file a command works on.
struct TProjectArg {
  std::string native;  // UTF-8, as typed
  std::string engine;  // Windows-1251, for the engine
};

TProjectArg ProjectArgument(const TCommandArgs& args) {
  if (args.positional.empty()) throw EUsageError("missing PROJECT");
  if (args.positional.size() > 1)
    throw EUsageError("unexpected argument '" + args.positional[1] + "'");
  TProjectArg project{args.positional[0], Utf8ToCp1251(args.positional[0])};
  // The engine names files in Windows-1251. A name it cannot spell would come
  // back with '?' in it, and the tool would read or replace some other file.
  if (Cp1251ToUtf8(project.engine) != project.native)
    throw ECliError("Cannot use the file name \"" + AbsoluteUtf8Path(project.native) +
                    "\": it holds characters outside Windows-1251");
  return project;
}

// The value of --min or --max; the window's own message for a refused text,
// after the option it came from.
int32_t IntegerOption(const std::string& option, const std::string& utf8) {
  const std::string text = Utf8ToCp1251(utf8);
  int32_t value = 0;
  if (!TryStrToInt(text, value))
    throw EUsageError("--" + option + ": " + Cp1251ToUtf8(NotAnIntegerMessage(text)),
                      /*hint=*/false);
  return value;
}

// A folder argument (UTF-8) in Windows-1251. A name the code page cannot
// spell would come back with '?' in it: stored, it names some other folder,
// and written into, it puts the site into a folder named with question marks.
std::string FolderArgument(const std::string& utf8) {
  std::string engine = Utf8ToCp1251(utf8);
  if (Cp1251ToUtf8(engine) != utf8)
    throw ECliError("the folder \"" + utf8 +
                    "\" cannot be used: its name has characters outside Windows-1251");
  return engine;
}

const char* FileKindName(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// Refuses a project path that names something other than a regular file. A
// FIFO would block the read until some writer came, a device such as
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

// Reads the project for show and build, as the desktop application opens it
// in a new project window, with no other window open. The reader's messages
// name a line or a property but not the file, so the file goes first; a file
// that cannot be opened or read (a failure with the system's error number) is
// already named in its message.
void ReadProject(const TProjectArg& project, TProjectDocument& document, std::ostream& err) {
  RefuseIrregularProjectFile(project);
  try {
    document.LoadFromFile(project.engine);
  } catch (const EOrvanaError& e) {
    if (e.ErrorCode() != 0) throw;
    throw ECliError(AbsoluteUtf8Path(project.native) + ": " + Cp1251ToUtf8(WithFullStop(e.what())));
  }
  // What the extras block held that could not be used: the project loads,
  // those extras keep their defaults, and the user is told.
  for (const std::string& warning : document.ReadWarnings())
    err << "orvana-cli: warning: " << AbsoluteUtf8Path(project.native) << ": "
        << Cp1251ToUtf8(warning) << '\n';
}

size_t TotalLength(const TStringList& lines) {
  size_t total = 0;
  for (const std::string& line : lines) total += line.size();
  return total;
}

std::string Counted(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Prints the exception being handled as the tool prints every failure of
// the work, after `prefix` (UTF-8), and returns the exit status 1. Engine
// messages are Windows-1251 and get the error box's full stop.
int PrintCommandError(std::ostream& err, const std::string& prefix = "") {
  try {
    throw;
  } catch (const EOrvanaError& e) {
    err << "orvana-cli: " << prefix << Cp1251ToUtf8(WithFullStop(e.what())) << '\n';
  } catch (const ECliError& e) {
    err << "orvana-cli: " << prefix << WithFullStop(e.what()) << '\n';
  } catch (const std::bad_alloc&) {
    err << "orvana-cli: " << prefix << "Out of memory.\n";
  } catch (const std::exception& e) {
    err << "orvana-cli: " << prefix << WithFullStop(e.what()) << '\n';
  }
  return 1;
}

// The extras the options of `new` give, over `extras`.
TOrvanaExtras ExtrasOptions(const TCommandArgs& args, TOrvanaExtras extras) {
  const auto window = [&](const char* option, int32_t& field) {
    if (const auto v = args.Value(option)) {
      field = IntegerOption(option, *v);
      if (field < 0)
        throw EUsageError(std::string("--") + option + ": the window cannot be negative",
                          /*hint=*/false);
    }
  };
  window("pager-window", extras.PagerWindow);
  window("menu-window", extras.MenuWindow);
  if (const auto v = args.Value("page-word")) extras.PageWord = Utf8ToCp1251(*v);
  if (const auto v = args.Value("index-label")) extras.IndexLabel = Utf8ToCp1251(*v);
  if (args.Flag("safe-links")) extras.SafeLinks = true;
  if (const auto v = args.Value("link-rel")) extras.LinkRel = Utf8ToCp1251(*v);
  if (const auto v = args.Value("output-encoding")) {
    extras.OutputEncoding = CanonicalOutputEncoding(*v);
    if (extras.OutputEncoding.empty())
      throw EUsageError("invalid output encoding '" + *v + "': expected windows-1251 or utf-8");
  }
  if (const auto v = args.Value("site-url")) {
    extras.SiteUrl = Utf8ToCp1251(*v);
    // A '?' for a character the code page lacks would make another address.
    std::string problem = SiteUrlProblem(extras.SiteUrl);
    if (problem.empty() && CharactersOutsideCp1251(*v) != 0)
      problem = "it holds characters outside Windows-1251";
    if (!problem.empty())
      throw EUsageError("--site-url: '" + *v + "' cannot be the site's address: " + problem,
                        /*hint=*/false);
  }
  if (args.Flag("prune")) extras.PruneStale = true;
  return extras;
}

// The options of `new` that name an input FILE, in the order they are read.
constexpr const char* kFileOptions[] = {"text", "template", "ads", "css", "links"};

const std::vector<TOptionSpec> kNewOptions = {{"title", true},
                                              {"min", true},
                                              {"max", true},
                                              {"out", true},
                                              {"text", true},
                                              {"links", true},
                                              {"template", true},
                                              {"ads", true},
                                              {"css", true},
                                              {"input-encoding", true},
                                              {"force", false},
                                              {"preset", true},
                                              {"pager-window", true},
                                              {"menu-window", true},
                                              {"page-word", true},
                                              {"index-label", true},
                                              {"safe-links", false},
                                              {"link-rel", true},
                                              {"output-encoding", true},
                                              {"site-url", true},
                                              {"prune", false}};

// Warns of the characters of the string options that the code page lacks:
// they are stored in Windows-1251 as the files' texts are.
void WarnOfLostCharacters(const TCommandArgs& args, std::ostream& err) {
  for (const char* option : {"title", "page-word", "index-label", "link-rel"})
    if (const auto v = args.Value(option))
      if (const size_t n = CharactersOutsideCp1251(*v))
        err << "orvana-cli: warning: --" << option << ": " << Counted(n, "character", "characters")
            << " outside Windows-1251 became '?'\n";
}

// The lines of the FILE given to the option, with the warnings of what the
// conversion and, for the links, the blank lines cost.
TStringList ReadFileOption(const char* option, const std::string& path, TInputEncoding encoding,
                           std::ostream& err) {
  TInputText input = ReadInputText(path, encoding, option);
  if (input.unmapped != 0)
    err << "orvana-cli: warning: " << InputName(path) << ": "
        << Counted(input.unmapped, "character", "characters")
        << " outside Windows-1251 became '?', "
        << (input.unmapped == 1 ? "on line " : "the first on line ") << input.first_unmapped_line
        << '\n';
  // A blank line is no address, yet words would be linked to it.
  if (std::string_view(option) == "links")
    if (const size_t n = DropBlankLines(input.lines))
      err << "orvana-cli: warning: " << InputName(path) << ": "
          << Counted(n, "blank line", "blank lines") << " dropped\n";
  return std::move(input.lines);
}

int RunNew(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
  const TCommandArgs args = ParseCommandArgs(argv, kNewOptions);
  if (args.help) {
    out << kNewHelp;
    return 0;
  }
  const TProjectArg project = ProjectArgument(args);

  TInputEncoding encoding = TInputEncoding::kUtf8;
  if (const auto v = args.Value("input-encoding")) {
    const auto parsed = ParseInputEncoding(*v);
    if (!parsed)
      throw EUsageError("invalid input encoding '" + *v + "': expected utf-8 or windows-1251");
    encoding = *parsed;
  }
  // Standard input can be read once only.
  std::string stdin_option;
  for (const char* option : kFileOptions) {
    if (args.Value(option) != "-") continue;
    if (!stdin_option.empty())
      throw EUsageError("--" + stdin_option + " and --" + option +
                        " both read standard input ('-'); only one FILE option can");
    stdin_option = option;
  }

  bool modern = false;
  if (const auto v = args.Value("preset")) {
    if (*v != "modern") throw EUsageError("invalid preset '" + *v + "': expected modern");
    modern = true;
  }
  // The extras are checked before anything is read or written.
  (void)ExtrasOptions(args, TOrvanaExtras{});

  TProjectDocument document;
  TSiteGenerator& generator = document.Generator();
  // The settings fields, in the order the window copies them.
  if (const auto v = args.Value("min")) generator.SetMinCharsPerPage(IntegerOption("min", *v));
  if (const auto v = args.Value("max")) generator.SetMaxCharsPerPage(IntegerOption("max", *v));
  if (const auto v = args.Value("title")) generator.SetSiteTitle(Utf8ToCp1251(*v));
  if (const auto v = args.Value("out")) generator.SetSavePath(FolderArgument(*v));

  RefuseIrregularProjectFile(project);
  struct stat st;
  if (!args.Flag("force") && ::lstat(project.native.c_str(), &st) == 0)
    throw ECliError("\"" + AbsoluteUtf8Path(project.native) +
                    "\" already exists; use --force to replace it");

  WarnOfLostCharacters(args, err);

  // Then the memos: those of a new project, each FILE in place of its own.
  const auto read = [&](const char* option, const std::string& path) {
    return ReadFileOption(option, path, encoding, err);
  };
  TProjectMemos memos = TProjectDocument::NewProjectMemos();
  if (modern) {
    ApplyModernPreset(generator);
    memos.site_template = ModernTemplateLines();
    memos.css_code = ModernCssLines();
    memos.adsense_code.clear();
  }
  generator.SetExtras(ExtrasOptions(args, generator.Extras()));
  // The preset's template declares the charset its pages are written in.
  if (modern) memos.site_template = ModernTemplateLines(generator.Extras().OutputEncoding);
  if (const auto v = args.Value("text")) memos.site_text = read("text", *v);
  if (const auto v = args.Value("template")) memos.site_template = read("template", *v);
  if (const auto v = args.Value("ads")) memos.adsense_code = read("ads", *v);
  if (const auto v = args.Value("css")) memos.css_code = read("css", *v);
  if (const auto v = args.Value("links")) memos.site_urls_to_link = read("links", *v);
  document.SetMemos(std::move(memos));

  document.SaveToFile(project.engine);
  out << "wrote " << AbsoluteUtf8Path(project.native) << " (title \""
      << Cp1251ToUtf8(generator.SiteTitle()) << "\", "
      << Counted(TotalLength(generator.SiteText()), "byte", "bytes") << " of text, "
      << Counted(generator.SiteUrlsToLink().size(), "address", "addresses") << ")\n";
  return 0;
}

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

// The message of the exception being handled, as PrintCommandError words it
// (UTF-8, without the tool's name).
std::string CurrentErrorText() {
  try {
    throw;
  } catch (const EOrvanaError& e) {
    return Cp1251ToUtf8(WithFullStop(e.what()));
  } catch (const std::bad_alloc&) {
    return "Out of memory.";
  } catch (const std::exception& e) {
    return WithFullStop(e.what());
  }
}

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
    } leave_at_exit{owned, process_ends_after_run && !options.several};
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

int RunBuild(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
  const TCommandArgs args = ParseCommandArgs(
      argv, {{"out", true}, {"seed", true}, {"save", false}, {"report", true}, {"dry-run", false}});
  if (args.help) {
    out << kBuildHelp;
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

void PrintSummary(const TProjectArg& project, const TSiteGenerator& g, std::ostream& out) {
  out << "Project:       " << AbsoluteUtf8Path(project.native) << '\n'
      << "Title:         " << Cp1251ToUtf8(g.SiteTitle()) << '\n'
      << "Page size:     " << g.MinCharsPerPage() << " to " << g.MaxCharsPerPage()
      << " characters\n"
      << "Output folder: " << Cp1251ToUtf8(g.SavePath()) << '\n'
      << "Text:          " << g.SiteText().size() << " lines, " << TotalLength(g.SiteText())
      << " characters\n"
      << "Links:         " << g.SiteUrlsToLink().size() << '\n'
      << "Template:      " << StringToMemo(g.SiteTemplate()).size() << " lines\n"
      << "Advertising:   " << StringToMemo(g.AdsenseCode()).size() << " lines\n"
      << "Stylesheet:    " << StringToMemo(g.CssCode()).size() << " lines\n"
      << "Pages:         " << g.Pages().Count() << '\n';
}

int RunShow(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
  const TCommandArgs args = ParseCommandArgs(argv, {{"json", false}});
  if (args.help) {
    out << kShowHelp;
    return 0;
  }
  const TProjectArg project = ProjectArgument(args);
  TProjectDocument document;
  ReadProject(project, document, err);
  if (args.Flag("json"))
    out << GeneratorToJson(document.Generator()) << '\n';
  else
    PrintSummary(project, document.Generator(), out);
  return 0;
}

int Dispatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             std::string& command) {
  if (args.empty()) throw EUsageError("missing command");
  const std::string& first = args[0];
  if (first == "-h" || first == "--help") {
    out << kToolHelp;
    return 0;
  }
  if (first == "--version") {
    out << "orvana-cli " << ORVANA_VERSION << '\n';
    return 0;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (first == "new" || first == "build" || first == "show") command = first;
  if (first == "new") return RunNew(rest, out, err);
  if (first == "build") return RunBuild(rest, out, err);
  if (first == "show") return RunShow(rest, out, err);
  if (first == "check") return command = first, RunCheck(rest, out, err);
  if (!first.empty() && first[0] == '-') throw EUsageError("unknown option '" + first + "'");
  throw EUsageError("unknown command '" + first + "'");
}

}  // namespace

void SetProcessEndsAfterRun(bool ends) { process_ends_after_run = ends; }

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string command;
  int code;
  try {
    code = Dispatch(args, out, err, command);
  } catch (const EUsageError& e) {
    err << "orvana-cli: " << e.what() << '\n';
    if (e.Hint())
      err << "Try 'orvana-cli " << (command.empty() ? "" : command + " ") << "--help'.\n";
    return 2;
  } catch (const std::exception&) {
    return PrintCommandError(err);
  }
  // Output that never arrived (a full disk behind a redirection) is a failure.
  if (!out.flush()) {
    err << "orvana-cli: Cannot write the output.\n";
    return 1;
  }
  return code;
}

}  // namespace orvana::cli
