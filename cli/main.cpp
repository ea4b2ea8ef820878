// orvana-cli: hands the command line to RunCli and returns its exit code.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "Cli.h"
#include "ProgressLine.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  // A long build shows its progress only to a person watching a terminal.
  orvana::cli::SetProgressOnTerminal(::isatty(STDERR_FILENO) == 1);
  orvana::cli::SetProcessEndsAfterRun(true);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return orvana::cli::RunCli(args, std::cout, std::cerr);
}
