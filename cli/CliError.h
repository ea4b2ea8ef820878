// The command-line tool's own failures, beside the engine's EOrvanaError.
//
// Their messages are UTF-8, since they name the user's own paths and
// arguments as typed; engine errors stay in Windows-1251 until printed.
#pragma once

#include <stdexcept>
#include <string>

namespace orvana::cli {

// A failure while doing the work (an input file that cannot be read, a
// project that would be overwritten): printed like an engine error, exit 1.
class ECliError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A command line the tool cannot run: exit 2. With `hint`, the message is
// followed by a line pointing at the command's --help.
class EUsageError : public std::runtime_error {
 public:
  explicit EUsageError(const std::string& message, bool hint = true)
      : std::runtime_error(message), hint_(hint) {}
  bool Hint() const { return hint_; }

 private:
  bool hint_;
};

// The absolute form of a UTF-8 path, for messages: a relative path is put
// after the current folder. The path is not checked or normalised; its
// control characters are escaped as PrintablePath does.
std::string AbsoluteUtf8Path(const std::string& path);

// The same, its bytes as they are, for use as a path.
std::string AbsoluteUtf8PathBytes(const std::string& path);

// A name made safe to print on one line: a line feed becomes "\n", a
// carriage return "\r", a tab "\t" and every other control character
// "\xHH"; the rest, a backslash included, stays as it is.
std::string PrintablePath(std::string_view name);

}  // namespace orvana::cli
