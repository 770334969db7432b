#include "blockstore/SourceReadAhead.h"

#include "blockstore/BlockAnchor.h"
#include "util/WorkerThread.h"

namespace vaultline {

void SourceReadAhead::Start(uint8_t* buffer, size_t length) {
  if (reader_ == nullptr) return;
  Finish();
  ticket_ = reader_->Submit([this, buffer, length] { got_ = ReadNow(buffer, length); });
}

int64_t SourceReadAhead::Read(uint8_t* buffer, size_t length) {
  if (ticket_ != 0) return Finish();
  return ReadNow(buffer, length);
}

int64_t SourceReadAhead::ReadNow(uint8_t* buffer, size_t length) {
  const int64_t got = source_.Read(buffer, length);
  if (got > 0 && anchors_ != nullptr) anchors_->Feed(buffer, static_cast<size_t>(got));
  return got;
}

int64_t SourceReadAhead::Finish() {
  if (ticket_ == 0) return 0;
  reader_->WaitFor(ticket_);
  ticket_ = 0;
  return got_;
}

}  // namespace vaultline
