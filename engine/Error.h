// The engine's one error type.
//
// Every failure the engine finds is thrown as an EOrvanaError carrying the exact
// user-facing message and, for failures of the operating system, the system's
// error code. The message is in the platform's UTF-8, so that it names files
// and folders as they are named, whatever their letters: a text of the
// engine's own (Windows-1251) that goes into a message is converted where the
// message is made. Callers at a command boundary catch it and show what()
// as it stands (the terminal, Qt's QString::fromUtf8); the engine never
// catches it.
#pragma once

#include <stdexcept>
#include <string>

namespace orvana {

class EOrvanaError : public std::runtime_error {
 public:
  explicit EOrvanaError(const std::string& utf8_message, int error_code = 0)
      : std::runtime_error(utf8_message), error_code_(error_code) {}

  // The operating system's error number (errno), or 0 when the failure is not
  // one of the system's.
  int ErrorCode() const { return error_code_; }

 private:
  int error_code_;
};

// Appends the full stop that the application's error box adds to a message
// whose last character sorts after "." (an empty message stays empty).
std::string WithFullStop(std::string message);

}  // namespace orvana
