// The one way the program runs work on threads.
//
// Two shapes share one set of rules:
//   - TBackgroundTask runs one piece of work beside the calling thread (a
//     file's second half, the desktop's long work while its windows paint);
//   - RunItems runs numbered items, 0 first, on up to a given number of
//     threads, the calling thread one of them (the pages of a build).
// The rules: a thread is always joined before the call that started it
// returns, whatever throws; a stop request keeps work not yet begun from
// beginning; the first failure by item order is the one thrown, as if one
// thread had run the items in order; callbacks run on the calling thread
// only; and when a thread cannot be started, the calling thread does the
// work itself.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orvana {

// One piece of work on a thread of its own, given a stop request it may
// look at between steps.
class TBackgroundTask {
 public:
  using TWork = std::function<void(const std::atomic<bool>& stop)>;

  // Starts `work` on a new thread; when no thread can be had, Started() is
  // false and Finish runs the work on the calling thread.
  explicit TBackgroundTask(TWork work);
  // Asks the work to stop and waits for it; its failure is dropped.
  ~TBackgroundTask();
  TBackgroundTask(const TBackgroundTask&) = delete;
  TBackgroundTask& operator=(const TBackgroundTask&) = delete;

  bool Started() const { return thread_.joinable() || joined_; }
  // True once the work has returned or thrown (never before Finish for work
  // that did not start).
  bool Done() const { return done_.load(std::memory_order_acquire); }
  void RequestStop() { stop_.store(true, std::memory_order_relaxed); }
  bool StopRequested() const { return stop_.load(std::memory_order_relaxed); }
  // Waits for the work (or runs it here) and throws what it threw.
  void Finish();

 private:
  void Run() noexcept;

  TWork work_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  std::exception_ptr failure_;
  std::thread thread_;
  bool joined_ = false;
};

// Steps that take effect in item order, whichever thread gets to them first
// (a page taking its name): an item hands its step over and goes on, and
// the step runs once the steps of every item before it have, on the thread
// that completes that row. After a failed item no later step runs: it is
// dropped (destroyed unrun). A step that throws fails its item.
class TInOrder {
 public:
  // Hands over item's step; runs it, and the steps waiting after it, when
  // its turn has come. Waits while `item` is far ahead of the steps run, so
  // that few steps (and what they hold) wait at a time.
  void Submit(int item, std::function<void()> step);
  // How many items' steps have run, in a row from item 0.
  int Done();

  // RunItems' side: a new run of `count` items, with what a failed step
  // reports (its item; the failure is the current exception); an item that
  // failed before its step, whose later steps are dropped.
  void Reset(int count, std::function<void(int item)> failed);
  void Fail(int item);

 private:
  std::mutex mutex_;
  std::condition_variable moved_;
  std::vector<std::function<void()>> waiting_;
  std::function<void(int item)> failed_step_;
  int next_ = 0;
  int failed_ = -1;
  bool running_ = false;
};

// Numbered items for RunItems.
struct TItemsJob {
  int count = 0;
  // How many threads may run items, the calling thread one of them; fewer
  // are used when no more threads can be started.
  int threads = 1;
  // Runs item `item` as thread number `slot` (0: the calling thread), each
  // slot one thread at a time. Any thread.
  std::function<void(int item, int slot)> work;
  // Called on the calling thread after each item it ran, with how many
  // items are done (with `in_order`: whose steps have run) so far; false
  // stops the items not yet begun. Unset: never stops.
  std::function<bool(int passed)> progress;
  // Set from anywhere: the items not yet begun are not begun.
  const std::atomic<bool>* stop = nullptr;
  // When given, items hand over steps that take effect in item order.
  TInOrder* in_order = nullptr;
};

// Runs the job's items in order of taking (each thread takes the lowest
// item nobody has taken), so the items begun are always the first ones.
// Returns how many were begun; every item begun has finished. Throws the
// failure of the lowest item that failed (a progress callback's failure
// counts as the calling thread's last item's).
int RunItems(const TItemsJob& job);

}  // namespace orvana
