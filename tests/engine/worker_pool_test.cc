// RunItems over random jobs: whatever the threads, the failing items and the
// stops, the steps that take effect are a row from item 0 in item order,
// none after a failure; the failure thrown is the lowest item's; progress
// is heard on the calling thread only.
#include "engine/WorkerPool.h"

#include <gtest/gtest.h>

#include <mutex>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace orvana {
namespace {

TEST(WorkerPool, StepsTakeEffectInItemOrderAndTheFirstFailureIsThrown) {
  std::mt19937 rng(27);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const int count = static_cast<int>(rng() % 200);
    std::set<int> failing;  // their work, or (odd ones) their step, throws
    for (int f = static_cast<int>(rng() % 3); f > 0 && count > 0; --f)
      failing.insert(static_cast<int>(rng() % static_cast<unsigned>(count)));
    const int stop_after = rng() % 2 ? static_cast<int>(rng() % 50) : -1;
    std::mutex mutex;
    std::vector<int> steps;
    const std::thread::id caller = std::this_thread::get_id();
    TInOrder in_order;
    TItemsJob job;
    job.count = count;
    job.threads = 1 + static_cast<int>(rng() % 4);
    job.in_order = &in_order;
    job.work = [&](int item, int) {
      if (failing.count(item) && item % 2 == 0) throw std::runtime_error(std::to_string(item));
      in_order.Submit(item, [&, item] {
        if (failing.count(item)) throw std::runtime_error(std::to_string(item));
        std::lock_guard<std::mutex> lock(mutex);
        steps.push_back(item);
      });
    };
    job.progress = [&](int done) {
      EXPECT_EQ(std::this_thread::get_id(), caller);
      return stop_after < 0 || done < stop_after;
    };
    int begun = -1;
    std::string thrown;
    try {
      begun = RunItems(job);
    } catch (const std::runtime_error& error) {
      thrown = error.what();
    }
    for (size_t i = 0; i < steps.size(); ++i) ASSERT_EQ(steps[i], static_cast<int>(i));
    // A stop may come before any failing item is begun.
    if (stop_after < 0) EXPECT_EQ(thrown.empty(), failing.empty());
    if (!thrown.empty()) {
      EXPECT_EQ(thrown, std::to_string(*failing.begin()));
      EXPECT_EQ(static_cast<int>(steps.size()), *failing.begin());
    } else {
      EXPECT_TRUE(failing.empty() || *failing.begin() >= begun);
      EXPECT_EQ(static_cast<int>(steps.size()), begun);
      EXPECT_EQ(in_order.Done(), begun);
      if (stop_after < 0) EXPECT_EQ(begun, count);
    }
  }
}

}  // namespace
}  // namespace orvana
