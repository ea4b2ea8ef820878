#include "shell/LaunchOptions.h"

#include <cerrno>
#include <cstring>
#include <string_view>

namespace orvana {

const char* VersionText() { return "orvana " ORVANA_VERSION "\n"; }

const char* UsageText() {
  return "Usage: orvana [--version | --help]\n"
         "       orvana [FILE...]\n"
         "\n"
         "Orvana builds small static web sites out of one long text. Without an\n"
         "option it opens the main window, where projects are created, opened,\n"
         "saved and generated; the project files named open in it at once. For\n"
         "scripts and batch work use orvana-cli.\n"
         "\n"
         "Options:\n"
         "  --version  print the program's version and exit\n"
         "  --help     print this text and exit\n";
}

std::optional<int> AnswerCommandLine(int argc, const char* const* argv, std::FILE* out,
                                     std::FILE* err) {
  const char* text = nullptr;
  for (int i = 1; i < argc && !text; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--version")
      text = VersionText();
    else if (arg == "--help")
      text = UsageText();
  }
  if (!text) return std::nullopt;
  // A text that did not arrive (a closed pipe, a full disk) must not pass
  // for an answer.
  errno = 0;
  const bool written = std::fputs(text, out) >= 0 && std::fflush(out) == 0;
  if (written) return 0;
  const int error = errno;
  std::fprintf(err, "orvana: cannot write to standard output: %s\n",
               error ? std::strerror(error) : "write error");
  return 1;
}

std::vector<std::string> ProjectFileArguments(int argc, const char* const* argv) {
  std::vector<std::string> files;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!optionsEnded && arg == "--")
      optionsEnded = true;
    else if (optionsEnded || arg.empty() || arg.front() != '-')
      files.emplace_back(arg);
  }
  return files;
}

}  // namespace orvana
