// The desktop program's own command-line options.
//
// `orvana --version` and `orvana --help` are answered on standard output
// before the application object exists, so they need no display and open no
// window. Otherwise the program starts as usual: Qt takes its own options,
// such as -platform, and the remaining arguments name project files to open
// (`orvana FILE...`).
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace orvana {

// "orvana " followed by the program's version and a line feed.
const char* VersionText();
// The short usage text that --help prints.
const char* UsageText();

// Looks for --version or --help among argv[1..argc-1]; the first one found
// is answered. Returns the program's exit status when the command line was
// answered: 0 when the text was written to out, 1 when it could not be
// written (a message then goes to err). Returns nothing when the program
// should start its window.
std::optional<int> AnswerCommandLine(int argc, const char* const* argv, std::FILE* out,
                                     std::FILE* err);

// The project files named among argv[1..argc-1], in order, once Qt has
// taken its own options out: every argument that does not begin with "-",
// and every argument after "--". Other options are passed by.
std::vector<std::string> ProjectFileArguments(int argc, const char* const* argv);

}  // namespace orvana
