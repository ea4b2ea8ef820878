// The options that give a project its fields, shared by `new`, which writes
// a new project with them, and `set`, which changes an existing one: their
// entries in the commands' option tables, and how their values are checked,
// read and warned of.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>

#include "cli/CommandLine.h"
#include "cli/TextInput.h"
#include "engine/Extras.h"
#include "engine/StringList.h"

namespace orvana::cli {

// The table entry of a project option ("title", "pager-window", ...).
TOptionEntry ProjectOption(std::string_view name);

// The settings and FILE options, in the order of the help.
inline constexpr const char* kSettingsOptionNames[] = {
    "title", "min", "max", "out", "text", "links", "template", "ads", "css", "input-encoding"};

// The extras' options, in the order of the help.
inline constexpr const char* kExtrasOptionNames[] = {
    "pager-window",    "menu-window", "page-word", "index-label", "safe-links", "link-rel",
    "output-encoding", "site-url",    "prune",     "link-seed",   "publish-to"};

// The options that name an input FILE, in the order they are read.
inline constexpr const char* kFileOptions[] = {"text", "template", "ads", "css", "links"};

// The encoding of the FILE options (--input-encoding, UTF-8 by default).
// Throws EUsageError for an unknown name.
TInputEncoding InputEncodingOption(const TCommandArgs& args);

// Refuses two FILE options that both read standard input ("-"): it can be
// read once only.
void RefuseTwoStandardInputs(const TCommandArgs& args);

// Whether --preset modern is given; throws EUsageError for another preset.
bool ModernPresetOption(const TCommandArgs& args);

// The options that turn an extra on and off, for the commands that take both.
inline constexpr std::pair<const char*, const char*> kOnOffOptions[] = {
    {"safe-links", "no-safe-links"}, {"prune", "no-prune"}};

// The extras the options give, over `extras` (--no-safe-links and --no-prune
// too, where a command takes them). Throws EUsageError for a value the
// project cannot take and for an extra turned both on and off.
TOrvanaExtras ExtrasOptions(const TCommandArgs& args, TOrvanaExtras extras);

// Warns of the characters of the string options that the code page lacks:
// they are stored in Windows-1251 as the files' texts are.
void WarnOfLostCharacters(const TCommandArgs& args, std::ostream& err);

// The lines of the FILE given to the option, with the warnings of what the
// conversion and, for the links, the blank lines cost.
TStringList ReadFileOption(const char* option, const std::string& path, TInputEncoding encoding,
                           std::ostream& err);

}  // namespace orvana::cli
