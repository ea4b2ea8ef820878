// The arguments of one command: options and positional arguments.
//
// Options follow the usual conventions: "--name value" or "--name=value" for
// an option that takes a value (the next argument is its value even when it
// begins with a dash, so "--min -5" works), "--name" alone for a flag, "-h" or
// "--help" for help, and "--" ends the options: everything after it is
// positional. A lone "-" is positional too.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace orvana::cli {

// One option of a command, as its parser takes it and its --help lists it.
struct TOptionEntry {
  const char* name;  // without the leading "--"
  bool takes_value;
  // What the help shows after the name for the value ("N", "FILE"); null for
  // a flag.
  const char* value_name = nullptr;
  // The explanation, its lines already wrapped and joined by line feeds.
  const char* help = nullptr;
  // Text the help prints before the option's line, ending in a line feed
  // (a heading for a group of options); null for none.
  const char* before = nullptr;
};

// How a command's --help is put together around its options.
struct TCommandHelp {
  const char* intro;     // the usage and what the command does, up to "Options:"
  int column;            // where the options' explanations start
  const char* epilogue;  // after the list, from its blank line on; may be ""
};

// The command's help: the intro, "Options:", one entry per option (the name
// and value name at two blanks, the explanation from `column` on, or on the
// next line when the name reaches it), "-h, --help" last, then the epilogue.
std::string HelpText(const TCommandHelp& help, const std::vector<TOptionEntry>& entries);

struct TCommandArgs {
  std::vector<std::string> positional;
  // The value of each option given; a repeated option keeps its last value.
  std::map<std::string, std::string> values;
  std::set<std::string> flags;
  // "-h" or "--help" was given (before any "--").
  bool help = false;

  std::optional<std::string> Value(const std::string& name) const;
  bool Flag(const std::string& name) const { return flags.count(name) != 0; }
};

// Sorts the arguments after the command name into options and positional
// arguments. Throws EUsageError for an option not in `entries`, an option
// without its value, or a value given to a flag. Stops at the first "-h" or
// "--help" and returns with `help` set.
TCommandArgs ParseCommandArgs(const std::vector<std::string>& args,
                              const std::vector<TOptionEntry>& entries);

// Reads a whole argument as an unsigned 64-bit decimal number: digits only,
// no sign, no blanks. Returns nullopt for anything else, an out-of-range
// number included.
std::optional<uint64_t> ParseUnsigned64(const std::string& text);

}  // namespace orvana::cli
