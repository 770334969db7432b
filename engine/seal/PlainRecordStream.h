// A record file of the plain layouts as a RecordStream: the logical bytes
// are the file's bytes. Owns its descriptor.
#pragma once

#include <memory>
#include <string_view>

#include "seal/RecordStream.h"

namespace vaultline::seal {

class PlainRecordStream : public RecordStream {
 public:
  // Opens `path` for reading, or for reading and appending (created when
  // missing); null with `error` set when it cannot be opened.
  static std::unique_ptr<PlainRecordStream> Open(std::wstring_view path, bool writable, int* error);
  ~PlainRecordStream() override;

  bool Append(std::span<const uint8_t> batch) override;
  int64_t ReadAt(int64_t offset, void* buffer, size_t length) override;
  int64_t LogicalLength() const override { return end_; }
  bool CutBack(int64_t length) override;
  bool Sync() override;

 private:
  PlainRecordStream(int fd, int64_t end) : fd_(fd), end_(end) {}
  int fd_;
  int64_t end_;
};

}  // namespace vaultline::seal
