// The commands of orvana-cli, each in a file of its own, and the table the
// dispatcher runs them from. Each takes the arguments after its name and
// returns the exit status; a command line it cannot run throws EUsageError.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/CommandLine.h"

namespace orvana::cli {

using TCommandRun = int (*)(const std::vector<std::string>& argv, std::ostream& out,
                            std::ostream& err);

struct TCommand {
  const char* name;
  TCommandRun run;
  // The options its parser takes and its --help lists.
  const std::vector<TOptionEntry>& (*options)();
};

// Every command, in the order of the tool's help.
const std::vector<TCommand>& Commands();

int RunNew(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err);
int RunBuild(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err);
int RunSet(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err);
int RunShow(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err);

const std::vector<TOptionEntry>& NewOptions();
const std::vector<TOptionEntry>& BuildOptions();
const std::vector<TOptionEntry>& SetOptions();
const std::vector<TOptionEntry>& ShowOptions();
const std::vector<TOptionEntry>& CheckOptions();

}  // namespace orvana::cli
