#include "util/ThreadPlan.h"

#include "platform/Processors.h"

namespace vaultline {

namespace {

struct Wakeup {
  size_t wakeAfter;
  bool helpWhileWaiting;
};

// How each helper is woken and waited for (see WorkerThread).
constexpr std::array<Wakeup, ThreadPlan::kHelpers> kWakeups = {{
    // Woken once two tasks (up to 32 blocks) wait: each wake costs the
    // store's thread a system call. A task wanted sooner runs on the
    // store's thread, which also starts the next ones while it waits.
    {2, true},   // kStoreHelper
    {1, false},  // kStoreWriter
    {1, false},  // kScanAhead
    {1, false},  // kDataSync
    // Checks are independent of each other, so the waiting caller may run
    // the next.
    {1, true},   // kRestoreChecks
    {1, false},  // kRestoreWriter
    {1, false},  // kSourceOpening
    {1, false},  // kKeyReading
    {1, false},  // kDirectoryWriter
    {1, false},  // kTagReader
}};

}  // namespace

ThreadPlan::ThreadPlan() : ThreadPlan(platform::AvailableProcessors() > 1) {}

ThreadPlan::ThreadPlan(bool threaded) : threaded_(threaded) {}

ThreadPlan::~ThreadPlan() {
  // In reverse: a helper's tasks may hand work to one listed before it.
  for (size_t i = kHelpers; i-- > 0;) helpers_[i].reset();
}

WorkerThread& ThreadPlan::Get(Helper helper) {
  const auto at = static_cast<size_t>(helper);
  std::lock_guard<std::mutex> lock(mutex_);
  if (helpers_[at] == nullptr) {
    helpers_[at] = std::make_unique<WorkerThread>(threaded_, kWakeups[at].wakeAfter,
                                                  kWakeups[at].helpWhileWaiting);
  }
  return *helpers_[at];
}

void ThreadPlan::Settle(Helper helper) {
  WorkerThread* worker;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    worker = helpers_[static_cast<size_t>(helper)].get();
  }
  if (worker != nullptr) worker->WaitForAll();
}

}  // namespace vaultline
