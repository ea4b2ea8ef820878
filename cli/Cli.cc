#include "Cli.h"

#include <sys/stat.h>

#include <cstdint>
#include <new>
#include <optional>
#include <ostream>
#include <utility>

#include "CliError.h"
#include "CodePage.h"
#include "CommandLine.h"
#include "Error.h"
#include "FileSystem.h"
#include "IntegerText.h"
#include "MemoText.h"
#include "Notify.h"
#include "ProjectDocument.h"
#include "ProjectFile.h"
#include "ProjectJson.h"
#include "TextInput.h"
#include "UrlSafety.h"

namespace orvana::cli {
namespace {

constexpr const char* kToolHelp =
    "Usage: orvana-cli COMMAND PROJECT [OPTIONS]\n"
    "\n"
    "Builds small static web sites out of one long text, from Orvana project files.\n"
    "\n"
    "Commands:\n"
    "  new     write a new project file, with the content of a new project\n"
    "  build   generate the site of a project and write it into a folder\n"
    "  show    print a project's settings, texts and pages\n"
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
    "  --links FILE     link addresses, one per line\n"
    "  --template FILE  page template\n"
    "  --ads FILE       advertising block\n"
    "  --css FILE       stylesheet\n"
    "  --input-encoding E\n"
    "                   the encoding of every FILE: utf-8 (the default) or\n"
    "                   windows-1251\n"
    "  --force          replace PROJECT if it exists (otherwise an existing file\n"
    "                   is an error and is left alone)\n"
    "  -h, --help       show this help\n"
    "\n"
    "FILE is text cut into lines at line feeds; \"-\" reads it from standard input,\n"
    "which one FILE option at most can do. A UTF-8 FILE that is not valid UTF-8\n"
    "is refused. Texts are stored in Windows-1251: characters it lacks become\n"
    "'?', and a warning gives their count and the first line holding one. N is a\n"
    "32-bit integer, decimal or hexadecimal after \"$\" or \"0x\". On success,\n"
    "prints one line: the project file, its title, the bytes of text and the\n"
    "number of link addresses.\n";

constexpr const char* kBuildHelp =
    "Usage: orvana-cli build PROJECT [--out DIR] [--seed N] [--save]\n"
    "\n"
    "Generates the site of PROJECT and writes its pages and style.css into the\n"
    "project's output folder. The folder must exist; nothing else in it is\n"
    "touched. A relative folder is taken from the current folder. Prints one\n"
    "line: pages, links placed, bytes written and the folder.\n"
    "\n"
    "Options:\n"
    "  --out DIR   write into DIR instead; the project keeps its own folder. Its\n"
    "              name must be spelt in Windows-1251\n"
    "  --seed N    pick the linked words with seed N (0 to 18446744073709551615),\n"
    "              so that the same project always gives the same site\n"
    "  --save      store the new pages and menu in PROJECT once the site is written\n"
    "  -h, --help  show this help\n";

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
void ReadProject(const TProjectArg& project, TProjectDocument& document) {
  RefuseIrregularProjectFile(project);
  try {
    document.LoadFromFile(project.engine);
  } catch (const EOrvanaError& e) {
    if (e.ErrorCode() != 0) throw;
    throw ECliError(AbsoluteUtf8Path(project.native) + ": " + Cp1251ToUtf8(WithFullStop(e.what())));
  }
}

size_t TotalLength(const TStringList& lines) {
  size_t total = 0;
  for (const std::string& line : lines) total += line.size();
  return total;
}

std::string Counted(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Routes the engine's error box (the missing output folder) into a string
// for as long as the object lives.
class TErrorBoxCapture {
 public:
  TErrorBoxCapture()
      : previous_(SetErrorBoxHandler([this](const std::string& text) { shown_ = text; })) {}
  ~TErrorBoxCapture() { SetErrorBoxHandler(std::move(previous_)); }
  TErrorBoxCapture(const TErrorBoxCapture&) = delete;
  TErrorBoxCapture& operator=(const TErrorBoxCapture&) = delete;

  const std::optional<std::string>& Shown() const { return shown_; }

 private:
  TErrorBoxHandler previous_;
  std::optional<std::string> shown_;
};

// The options of `new` that name an input FILE, in the order they are read.
constexpr const char* kFileOptions[] = {"text", "template", "ads", "css", "links"};

int RunNew(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
  const TCommandArgs args = ParseCommandArgs(argv, {{"title", true},
                                                    {"min", true},
                                                    {"max", true},
                                                    {"out", true},
                                                    {"text", true},
                                                    {"links", true},
                                                    {"template", true},
                                                    {"ads", true},
                                                    {"css", true},
                                                    {"input-encoding", true},
                                                    {"force", false}});
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

  // Then the memos: those of a new project, each FILE in place of its own.
  const auto read = [&](const std::string& path) {
    TInputText input = ReadInputText(path, encoding);
    if (input.unmapped != 0)
      err << "orvana-cli: warning: " << InputName(path) << ": "
          << Counted(input.unmapped, "character", "characters")
          << " outside Windows-1251 became '?', "
          << (input.unmapped == 1 ? "on line " : "the first on line ") << input.first_unmapped_line
          << '\n';
    return std::move(input.lines);
  };
  TProjectMemos memos = TProjectDocument::NewProjectMemos();
  if (const auto v = args.Value("text")) memos.site_text = read(*v);
  if (const auto v = args.Value("template")) memos.site_template = read(*v);
  if (const auto v = args.Value("ads")) memos.adsense_code = read(*v);
  if (const auto v = args.Value("css")) memos.css_code = read(*v);
  if (const auto v = args.Value("links")) memos.site_urls_to_link = read(*v);
  document.SetMemos(std::move(memos));

  document.SaveToFile(project.engine);
  out << "wrote " << AbsoluteUtf8Path(project.native) << " (title \""
      << Cp1251ToUtf8(generator.SiteTitle()) << "\", "
      << Counted(TotalLength(generator.SiteText()), "byte", "bytes") << " of text, "
      << Counted(generator.SiteUrlsToLink().size(), "address", "addresses") << ")\n";
  return 0;
}

int RunBuild(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
  const TCommandArgs args =
      ParseCommandArgs(argv, {{"out", true}, {"seed", true}, {"save", false}});
  if (args.help) {
    out << kBuildHelp;
    return 0;
  }
  const TProjectArg project = ProjectArgument(args);
  std::optional<uint64_t> seed;
  if (const auto v = args.Value("seed")) {
    seed = ParseUnsigned64(*v);
    if (!seed)
      throw EUsageError("invalid seed '" + *v +
                        "': expected a number from 0 to 18446744073709551615");
  }

  const std::optional<std::string> out_folder = args.Value("out");
  const std::string out_engine = out_folder ? FolderArgument(*out_folder) : std::string();

  TProjectDocument document;
  ReadProject(project, document);
  document.PassTextsThroughMemos();
  TSiteGenerator& generator = document.Generator();
  generator.SetRandomSeed(seed);

  // --out is where this run writes, not a change to the project.
  const std::string folder = out_folder ? out_engine : generator.SavePath();
  uint64_t bytes = 0;
  {
    TErrorBoxCapture box;
    // Build, write and drop one page at a time; with --save each page also
    // goes into the project's replacement file as it is made, and the
    // project takes the new file once the whole site is written.
    std::optional<TProjectFileStream> saved;
    if (args.Flag("save")) saved.emplace(generator, project.engine);
    const bool written = generator.GenerateAndWriteSite(
        folder, &bytes, [&](const TSitePage& page, const auto& bar, const auto& html) {
          if (saved) saved->AddPage(page, bar, html);
        });
    if (written && saved) saved->Commit();
    if (box.Shown()) {
      // The desktop application shows this box and writes nothing; here it is
      // a failure, and the project is not saved either.
      // The box's text names no folder; the line adds which one was meant.
      err << "orvana-cli: " << Cp1251ToUtf8(*box.Shown()) << ": "
          << (folder.empty() ? std::string("the folder name is empty")
                             : AbsoluteUtf8Path(Cp1251ToUtf8(folder)))
          << '\n';
      return 1;
    }
  }
  const int pages = generator.Pages().Count();
  out << pages << (pages == 1 ? " page, " : " pages, ") << generator.LinksPlaced()
      << (generator.LinksPlaced() == 1 ? " link placed, " : " links placed, ") << bytes
      << (bytes == 1 ? " byte" : " bytes") << " written to " << Cp1251ToUtf8(AbsolutePath(folder))
      << '\n';
  // Such addresses are linked as the user typed them, but a reader who
  // clicks one runs whatever it holds.
  for (const std::string& address : ScriptRunningAddresses(generator.SiteUrlsToLink()))
    err << "orvana-cli: warning: the link address \"" << Cp1251ToUtf8(address)
        << "\" runs script when clicked; it is linked as written\n";
  return 0;
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

int RunShow(const std::vector<std::string>& argv, std::ostream& out) {
  const TCommandArgs args = ParseCommandArgs(argv, {{"json", false}});
  if (args.help) {
    out << kShowHelp;
    return 0;
  }
  const TProjectArg project = ProjectArgument(args);
  TProjectDocument document;
  ReadProject(project, document);
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
  if (first == "show") return RunShow(rest, out);
  if (!first.empty() && first[0] == '-') throw EUsageError("unknown option '" + first + "'");
  throw EUsageError("unknown command '" + first + "'");
}

}  // namespace

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
  } catch (const EOrvanaError& e) {
    err << "orvana-cli: " << Cp1251ToUtf8(WithFullStop(e.what())) << '\n';
    return 1;
  } catch (const ECliError& e) {
    err << "orvana-cli: " << WithFullStop(e.what()) << '\n';
    return 1;
  } catch (const std::bad_alloc&) {
    err << "orvana-cli: Out of memory.\n";
    return 1;
  } catch (const std::exception& e) {
    err << "orvana-cli: " << WithFullStop(e.what()) << '\n';
    return 1;
  }
  // Output that never arrived (a full disk behind a redirection) is a failure.
  if (!out.flush()) {
    err << "orvana-cli: Cannot write the output.\n";
    return 1;
  }
  return code;
}

}  // namespace orvana::cli
