// The engine's one error type.
//
// Every failure the engine finds is thrown as an EOrvanaError carrying the exact
// user-facing message (Windows-1251 bytes, like every engine string) and, for
// failures of the operating system, the system's error code. Callers at a
// command boundary catch it and show the message; the engine never catches it.
#pragma once

#include <stdexcept>
#include <string>

namespace orvana {

class EOrvanaError : public std::runtime_error {
 public:
  explicit EOrvanaError(const std::string& message, int error_code = 0)
      : std::runtime_error(message), error_code_(error_code) {}

  // The operating system's error number (errno), or 0 when the failure is not
  // one of the system's.
  int ErrorCode() const { return error_code_; }

  // An error whose message names something exactly as the user gave it, in
  // the platform's UTF-8, because the code page cannot spell it (a file
  // name, say): PlatformText() holds that message, what() its Windows-1251
  // form. See SpellInCp1251 in CodePage.h.
  static EOrvanaError InPlatformText(const std::string& utf8_message, int error_code = 0);
  // The UTF-8 message of such an error; empty for every other error.
  const std::string& PlatformText() const { return platform_text_; }

 private:
  int error_code_;
  std::string platform_text_;
};

// Appends the full stop that the application's error box adds to a message
// whose last character sorts after "." (an empty message stays empty).
std::string WithFullStop(std::string message);

}  // namespace orvana
