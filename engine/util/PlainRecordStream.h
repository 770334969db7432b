// A record file of the plain layouts as a RecordStream: the logical bytes
// are the file's bytes. Appends on one thread may run while others read.
#pragma once

#include <atomic>
#include <memory>
#include <string_view>

#include "util/RecordStream.h"

namespace vaultline {

class PlainRecordStream : public RecordStream {
 public:
  // Opens `path` for reading, or for reading and appending (created when
  // missing); null with `error` set when it cannot be opened. The stream
  // owns its descriptor.
  static std::unique_ptr<PlainRecordStream> Open(std::wstring_view path, bool writable, int* error);
  // The file of `fd`, which stays the caller's to close; its logical end is
  // the file's size now.
  static std::unique_ptr<PlainRecordStream> Borrow(int fd);
  ~PlainRecordStream() override;

  bool Append(std::span<const uint8_t> batch) override;
  int64_t ReadAt(int64_t offset, void* buffer, size_t length) override;
  int64_t LogicalLength() const override { return end_.load(std::memory_order_acquire); }
  bool CutBack(int64_t length) override;
  bool Sync() override;
  int PlainDescriptor() const override { return fd_; }

 private:
  PlainRecordStream(int fd, int64_t end, bool owned) : fd_(fd), owned_(owned), end_(end) {}
  int fd_;
  bool owned_;
  std::atomic<int64_t> end_;
};

}  // namespace vaultline
