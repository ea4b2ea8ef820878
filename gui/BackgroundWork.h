// Long work off the user-interface thread, with the windows kept painted.
#pragma once

#include <functional>

namespace orvana {

// Runs `work` on a thread of its own and, until it returns, keeps the
// application's event loop turning for everything but user input: windows
// repaint, move and resize, timers fire, and no command can start meanwhile.
// The work must not touch widgets. What it throws is thrown here.
void RunKeepingWindowsPainted(const std::function<void()>& work);

}  // namespace orvana
