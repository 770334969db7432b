#include "blockstore/WorkerThread.h"

namespace vaultline {

WorkerThread::WorkerThread(bool threaded) : threaded_(threaded) {
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
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
    ticket = ++submitted_;
  }
  taskReady_.notify_one();
  return ticket;
}

void WorkerThread::WaitFor(uint64_t ticket) {
  if (!threaded_) return;
  std::unique_lock<std::mutex> lock(mutex_);
  taskDone_.wait(lock, [&] { return finished_ >= ticket; });
}

bool WorkerThread::Done(uint64_t ticket) const {
  if (!threaded_) return true;
  std::lock_guard<std::mutex> lock(mutex_);
  return finished_ >= ticket;
}

void WorkerThread::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    taskReady_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
    if (tasks_.empty()) return;  // stopping, with everything done
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
    ++finished_;
    taskDone_.notify_all();
  }
}

}  // namespace vaultline
