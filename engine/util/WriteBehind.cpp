#include "util/WriteBehind.h"

#include <algorithm>
#include <cerrno>

#include "platform/DiagnosticLog.h"
#include "util/WorkerThread.h"

namespace vaultline {

WriteBehind::WriteBehind(RecordStream& stream, int64_t end, const wchar_t* failureText,
                         int64_t writeBackStep)
    : stream_(stream), written_(end), failureText_(failureText), writeBack_(end, writeBackStep) {}

WriteBehind::~WriteBehind() = default;

void WriteBehind::Reserve(size_t bytes) {
  gathered_.reserve(bytes);
  inFlight_.reserve(bytes);
}

void WriteBehind::Append(const void* bytes, size_t length) {
  const auto* first = static_cast<const uint8_t*>(bytes);
  gathered_.insert(gathered_.end(), first, first + length);
}

std::span<const uint8_t> WriteBehind::HeldFrom(int64_t position) const {
  if (position < written_) return {};
  auto at = static_cast<size_t>(position - written_);
  const std::vector<uint8_t>* held = &inFlight_;
  if (at >= inFlight_.size()) {
    at -= inFlight_.size();
    held = &gathered_;
  }
  if (at >= held->size()) return {};
  return {held->data() + at, held->size() - at};
}

bool WriteBehind::Flush(size_t bytes) {
  if (!Finish()) return false;
  bytes = std::min(bytes, gathered_.size());
  if (bytes == 0) return true;
  // Bytes behind the written end (a torn tail, a failed batch, an end
  // assumed) are cut off: the batch takes their place.
  if (!stream_.AppendAt(written_, {gathered_.data(), bytes})) {
    Failed(platform::LastError());
    return false;
  }
  written_ += static_cast<int64_t>(bytes);
  if (stream_.PlainDescriptor() >= 0) writeBack_.Grown(stream_.PlainDescriptor(), written_);
  gathered_.erase(gathered_.begin(), gathered_.begin() + static_cast<std::ptrdiff_t>(bytes));
  return true;
}

bool WriteBehind::FlushBehind(WorkerThread& worker) {
  if (!Finish()) return false;
  if (gathered_.empty()) return true;
  // The buffers swap roles, so that neither is allocated afresh.
  inFlight_.swap(gathered_);
  worker_ = &worker;
  const int64_t at = written_;
  ticket_ = worker.Submit([this, at] {
    flushFailed_ = !stream_.AppendAt(at, inFlight_);
    flushError_ = flushFailed_ ? std::error_code(platform::LastError(), std::generic_category())
                               : std::error_code();
    // Otherwise the kernel would hold a first backup's bytes back until the
    // sync before publishing, and the backup would then wait for all of them.
    const int fd = stream_.PlainDescriptor();
    if (!flushFailed_ && fd >= 0) writeBack_.Grown(fd, at + static_cast<int64_t>(inFlight_.size()));
  });
  return true;
}

bool WriteBehind::Finish() {
  if (worker_ == nullptr) return true;
  worker_->WaitFor(ticket_);
  worker_ = nullptr;
  if (flushFailed_) {
    flushFailed_ = false;
    Failed(flushError_.value());
    return false;
  }
  written_ += static_cast<int64_t>(inFlight_.size());
  inFlight_.clear();
  return true;
}

void WriteBehind::CutBack(int64_t end) {
  // Best effort: if the cut fails, the next append cuts again before it
  // goes out.
  if (end <= stream_.LogicalLength()) stream_.CutBack(end);
  written_ = end;
  writeBack_.CutBack(end);
}

void WriteBehind::Failed(int error) {
  lastError_ = error;
  platform::WriteDiagnostic(failureText_);
  inFlight_.clear();
  gathered_.clear();
  // A partial write must not stay in the file: the next append would land
  // behind it, not where its position says.
  CutBack(written_);
  errno = error;
}

}  // namespace vaultline
