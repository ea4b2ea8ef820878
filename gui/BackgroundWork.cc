#include "gui/BackgroundWork.h"

#include <QApplication>
#include <QEventLoop>
#include <QThread>

#include <malloc.h>

#include "engine/WorkerPool.h"

namespace orvana {

void RunKeepingWindowsPainted(const std::function<void(const std::atomic<bool>& stop)>& work,
                              const std::function<bool()>& cancelled) {
  TBackgroundTask task(work);
  // Short slices: a repaint waits at most one of them.
  while (task.Started() && !task.Done()) {
    // A modal box is the only window that takes input; without one, none.
    const auto flags = QApplication::activeModalWidget() ? QEventLoop::AllEvents
                                                         : QEventLoop::ExcludeUserInputEvents;
    QCoreApplication::processEvents(flags, 20);
    if (cancelled && !task.StopRequested() && cancelled()) task.RequestStop();
    if (!task.Done()) QThread::msleep(5);
  }
  task.Finish();
}

void RunKeepingWindowsPainted(const std::function<void()>& work) {
  RunKeepingWindowsPainted([&work](const std::atomic<bool>&) { work(); }, {});
}

void MapLargeBlocks() {
  constexpr int kLargeBlock = 4 << 20;
  (void)::mallopt(M_MMAP_THRESHOLD, kLargeBlock);
}

}  // namespace orvana
