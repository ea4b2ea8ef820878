// Long work off the user-interface thread, with the windows kept painted.
#pragma once

#include <atomic>
#include <functional>

namespace orvana {

// Runs `work` on a thread of its own (TBackgroundTask) and, until it
// returns, keeps the application's event loop turning: windows repaint,
// move and resize, timers fire, and no command can start meanwhile, as user
// input goes only to a modal box (such as a progress box with its cancel
// button) and is held back while there is none. The work must not touch
// widgets. Once `cancelled` says so (asked between slices of the loop), the
// work's stop request is set; the work looks at it between its steps. What
// the work throws is thrown here. When no thread can be had, the work runs
// here, without the loop.
void RunKeepingWindowsPainted(const std::function<void(const std::atomic<bool>& stop)>& work,
                              const std::function<bool()>& cancelled);

// The same for work that cannot stop midway.
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
