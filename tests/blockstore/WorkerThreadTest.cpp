#include <gtest/gtest.h>

#include <vector>

#include "blockstore/WorkerThread.h"

namespace vaultline {
namespace {

TEST(WorkerThreadTest, TasksRunInOrderAndTheirResultsAreSeenAfterWaiting) {
  for (bool threaded : {false, true}) {
    std::vector<int> done;
    std::vector<int> expected;
    {
      WorkerThread worker(threaded);
      uint64_t ticket = 0;
      for (int i = 0; i < 200; ++i) {
        ticket = worker.Submit([&done, i] { done.push_back(i); });
        expected.push_back(i);
      }
      worker.WaitFor(ticket);
      EXPECT_EQ(done, expected) << threaded;
      // Handed over but not waited for: run before the worker ends.
      worker.Submit([&done] { done.push_back(-1); });
    }
    expected.push_back(-1);
    EXPECT_EQ(done, expected) << threaded;
  }
}

}  // namespace
}  // namespace vaultline
