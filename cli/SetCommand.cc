// orvana-cli set: changes the fields of an existing project that its options
// name and leaves the rest of the file as it was.
#include <ostream>
#include <utility>

#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/ProjectOptions.h"
#include "engine/CodePage.h"
#include "project/MemoText.h"
#include "project/ModernPreset.h"
#include "project/ProjectDocument.h"

namespace orvana::cli {
constexpr TCommandHelp kSetHelp = {
    "Usage: orvana-cli set PROJECT [OPTIONS]\n"
    "\n"
    "Changes the fields of PROJECT that the options name, as `new` would have\n"
    "set them, and nothing else: the project is read as `show` reads it and\n"
    "saved as the desktop application saves it (the whole file replaced at once,\n"
    "a symbolic link kept and the file it names written), so every other line of\n"
    "it stays as it was. Extras the reader passed over, each with a warning,\n"
    "are not written back. What `new` refuses, `set` refuses, and the file is\n"
    "then left alone.\n"
    "\n",
    19,
    "\n"
    "FILE, \"-\" and N are read as `new` reads them, with the same warnings. At\n"
    "least one option other than --input-encoding must be given. On success,\n"
    "prints one line: \"set PROJECT: \" and the options that changed it.\n"};

namespace {

// The names of the options given, in the order of the table; an off-form is
// named after its extra.
std::vector<std::string> OptionsGiven(const TCommandArgs& args) {
  std::vector<std::string> given;
  for (const TOptionEntry& entry : SetOptions()) {
    const std::string name = entry.name;
    if (name == "input-encoding" || !(args.Value(name) || args.Flag(name))) continue;
    std::string shown = name;
    for (const auto& [on, off] : kOnOffOptions)
      if (name == off) shown = on;
    if (given.empty() || given.back() != shown) given.push_back(shown);
  }
  return given;
}

// Checks everything the options say before the project is read.
void CheckSetOptions(const TCommandArgs& args) {
  (void)InputEncodingOption(args);
  RefuseTwoStandardInputs(args);
  (void)ModernPresetOption(args);
  (void)ExtrasOptions(args, TOrvanaExtras{});
  for (const char* option : {"min", "max"})
    if (const auto v = args.Value(option)) (void)IntegerOption(option, *v);
  if (const auto v = args.Value("out")) (void)FolderArgument(*v);
}

// The memo option's lines into its generator field, as the window's memo
// gives them at a save.
void SetMemoField(TSiteGenerator& generator, const std::string& option, TStringList lines) {
  if (option == "text") generator.SetSiteText(std::move(lines));
  if (option == "template") generator.SetSiteTemplate(MemoToStrings(lines));
  if (option == "ads") generator.SetAdsenseCode(MemoToStrings(lines));
  if (option == "css") generator.SetCssCode(MemoToStrings(lines));
  if (option == "links") generator.SetSiteUrlsToLink(std::move(lines));
}

// What `new` does with the options, over the project read.
void ApplySetOptions(const TCommandArgs& args, TSiteGenerator& generator, std::ostream& err) {
  if (const auto v = args.Value("min")) generator.SetMinCharsPerPage(IntegerOption("min", *v));
  if (const auto v = args.Value("max")) generator.SetMaxCharsPerPage(IntegerOption("max", *v));
  if (const auto v = args.Value("title")) generator.SetSiteTitle(Utf8ToCp1251(*v));
  if (const auto v = args.Value("out")) generator.SetSavePath(FolderArgument(*v));
  WarnOfLostCharacters(args, err);

  const bool modern = ModernPresetOption(args);
  if (modern) ApplyModernPreset(generator);
  generator.SetExtras(ExtrasOptions(args, generator.Extras()));

  const TInputEncoding encoding = InputEncodingOption(args);
  for (const char* option : kFileOptions)
    if (const auto v = args.Value(option))
      SetMemoField(generator, option, ReadFileOption(option, *v, encoding, err));
}

}  // namespace

const std::vector<TOptionEntry>& SetOptions() {
  static const std::vector<TOptionEntry> options = [] {
    std::vector<TOptionEntry> o;
    for (const char* name : kSettingsOptionNames) o.push_back(ProjectOption(name));
    TOptionEntry preset = ProjectOption("preset");
    preset.before =
        "\n  The extras below are saved with the project; an empty --link-rel or\n"
        "  --site-url turns its extra off.\n";
    o.push_back(preset);
    for (const char* name : kExtrasOptionNames) {
      o.push_back(ProjectOption(name));
      if (std::string_view(name) == "safe-links")
        o.push_back({"no-safe-links", false, nullptr, "link as the classic output does"});
      if (std::string_view(name) == "prune")
        o.push_back({"no-prune", false, nullptr, "keep the pages beyond the page count"});
    }
    return o;
  }();
  return options;
}

int RunSet(const TCommandArgs& args, std::ostream& out, std::ostream& err) {
  const TProjectArg project = ProjectArgument(args);
  const std::vector<std::string> given = OptionsGiven(args);
  if (given.empty()) throw EUsageError("nothing to set: give at least one option");
  CheckSetOptions(args);

  TProjectDocument document;
  ReadProject(project, document, err);
  ApplySetOptions(args, document.Generator(), err);
  document.SaveToFile(project.native);

  out << "set " << AbsoluteUtf8Path(project.native) << ": ";
  for (size_t i = 0; i < given.size(); ++i) out << (i ? ", " : "") << given[i];
  out << '\n';
  return 0;
}

}  // namespace orvana::cli
