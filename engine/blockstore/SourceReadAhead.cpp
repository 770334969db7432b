#include "blockstore/SourceReadAhead.h"

#include "blockstore/WorkerThread.h"

namespace vaultline {

void SourceReadAhead::Start(uint8_t* buffer, size_t length) {
  if (reader_ == nullptr) return;
  Finish();
  ticket_ = reader_->Submit([this, buffer, length] { got_ = source_.Read(buffer, length); });
}

int64_t SourceReadAhead::Read(uint8_t* buffer, size_t length) {
  if (ticket_ != 0) return Finish();
  return source_.Read(buffer, length);
}

int64_t SourceReadAhead::Finish() {
  if (ticket_ == 0) return 0;
  reader_->WaitFor(ticket_);
  ticket_ = 0;
  return got_;
}

}  // namespace vaultline
