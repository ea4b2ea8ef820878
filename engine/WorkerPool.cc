#include "engine/WorkerPool.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <system_error>
#include <utility>

namespace orvana {

// --- TBackgroundTask ----------------------------------------------------------

TBackgroundTask::TBackgroundTask(TWork work) : work_(std::move(work)) {
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    // No thread to be had: Finish runs the work here.
  }
}

TBackgroundTask::~TBackgroundTask() {
  if (!thread_.joinable()) return;
  RequestStop();
  thread_.join();
}

void TBackgroundTask::Run() noexcept {
  try {
    work_(stop_);
  } catch (...) {
    failure_ = std::current_exception();
  }
  done_.store(true, std::memory_order_release);
}

void TBackgroundTask::Finish() {
  if (thread_.joinable()) {
    thread_.join();
    joined_ = true;
  } else if (!joined_ && !Done()) {
    Run();
  }
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

// --- TInOrder -----------------------------------------------------------------

namespace {

// How far ahead of the steps run an item may hand over its own.
constexpr int kMostAhead = 64;

}  // namespace

void TInOrder::Reset(int count, std::function<void(int item)> failed) {
  std::lock_guard<std::mutex> lock(mutex_);
  waiting_.assign(static_cast<size_t>(std::max(count, 0)), nullptr);
  failed_step_ = std::move(failed);
  next_ = 0;
  failed_ = -1;
  running_ = false;
}

void TInOrder::Submit(int item, std::function<void()> step) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto dropped = [&] { return failed_ >= 0 && failed_ < item; };
  moved_.wait(lock, [&] { return item - next_ < kMostAhead || dropped(); });
  if (dropped()) {
    lock.unlock();
    return;  // `step` goes unrun
  }
  waiting_[static_cast<size_t>(item)] = std::move(step);
  // One thread at a time runs the row of steps whose turn has come.
  if (running_) return;
  running_ = true;
  while (next_ < static_cast<int>(waiting_.size()) && waiting_[static_cast<size_t>(next_)]) {
    std::function<void()> now = std::move(waiting_[static_cast<size_t>(next_)]);
    waiting_[static_cast<size_t>(next_)] = nullptr;
    const int at = next_;
    lock.unlock();
    try {
      now();
    } catch (...) {
      lock.lock();
      running_ = false;
      lock.unlock();
      failed_step_(at);
      return;
    }
    lock.lock();
    ++next_;
    moved_.notify_all();
  }
  running_ = false;
}

void TInOrder::Fail(int item) {
  std::vector<std::function<void()>> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failed_ >= 0 && failed_ <= item) return;
    failed_ = item;
    for (size_t i = static_cast<size_t>(item) + 1; i < waiting_.size(); ++i)
      if (waiting_[i]) dropped.push_back(std::move(waiting_[i]));
  }
  moved_.notify_all();
  // Destroyed here, unrun, outside the lock.
}

int TInOrder::Done() {
  std::lock_guard<std::mutex> lock(mutex_);
  return next_;
}

// --- RunItems -----------------------------------------------------------------

namespace {

// What the threads of one RunItems share.
struct TItemsRun {
  explicit TItemsRun(const TItemsJob& j) : job(j) {}
  const TItemsJob& job;
  std::atomic<int> next{0}, done{0};
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::exception_ptr failure;
  int failed_item = INT_MAX;

  bool Stopped() const {
    return stop.load(std::memory_order_relaxed) ||
           (job.stop && job.stop->load(std::memory_order_relaxed));
  }
  void Failed(int item) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (item < failed_item) {
        failed_item = item;
        failure = std::current_exception();
      }
    }
    stop = true;
    if (job.in_order) job.in_order->Fail(item);
  }
  // Takes items until none is left or the run stops; the calling thread
  // (slot 0) reports after each of its items.
  void Take(int slot) {
    while (!Stopped()) {
      const int item = next.fetch_add(1);
      if (item >= job.count) return;
      try {
        job.work(item, slot);
        const int finished = done.fetch_add(1) + 1;
        if (slot == 0 && job.progress &&
            !job.progress(job.in_order ? job.in_order->Done() : finished))
          stop = true;
      } catch (...) {
        Failed(item);
        return;
      }
    }
  }
};

}  // namespace

int RunItems(const TItemsJob& job) {
  TItemsRun run(job);
  if (job.in_order) job.in_order->Reset(job.count, [&run](int item) { run.Failed(item); });
  {
    // Each helper takes items from the start; one that cannot be started
    // leaves its share to the others. The tasks are joined on leaving.
    std::vector<std::unique_ptr<TBackgroundTask>> helpers;
    const int threads = std::clamp(job.threads, 1, std::max(job.count, 1));
    for (int slot = 1; slot < threads; ++slot) {
      auto helper = std::make_unique<TBackgroundTask>(
          [&run, slot](const std::atomic<bool>&) { run.Take(slot); });
      if (!helper->Started()) break;
      helpers.push_back(std::move(helper));
    }
    run.Take(0);
    for (auto& helper : helpers) helper->Finish();
  }
  if (run.failure) std::rethrow_exception(run.failure);
  return std::min(run.next.load(), job.count);
}

}  // namespace orvana
