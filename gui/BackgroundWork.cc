#include "gui/BackgroundWork.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <malloc.h>

#include "engine/WorkerPool.h"

namespace orvana {

void RunKeepingWindowsPainted(const std::function<void(const std::atomic<bool>& stop)>& work,
                              const std::function<bool()>& cancelled) {
  TBackgroundTask task([&work](const std::atomic<bool>& stop) {
    // Wakes the loop below once the work has ended, however it ends.
    struct TWake {
      ~TWake() {
        QMetaObject::invokeMethod(
            qApp, [] {}, Qt::QueuedConnection);
      }
    } wake;
    work(stop);
  });
  // The loop sleeps until an event comes (a call from the work among them),
  // and at least every 20 ms.
  QTimer tick;
  tick.start(20);
  while (task.Started() && !task.Done()) {
    // A modal box is the only window that takes input; without one, none.
    const auto flags = QApplication::activeModalWidget() ? QEventLoop::AllEvents
                                                         : QEventLoop::ExcludeUserInputEvents;
    QCoreApplication::processEvents(flags | QEventLoop::WaitForMoreEvents);
    if (cancelled && !task.StopRequested() && cancelled()) task.RequestStop();
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
