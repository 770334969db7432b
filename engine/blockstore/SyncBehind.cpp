#include "blockstore/SyncBehind.h"

#include <cerrno>

#include "platform/File.h"

namespace vaultline {

SyncBehind::SyncBehind(int fd, bool threaded, int64_t step)
    : fd_(fd), threaded_(threaded), step_(step) {}

SyncBehind::~SyncBehind() = default;

void SyncBehind::Grown(int64_t end) {
  if (!threaded_) return;
  if (syncedTo_ < 0) syncedTo_ = end;
  if (end - syncedTo_ < step_) return;
  if (ticket_ != 0 && !worker_->Done(ticket_)) return;
  if (worker_ == nullptr) worker_ = std::make_unique<WorkerThread>(true);
  syncedTo_ = end;
  ticket_ = worker_->Submit(
      [this] {
        if (!platform::SyncFile(fd_)) error_ = platform::LastError();
      },
      true);
}

bool SyncBehind::Finish() {
  if (ticket_ == 0) return true;
  worker_->WaitFor(ticket_);
  ticket_ = 0;
  if (error_ == 0) return true;
  errno = error_;
  error_ = 0;
  return false;
}

}  // namespace vaultline
