// The engine's one way to show a message box without knowing about windows.
//
// The engine reports a missing output folder as an error box the user closes,
// not as an error. It calls ShowErrorBox; the desktop application installs a
// handler that shows a modal box, the command-line tool one that prints the
// text on stderr, tests one that records it. Without a handler the text goes
// to stderr as UTF-8.
#pragma once

#include <functional>
#include <string>

namespace orvana {

// Receives the box's text in Windows-1251.
using TErrorBoxHandler = std::function<void(const std::string& text)>;

// Installs the handler for the whole process and returns the previous one.
// An empty handler restores the default.
TErrorBoxHandler SetErrorBoxHandler(TErrorBoxHandler handler);

// Shows an error box with the given text (Windows-1251) and returns when it has
// been closed.
void ShowErrorBox(const std::string& text);

}  // namespace orvana
