// The commands of orvana-cli, each in a file of its own, and the table the
// dispatcher runs them from. The dispatcher parses the arguments after a
// command's name by its options and answers --help from its help; the
// command takes the parsed arguments and returns the exit status. A command
// line it cannot run throws EUsageError.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/CommandLine.h"

namespace orvana::cli {

using TCommandRun = int (*)(const TCommandArgs& args, std::ostream& out, std::ostream& err);

struct TCommand {
  const char* name;
  TCommandRun run;
  // The options its parser takes and its --help lists.
  const std::vector<TOptionEntry>& (*options)();
  // What its --help says around the options.
  const TCommandHelp& help;
};

// Every command, in the order of the tool's help.
const std::vector<TCommand>& Commands();

int RunNew(const TCommandArgs& args, std::ostream& out, std::ostream& err);
int RunBuild(const TCommandArgs& args, std::ostream& out, std::ostream& err);
int RunSet(const TCommandArgs& args, std::ostream& out, std::ostream& err);
int RunShow(const TCommandArgs& args, std::ostream& out, std::ostream& err);
int RunServe(const TCommandArgs& args, std::ostream& out, std::ostream& err);
int RunPublish(const TCommandArgs& args, std::ostream& out, std::ostream& err);

const std::vector<TOptionEntry>& NewOptions();
const std::vector<TOptionEntry>& BuildOptions();
const std::vector<TOptionEntry>& SetOptions();
const std::vector<TOptionEntry>& ShowOptions();
const std::vector<TOptionEntry>& CheckOptions();
const std::vector<TOptionEntry>& ServeOptions();
const std::vector<TOptionEntry>& PublishOptions();

extern const TCommandHelp kNewHelp, kBuildHelp, kSetHelp, kShowHelp, kCheckHelp, kServeHelp,
    kPublishHelp;

}  // namespace orvana::cli
