// A record file as the store and the catalogue see it: logical bytes that
// are appended in batches, read at any offset, cut back after a failed
// batch and synced. The plain implementation is the file itself; a
// container keeps the same logical bytes in frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vaultline {

class RecordStream {
 public:
  // ReadAt's answers besides a byte count.
  static constexpr int64_t kReadError = -1;  // the system failed (errno kept)
  static constexpr int64_t kDamaged = -2;    // the range holds damage

  virtual ~RecordStream() = default;
  // Appends `batch` at the logical end. False on a failed write (errno
  // kept): the stream then ends where it ended before the call.
  virtual bool Append(std::span<const uint8_t> batch) = 0;
  // Reads up to `length` bytes at logical `offset` (fewer at the end): the
  // count read, kReadError, or kDamaged when any of them is damaged (then
  // none of them is given).
  virtual int64_t ReadAt(int64_t offset, void* buffer, size_t length) = 0;
  virtual int64_t LogicalLength() const = 0;
  // Cuts the stream back to `length`, which must be where an Append began
  // or the end; false otherwise (EINVAL) or when the file cannot be cut.
  virtual bool CutBack(int64_t length) = 0;
  // Appends `batch` at `end`, first cutting off what lies behind it (a
  // torn tail or a failed batch); false when either fails.
  bool AppendAt(int64_t end, std::span<const uint8_t> batch) {
    if (LogicalLength() != end && !CutBack(end)) return false;
    return Append(batch);
  }
  // Makes everything appended durable.
  virtual bool Sync() = 0;
  // The descriptor of a plain file, whose bytes are the logical bytes, for
  // the hints that start its write-back early and sync it behind the
  // writer; -1 for a container, which takes no such hints.
  virtual int PlainDescriptor() const { return -1; }
};

}  // namespace vaultline
