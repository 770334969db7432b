#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <vector>

#include "util/WorkerThread.h"

namespace vaultline {
namespace {

// Each task writes a slot of its own: two may run at once, one on each thread.
TEST(WorkerThreadTest, EveryTaskUpToTheTicketHasRunWhenWaitingEnds) {
  for (bool threaded : {false, true}) {
    for (size_t wakeAfter : {size_t{1}, size_t{4}, size_t{1000}}) {
      for (bool help : {false, true}) {
        std::vector<int> done(401, 0);
        {
          WorkerThread worker(threaded, wakeAfter, help);
          for (int round = 0; round < 4; ++round) {
            uint64_t ticket = 0;
            for (int i = round * 100; i < (round + 1) * 100; ++i) {
              ticket = worker.Submit([&done, i] { done[static_cast<size_t>(i)] = i + 1; });
            }
            // Waiting for an earlier ticket leaves the later tasks handed over.
            worker.WaitFor(ticket - 50);
            for (int i = 0; i < round * 100 + 50; ++i) {
              ASSERT_EQ(done[static_cast<size_t>(i)], i + 1) << threaded << wakeAfter;
            }
            EXPECT_TRUE(worker.Done(ticket - 50));
            worker.WaitFor(ticket);
            EXPECT_TRUE(worker.Done(ticket));
            for (int i = 0; i < (round + 1) * 100; ++i) {
              ASSERT_EQ(done[static_cast<size_t>(i)], i + 1) << threaded << wakeAfter;
            }
          }
          // Handed over but not waited for: run before the worker ends.
          worker.Submit([&done] { done[400] = -1; });
        }
        EXPECT_EQ(done[400], -1) << threaded << wakeAfter;
      }
    }
  }
}

TEST(WorkerThreadTest, AHelpingWaiterRunsLaterTasksWhileTheHelperRunsTheOneWaitedFor) {
  WorkerThread worker(true, 1, true);
  std::atomic<bool> started{false};
  std::atomic<bool> later{false};
  // The helper's task can only end once a later task has run: a waiter that
  // only slept would wait for ever.
  const uint64_t first = worker.Submit([&] {
    started = true;
    while (!later.load()) std::this_thread::yield();
  });
  while (!started.load()) std::this_thread::yield();
  const uint64_t second = worker.Submit([&later] { later = true; });
  worker.WaitFor(first);
  EXPECT_TRUE(worker.Done(first));
  EXPECT_TRUE(worker.Done(second));
}

TEST(WorkerThreadTest, ATaskNotWaitedForIsNotDoneWhileItRuns) {
  std::atomic<bool> release{false};
  WorkerThread worker(true, 1);
  const uint64_t ticket = worker.Submit([&release] {
    while (!release.load()) std::this_thread::yield();
  });
  // Either still queued or blocked on the flag: not done either way.
  EXPECT_FALSE(worker.Done(ticket));
  release = true;
  worker.WaitFor(ticket);
  EXPECT_TRUE(worker.Done(ticket));
}

TEST(WorkerThreadTest, TheHelperDoesBatchWorkAndTheCallerKeepsItsScheduling) {
  const int callerPolicy = sched_getscheduler(0);
  std::atomic<int> helperPolicy{-1};
  {
    WorkerThread worker(true, 1);
    const uint64_t ticket = worker.Submit([&] { helperPolicy = sched_getscheduler(0); }, true);
    // Not WaitFor, which would run the task here if the helper had not.
    while (!worker.Done(ticket)) std::this_thread::yield();
  }
  EXPECT_EQ(helperPolicy, SCHED_BATCH);
  EXPECT_EQ(sched_getscheduler(0), callerPolicy);
}

}  // namespace
}  // namespace vaultline
