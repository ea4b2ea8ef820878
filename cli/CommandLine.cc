#include "cli/CommandLine.h"

#include "cli/CliError.h"
#include "engine/Extras.h"

namespace orvana::cli {

std::optional<std::string> TCommandArgs::Value(const std::string& name) const {
  const auto it = values.find(name);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

TCommandArgs ParseCommandArgs(const std::vector<std::string>& args,
                              const std::vector<TOptionEntry>& entries) {
  TCommandArgs parsed;
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      parsed.help = true;
      return parsed;
    }
    if (arg[1] != '-') throw EUsageError("unknown option '" + arg + "'");

    const size_t equals = arg.find('=');
    const std::string name =
        arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    const TOptionEntry* option = nullptr;
    for (const TOptionEntry& s : entries)
      if (name == s.name) option = &s;
    if (option == nullptr) throw EUsageError("unknown option '--" + name + "'");

    if (!option->takes_value) {
      if (equals != std::string::npos) throw EUsageError("option '--" + name + "' takes no value");
      parsed.flags.insert(name);
    } else if (equals != std::string::npos) {
      parsed.values[name] = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      parsed.values[name] = args[++i];
    } else {
      throw EUsageError("option '--" + name + "' needs a value");
    }
  }
  return parsed;
}

namespace {

void AppendEntry(std::string& out, const std::string& label, const std::string& help, int column) {
  const size_t indent = static_cast<size_t>(column);
  out += label;
  if (label.size() + 1 > indent) {
    out += '\n';
    out.append(indent, ' ');
  } else {
    out.append(indent - label.size(), ' ');
  }
  for (const char c : help) {
    out += c;
    if (c == '\n') out.append(indent, ' ');
  }
  out += '\n';
}

}  // namespace

std::string HelpText(const TCommandHelp& help, const std::vector<TOptionEntry>& entries) {
  std::string out = help.intro;
  out += "Options:\n";
  for (const TOptionEntry& s : entries) {
    if (s.before) out += s.before;
    std::string label = std::string("  --") + s.name;
    if (s.value_name) label += std::string(" ") + s.value_name;
    AppendEntry(out, label, s.help ? s.help : "", help.column);
  }
  AppendEntry(out, "  -h, --help", "show this help", help.column);
  return out + help.epilogue;
}

std::optional<uint64_t> ParseUnsigned64(const std::string& text) { return ParseDecimal(text); }

}  // namespace orvana::cli
