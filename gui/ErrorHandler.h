// The application's error handler.
//
// An error that escapes a command or an event handler ends that command (what
// was done before stays done) and is shown in the application's error box:
// titled with the application title, stop icon, one button "OK", the message
// with a full stop appended when its last character sorts after "." (see
// orvana::WithFullStop). The program then runs on. Qt must never see an
// exception leave a slot or an event handler, so every command boundary runs
// its work through RunCommand.
#pragma once

#include <QString>

#include <exception>
#include <utility>

class QWidget;

namespace orvana {

// Shows an error that ended a command in the application's error box.
// Every error's text, EOrvanaError's included, is UTF-8 and is shown whole,
// characters Windows-1251 lacks included.
void ShowCommandError(const std::exception& error);
// The text ShowCommandError shows for error, without the box.
QString CommandErrorText(const std::exception& error);
// The same for an error of unknown type.
void ShowUnknownCommandError();
// Shows a message of the window's own in the application's error box, with
// the same full stop rule; the text is kept whole, characters that
// Windows-1251 lacks included.
void ShowCommandErrorText(const QString& message);

// Runs command. An exception escaping it is shown by ShowCommandError and
// swallowed. Returns true when the command ran to its end.
template <class Command>
bool RunCommand(Command&& command) noexcept {
  try {
    std::forward<Command>(command)();
    return true;
  } catch (const std::exception& error) {
    ShowCommandError(error);
  } catch (...) {
    ShowUnknownCommandError();
  }
  return false;
}

// Routes the engine's own error boxes (a missing output folder) to a modal
// box titled "Error" over the active window.
void InstallEngineErrorBox();

}  // namespace orvana
