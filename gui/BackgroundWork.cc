#include "gui/BackgroundWork.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <malloc.h>

#include <atomic>
#include <exception>
#include <thread>

namespace orvana {

void RunKeepingWindowsPainted(const std::function<void()>& work) {
  std::atomic<bool> done{false};
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    done = true;
  });
  // Short slices: a repaint waits at most one of them.
  while (!done) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    if (!done) QThread::msleep(5);
  }
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

void MapLargeBlocks() {
  constexpr int kLargeBlock = 4 << 20;
  (void)::mallopt(M_MMAP_THRESHOLD, kLargeBlock);
}

}  // namespace orvana
