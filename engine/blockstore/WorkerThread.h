// One helper thread that runs tasks in the order they were handed over, so
// that the store can overlap hashing and reading with the caller's writing.
// Where only one processor is available there is no thread: each task runs
// on the caller's thread when it is handed over. Tasks never call the status
// sink; that stays on the caller's thread.
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
  // `threaded` false runs every task at once on the caller's thread. Waking
  // the thread costs more than a small task: a sleeping helper is woken when
  // `wakeAfter` tasks wait for it, or when the caller waits for one.
  explicit WorkerThread(bool threaded, size_t wakeAfter = 1);
  ~WorkerThread();  // runs what was handed over, then ends the thread
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // A ticket that WaitFor takes.
  uint64_t Submit(std::function<void()> task);
  // Returns once the task of `ticket` and every one before it has run; what
  // they wrote is then visible to the caller.
  void WaitFor(uint64_t ticket);
  // Whether the task of `ticket` has run, without waiting.
  bool Done(uint64_t ticket) const;

 private:
  void Run();

  bool threaded_;
  mutable std::mutex mutex_;
  std::condition_variable taskReady_;
  std::condition_variable taskDone_;
  std::deque<std::function<void()>> tasks_;
  uint64_t submitted_ = 0;
  uint64_t finished_ = 0;
  bool stopping_ = false;
  size_t wakeAfter_;
  bool sleeping_ = false;  // the helper waits for tasks
  int waiters_ = 0;        // callers in WaitFor
  std::thread thread_;
};

}  // namespace vaultline
