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

// --- TItemTurns ---------------------------------------------------------------

void TItemTurns::Reset(int count) {
  std::lock_guard<std::mutex> lock(mutex_);
  passed_.assign(static_cast<size_t>(std::max(count, 0)), 0);
  next_ = 0;
  failed_ = -1;
}

bool TItemTurns::Await(int item) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto failed_before = [&] { return failed_ >= 0 && failed_ < item; };
  changed_.wait(lock, [&] { return next_ >= item || failed_before(); });
  return !failed_before();
}

void TItemTurns::Pass(int item) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    passed_[static_cast<size_t>(item)] = 1;
    while (next_ < static_cast<int>(passed_.size()) && passed_[static_cast<size_t>(next_)]) ++next_;
  }
  changed_.notify_all();
}

void TItemTurns::Fail(int item) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failed_ < 0 || item < failed_) failed_ = item;
  }
  changed_.notify_all();
}

int TItemTurns::Passed() {
  std::lock_guard<std::mutex> lock(mutex_);
  return next_;
}

// --- RunItems -----------------------------------------------------------------

namespace {

// What the threads of one RunItems share.
struct TItemsRun {
  TItemsRun(const TItemsJob& j, TItemTurns& t) : job(j), turns(t) {}
  const TItemsJob& job;
  TItemTurns& turns;
  std::atomic<int> next{0};
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
    turns.Fail(item);
  }
  // Takes items until none is left or the run stops; the calling thread
  // (slot 0) reports after each of its items.
  void Take(int slot) {
    while (!Stopped()) {
      const int item = next.fetch_add(1);
      if (item >= job.count) return;
      try {
        job.work(item, slot);
        turns.Pass(item);
        if (slot == 0 && job.progress && !job.progress(turns.Passed())) stop = true;
      } catch (...) {
        Failed(item);
        return;
      }
    }
  }
};

}  // namespace

int RunItems(const TItemsJob& job) {
  TItemTurns own_turns;
  TItemTurns& turns = job.turns ? *job.turns : own_turns;
  turns.Reset(job.count);
  TItemsRun run(job, turns);
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
