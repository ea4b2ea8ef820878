// orvana-cli new: writes a new project file.
#include <sys/stat.h>

#include <ostream>
#include <utility>

#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/ProjectOptions.h"
#include "engine/CodePage.h"
#include "project/ModernPreset.h"
#include "project/ProjectDocument.h"

namespace orvana::cli {
constexpr TCommandHelp kNewHelp = {
    "Usage: orvana-cli new PROJECT [OPTIONS]\n"
    "\n"
    "Writes PROJECT as the desktop application saves a new project: 4000 to 5000\n"
    "characters per page, the default template, advertising block and stylesheet,\n"
    "no title, output folder, text, links or pages. Each option changes one field.\n"
    "\n",
    19,
    "\n"
    "FILE is text cut into lines at line feeds; \"-\" reads it from standard input,\n"
    "which one FILE option at most can do. A FILE that is a folder or a device,\n"
    "one of more than 1 GiB and a UTF-8 FILE that is not valid UTF-8 are\n"
    "refused. Texts are stored in Windows-1251: characters it lacks become\n"
    "'?', and a warning gives their count and the first line holding one. N is a\n"
    "32-bit integer, decimal or hexadecimal after \"$\" or \"0x\". On success,\n"
    "prints one line: the project file, its title, the bytes of text and the\n"
    "number of link addresses.\n"};

namespace {}  // namespace

const std::vector<TOptionEntry>& NewOptions() {
  static const std::vector<TOptionEntry> options = [] {
    std::vector<TOptionEntry> o;
    for (const char* name : kSettingsOptionNames) o.push_back(ProjectOption(name));
    o.push_back({"force", false, nullptr,
                 "replace PROJECT if it exists (otherwise an existing file\n"
                 "is an error and is left alone)"});
    TOptionEntry preset = ProjectOption("preset");
    preset.before = "\n  The extras below are off by default and saved with the project.\n";
    o.push_back(preset);
    for (const char* name : kExtrasOptionNames) o.push_back(ProjectOption(name));
    return o;
  }();
  return options;
}

int RunNew(const TCommandArgs& args, std::ostream& out, std::ostream& err) {
  const TProjectArg project = ProjectArgument(args);
  const TInputEncoding encoding = InputEncodingOption(args);
  RefuseTwoStandardInputs(args);
  const bool modern = ModernPresetOption(args);
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
  if (const auto v = args.Value("text")) memos.site_text = read("text", *v);
  if (const auto v = args.Value("template")) memos.site_template = read("template", *v);
  if (const auto v = args.Value("ads")) memos.adsense_code = read("ads", *v);
  if (const auto v = args.Value("css")) memos.css_code = read("css", *v);
  if (const auto v = args.Value("links")) memos.site_urls_to_link = read("links", *v);
  document.SetMemos(std::move(memos));

  document.SaveToFile(project.native);
  out << "wrote " << AbsoluteUtf8Path(project.native) << " (title \""
      << Cp1251ToUtf8(generator.SiteTitle()) << "\", "
      << Counted(TotalLength(generator.SiteText()), "byte", "bytes") << " of text, "
      << Counted(generator.SiteUrlsToLink().size(), "address", "addresses") << ")\n";
  return 0;
}

}  // namespace orvana::cli
