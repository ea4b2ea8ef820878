// orvana-cli: hands the command line to RunCli and returns its exit code.
#include <iostream>
#include <string>
#include <vector>

#include "Cli.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return orvana::cli::RunCli(args, std::cout, std::cerr);
}
