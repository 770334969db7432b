#include "blockstore/WorkerThread.h"

namespace vaultline {

WorkerThread::WorkerThread(bool threaded, size_t wakeAfter)
    : threaded_(threaded), wakeAfter_(wakeAfter) {
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

uint64_t WorkerThread::Submit(std::function<void()> task) {
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
    wake = sleeping_ && tasks_.size() >= wakeAfter_;
  }
  if (wake) taskReady_.notify_one();
  return ticket;
}

void WorkerThread::WaitFor(uint64_t ticket) {
  if (!threaded_) return;
  std::unique_lock<std::mutex> lock(mutex_);
  if (finished_ >= ticket) return;
  if (sleeping_) taskReady_.notify_one();
  ++waiters_;
  taskDone_.wait(lock, [&] { return finished_ >= ticket; });
  --waiters_;
}

bool WorkerThread::Done(uint64_t ticket) const {
  if (!threaded_) return true;
  std::lock_guard<std::mutex> lock(mutex_);
  return finished_ >= ticket;
}

void WorkerThread::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    sleeping_ = true;
    taskReady_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
    sleeping_ = false;
    if (tasks_.empty()) return;  // stopping, with everything done
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
    ++finished_;
    if (waiters_ > 0) taskDone_.notify_all();
  }
}

}  // namespace vaultline
