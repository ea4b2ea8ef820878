// orvana-cli: hands the command line to RunCli and returns its exit code.
#include <malloc.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/ProgressLine.h"

int main(int argc, char** argv) {
  // A build decodes the project into large buffers that it frees before
  // the pages are made. Taken from the heap and kept there when freed (not
  // mapped and unmapped), their memory, already touched, holds the pages'
  // texts next instead of new memory that the system must hand out and
  // clear page by page: about a thousand fewer page faults, 3-5 ms of a
  // 1000-page build.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  std::ios::sync_with_stdio(false);
  // A long build shows its progress only to a person watching a terminal.
  orvana::cli::SetProgressOnTerminal(::isatty(STDERR_FILENO) == 1);
  orvana::cli::SetProcessEndsAfterRun(true);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return orvana::cli::RunCli(args, std::cout, std::cerr);
}
