// Long work off the user-interface thread, with the windows kept painted.
#pragma once

#include <functional>

namespace orvana {

// Runs `work` on a thread of its own and, until it returns, keeps the
// application's event loop turning for everything but user input: windows
// repaint, move and resize, timers fire, and no command can start meanwhile.
// The work must not touch widgets. What it throws is thrown here.
void RunKeepingWindowsPainted(const std::function<void()>& work);

// Has every block of memory of 4 MiB or more mapped on its own, for the life
// of the process. A memo holding a text of hundreds of megabytes grows
// arrays of that size piece by piece on the user-interface thread; a mapped
// block grows by moving pages, where one taken from the heap would be copied
// whole (tens of milliseconds without a repaint), and the C library would
// otherwise move its own threshold up to 32 MiB after the first large block
// is freed.
void MapLargeBlocks();

}  // namespace orvana
