#include "blockstore/SyncBehind.h"

#include <utility>

#include "platform/File.h"

namespace vaultline {

SyncBehind::SyncBehind(int fd, ThreadPlan& threads, int64_t step)
    : fd_(fd), threads_(threads), step_(step) {}

SyncBehind::~SyncBehind() {
  Finish();
}

void SyncBehind::Grown(int64_t end) {
  if (!threads_.Threaded() || fd_ < 0) return;
  if (syncedTo_ < 0) syncedTo_ = end;
  if (end - syncedTo_ < step_) return;
  WorkerThread& helper = threads_.Get(ThreadPlan::Helper::kDataSync);
  if (ticket_ != 0 && !helper.Done(ticket_)) return;
  syncedTo_ = end;
  ticket_ = helper.Submit(
      [this] {
        if (!platform::SyncFile(fd_)) error_ = {platform::LastError(), std::generic_category()};
      },
      true);
}

std::error_code SyncBehind::Finish() {
  if (ticket_ == 0) return {};
  threads_.Get(ThreadPlan::Helper::kDataSync).WaitFor(ticket_);
  ticket_ = 0;
  return std::exchange(error_, {});
}

}  // namespace vaultline
