#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "util/ThreadPlan.h"

namespace vaultline {
namespace {

using Helper = ThreadPlan::Helper;

TEST(ThreadPlanTest, WithoutHelperThreadsEveryTaskRunsOnTheCallerWhenHandedOver) {
  ThreadPlan threads(false);
  EXPECT_FALSE(threads.Threaded());
  for (size_t i = 0; i < ThreadPlan::kHelpers; ++i) {
    bool ran = false;
    std::thread::id ranOn;
    threads.Get(static_cast<Helper>(i)).Submit([&] {
      ran = true;
      ranOn = std::this_thread::get_id();
    });
    EXPECT_TRUE(ran) << i;
    EXPECT_EQ(ranOn, std::this_thread::get_id()) << i;
  }
}

TEST(ThreadPlanTest, EachHelperIsOneThreadOfItsOwnThatSettleWaitsFor) {
  ThreadPlan threads(true);
  // Never made: nothing to wait for.
  threads.Settle(Helper::kKeyReading);
  WorkerThread& writer = threads.Get(Helper::kStoreWriter);
  EXPECT_EQ(&writer, &threads.Get(Helper::kStoreWriter));
  EXPECT_NE(&writer, &threads.Get(Helper::kDirectoryWriter));

  // The task is held until the caller lets it go, so it cannot have been
  // run by the caller's Settle before the helper took it.
  std::mutex mutex;
  std::condition_variable changed;
  bool started = false;
  bool release = false;
  std::atomic<bool> finished{false};
  std::thread::id ranOn;
  writer.Submit([&] {
    std::unique_lock<std::mutex> lock(mutex);
    ranOn = std::this_thread::get_id();
    started = true;
    changed.notify_all();
    changed.wait(lock, [&] { return release; });
    finished = true;
  });
  {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return started; });
    release = true;
    changed.notify_all();
  }
  threads.Settle(Helper::kStoreWriter);
  EXPECT_TRUE(finished);
  EXPECT_NE(ranOn, std::this_thread::get_id());
}

TEST(ThreadPlanTest, WhatWasHandedOverRunsBeforeThePlanEnds) {
  std::atomic<int> ran{0};
  {
    ThreadPlan threads(true);
    for (size_t i = 0; i < ThreadPlan::kHelpers; ++i) {
      for (int task = 0; task < 10; ++task) {
        threads.Get(static_cast<Helper>(i)).Submit([&ran] { ++ran; });
      }
    }
  }
  EXPECT_EQ(ran, static_cast<int>(10 * ThreadPlan::kHelpers));
}

}  // namespace
}  // namespace vaultline
