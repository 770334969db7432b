#include "util/WorkerThread.h"

#include "platform/Processors.h"

namespace vaultline {

WorkerThread::WorkerThread(bool threaded, size_t wakeAfter, bool helpWhileWaiting)
    : threaded_(threaded), helpWhileWaiting_(helpWhileWaiting), wakeAfter_(wakeAfter) {
  if (threaded_) thread_ = std::thread([this] { Run(); });
}

WorkerThread::~WorkerThread() {
  if (!threaded_) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  taskReady_.notify_one();
  thread_.join();
}

uint64_t WorkerThread::Submit(std::function<void()> task, bool urgent) {
  if (!threaded_) {
    task();
    return ++submitted_;
  }
  uint64_t ticket;
  bool wake;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
    ticket = ++submitted_;
    wake = sleeping_ && (urgent || tasks_.size() >= wakeAfter_);
  }
  if (wake) taskReady_.notify_one();
  return ticket;
}

void WorkerThread::WaitFor(uint64_t ticket) {
  if (!threaded_) return;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!DoneLocked(ticket)) {
    // Tasks up to the ticket that the helper has not started are run here;
    // when helping, so are later ones while the helper runs the one waited
    // for.
    if (started_ < ticket || (helpWhileWaiting_ && !tasks_.empty())) {
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      ++started_;
      lock.unlock();
      task();
      lock.lock();
      continue;
    }
    // Only the helper's task is left; it is running, so nothing to wake.
    waiting_ = true;
    taskDone_.wait(lock, [&] { return DoneLocked(ticket); });
    waiting_ = false;
  }
}

void WorkerThread::WaitForAll() {
  uint64_t last;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    last = submitted_;
  }
  WaitFor(last);
}

bool WorkerThread::Done(uint64_t ticket) const {
  if (!threaded_) return true;
  std::lock_guard<std::mutex> lock(mutex_);
  return DoneLocked(ticket);
}

void WorkerThread::Run() {
  platform::MarkThreadAsBatchWork();
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    sleeping_ = true;
    taskReady_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
    sleeping_ = false;
    if (tasks_.empty()) return;  // stopping, with everything done
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    running_ = ++started_;
    lock.unlock();
    task();
    lock.lock();
    running_ = 0;
    if (waiting_) taskDone_.notify_one();
  }
}

}  // namespace vaultline
