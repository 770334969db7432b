// A record file kept as a container of frames (FrameLayout.h): the logical
// bytes of the plain layout, each appended batch one frame, sealed or
// checksummed by the codec it is given. Frames are only appended; cutting
// back truncates at a frame boundary.
//
// Opening reads the frame headers into a table (logical offset -> frame).
// Damage is never read as data: ReadAt answers kDamaged for any range that
// touches it, and Damage() names every damaged range found so far (by the
// scan at opening, or by reads and CheckAll since). A torn tail is cut off
// logically at opening and named by TornTail(); the first Append truncates
// the file there.
//
// Owns its descriptor; one thread at a time.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "seal/FrameScan.h"
#include "util/RecordStream.h"

namespace vaultline::seal {

class SealedStream : public RecordStream {
 public:
  // Opens the container at `path` for reading, or for reading and appending
  // (created 0600 when missing). Null with `error` set when it cannot be
  // opened or read, or when `codec` is not Ready() (ENOMEM).
  static std::unique_ptr<SealedStream> Open(std::wstring path, FrameCodec codec, bool writable,
                                            int* error);
  ~SealedStream() override;

  bool Append(std::span<const uint8_t> batch) override;
  int64_t ReadAt(int64_t offset, void* buffer, size_t length) override;
  int64_t LogicalLength() const override;
  bool CutBack(int64_t length) override;
  bool Sync() override;

  const std::vector<DamagedRange>& Damage() const { return damage_; }
  const std::optional<DamagedRange>& TornTail() const { return tornTail_; }
  // Reads every frame; false when any is damaged (then named in Damage())
  // or a read failed (ReadFailed()).
  bool CheckAll();
  bool ReadFailed() const { return readFailed_; }
  // One line naming the file and the logical bytes `range` lost.
  std::wstring Describe(const DamagedRange& range) const;
  int64_t FrameCount() const { return static_cast<int64_t>(entries_.size()); }

 private:
  SealedStream(std::wstring path, int fd, FrameCodec codec, bool writable);
  // The batch of entry `index`, decoded (from the cache when there); null
  // when damaged or unreadable.
  const std::vector<uint8_t>* Batch(size_t index);
  size_t EntryAt(int64_t offset) const;

  std::wstring path_;
  int fd_;
  FrameCodec codec_;
  bool writable_;
  std::vector<FrameEntry> entries_;
  std::vector<DamagedRange> damage_;
  std::optional<DamagedRange> tornTail_;
  bool tailCut_ = false;  // the torn tail is truncated off the file
  int64_t appendOffset_ = 0;
  uint64_t nextSequence_ = 0;
  bool readFailed_ = false;
  // A few decoded frames: records are read a few at a time, one frame after
  // another.
  static constexpr size_t kCachedFrames = 4;
  struct Cached {
    size_t index = SIZE_MAX;
    std::vector<uint8_t> batch;
  };
  Cached cache_[kCachedFrames];
  size_t nextCacheSlot_ = 0;
  std::vector<uint8_t> writeBuffer_;
};

}  // namespace vaultline::seal
