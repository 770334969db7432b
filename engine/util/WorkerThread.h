// One helper thread for tasks handed over in order, so that the store can
// overlap hashing and reading with the caller's writing. A caller that waits
// for a task the helper has not started runs it itself: waking a sleeping
// thread and being woken by it costs more than a small task, and a task that
// waits for the helper is the one the caller needs next. So tasks start in
// the order handed over, but two can run at once, one on each thread; they
// must not depend on each other. Without a thread (`threaded` false) each
// task runs on the caller's thread when it is handed over. Only ThreadPlan
// makes them in the engine: it decides whether they run and owns them.
// Tasks never call the status sink; that stays on the caller's thread.
// The helper does batch work (platform::MarkThreadAsBatchWork): waking it
// does not push the caller aside, whose work it serves.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace vaultline {

class WorkerThread {
 public:
  // `threaded` false runs every task at once on the caller's thread. A
  // sleeping helper is woken when `wakeAfter` tasks wait for it. With
  // `helpWhileWaiting`, a caller waiting for the task the helper runs starts
  // the tasks handed over after it meanwhile (still in order), and so may
  // return up to one task's time after the one it waited for.
  explicit WorkerThread(bool threaded, size_t wakeAfter = 1, bool helpWhileWaiting = false);
  ~WorkerThread();  // runs what was handed over, then ends the thread
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // A ticket that WaitFor takes. An `urgent` task wakes a sleeping helper
  // however few tasks wait.
  uint64_t Submit(std::function<void()> task, bool urgent = false);
  // Returns once the task of `ticket` and every one before it has run; what
  // they wrote is then visible to the caller. Runs those not yet started.
  void WaitFor(uint64_t ticket);
  // WaitFor the last task handed over so far.
  void WaitForAll();
  // Whether the task of `ticket` and every one before it have run, without
  // waiting.
  bool Done(uint64_t ticket) const;

 private:
  void Run();
  bool DoneLocked(uint64_t ticket) const {
    return ticket <= started_ && (running_ == 0 || running_ > ticket);
  }

  bool threaded_;
  bool helpWhileWaiting_;
  mutable std::mutex mutex_;
  std::condition_variable taskReady_;
  std::condition_variable taskDone_;
  std::deque<std::function<void()>> tasks_;
  uint64_t submitted_ = 0;
  uint64_t started_ = 0;  // tickets taken off the queue by either thread
  uint64_t running_ = 0;  // the ticket the helper runs, or 0
  bool stopping_ = false;
  size_t wakeAfter_;
  bool sleeping_ = false;  // the helper waits for tasks
  bool waiting_ = false;   // the caller waits for the helper's task
  std::thread thread_;
};

}  // namespace vaultline
