// Makes a growing file durable a step at a time, on a thread of its own,
// while it is still being written. A removable drive, or the disk under a
// virtual machine, may hold what it was sent in a cache of its own until a
// sync asks for it; the sync that publishes a backup would then wait for the
// whole backup to go out at once, with the processors idle. Synced behind,
// it finds at most a step or two left.
//
// A sync that fails is remembered until Finish reports it: the system
// reports a failed write-back once per open file, so the sync that publishes
// might not see it again.
#pragma once

#include <cstdint>
#include <system_error>

#include "util/ThreadPlan.h"

namespace vaultline {

class SyncBehind {
 public:
  // Syncs the plain file of `fd` on the plan's kDataSync helper. Without
  // helper threads, or with no descriptor (-1: a container, whose own sync
  // must not run beside its appends), nothing is synced behind: the sync
  // would hold up the only processor's writing.
  SyncBehind(int fd, ThreadPlan& threads, int64_t step);
  ~SyncBehind();  // waits for the sync running
  SyncBehind(const SyncBehind&) = delete;
  SyncBehind& operator=(const SyncBehind&) = delete;

  // What was written of the file now ends at `end`: a sync starts when a
  // step more was written since the last one began (or since the first
  // call) and none is running.
  void Grown(int64_t end);
  // Waits for the sync running. The error of a sync behind that failed
  // since the last call, else none.
  std::error_code Finish();

 private:
  int fd_;
  ThreadPlan& threads_;
  int64_t step_;
  int64_t syncedTo_ = -1;  // where the file ended when the last sync began
  uint64_t ticket_ = 0;    // of the last sync handed over, or 0
  std::error_code error_;  // of a failed sync; written by the helper before its ticket is done
};

}  // namespace vaultline
