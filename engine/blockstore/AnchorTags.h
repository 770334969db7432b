// The tags of an anchor table (a u16 per slot, see AnchorTable), read from
// the lookup file a stretch at a time as look-ups reach them, so that
// opening a store costs the same at any size: a backup of a small change
// reads a few stretches, one of much new data reads them all.
//
// Where look-ups are dense (much new data is to come, or a quarter of the
// stretches are in already), the rest is read on a helper thread, in wide
// stretches from the start of the table, while the scan goes on: a stretch
// the scan reaches first it reads itself, one the helper is reading it
// waits for.
//
// A stretch that cannot be read answers "free" for its slots and marks the
// tags failed: the table then enters nothing more, and the file is made
// again rather than written back over slots it no longer knows.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/LargeMemory.h"

namespace vaultline {

class ThreadPlan;
class WorkerThread;

class AnchorTags {
 public:
  using Tag = uint16_t;

  AnchorTags();
  // All free, for a new table.
  static AnchorTags Fresh(uint32_t count);
  // The `count` tags stored at `at` in the open file `fd`, read as needed;
  // a helper of `threads`, when given, reads the rest once look-ups are
  // dense.
  static AnchorTags Stored(int fd, int64_t at, uint32_t count, ThreadPlan* threads);
  ~AnchorTags();
  AnchorTags(AnchorTags&& other) noexcept;
  AnchorTags& operator=(AnchorTags&& other) noexcept;

  uint32_t Size() const { return count_; }
  Tag At(uint32_t slot) const {
    Load(slot);
    return tags_.get()[slot];
  }
  // Brings the slot's tag in and starts its way into the cache, so that
  // the look-ups of a batch of anchors wait for memory together.
  void Prefetch(uint32_t slot) const {
    Load(slot);
    __builtin_prefetch(tags_.get() + slot);
  }
  void Set(uint32_t slot, Tag tag) {
    Load(slot);
    tags_.get()[slot] = tag;
  }
  // About `lookups` look-ups are to come: dense enough, the rest is read
  // behind them.
  void ExpectLookups(uint64_t lookups) const;
  // Whether a stretch could not be read.
  bool Failed() const;

 private:
  struct Free {
    size_t bytes;
    void operator()(Tag* tags) const;
  };
  // Zeroed memory the system hands out as it is touched: a table of many
  // stretches costs only those a backup reaches.
  static std::unique_ptr<Tag[], Free> Allocate(uint32_t count);

  // The reading of stored tags, which the look-ups and the helper share:
  // kept apart from the tags, which may move while the helper reads.
  class Loading;

  // Tags read at once by a look-up: a page of the file. A small change's
  // few thousand anchors each reach a page of their own, and a larger
  // stretch would read the whole table for them.
  static constexpr uint32_t kStretch = 2048;
  enum StretchState : uint8_t { kOut, kReading, kIn };

  void Load(uint32_t slot) const {
    if (state_ != nullptr && state_[slot / kStretch].load(std::memory_order_acquire) != kIn) {
      LoadStretch(slot / kStretch);
    }
  }
  void LoadStretch(uint32_t stretch) const;
  void ReadRestBehind() const;
  // Ends the helper's reading and waits for it.
  void StopReading();

  uint32_t count_ = 0;
  std::unique_ptr<Tag[], Free> tags_;
  std::unique_ptr<Loading> loading_;             // null when every tag is in memory
  const std::atomic<uint8_t>* state_ = nullptr;  // the loading's, by stretch
  ThreadPlan* threads_ = nullptr;
  // The helper reading the rest, and the ticket of its task, once handed over.
  mutable WorkerThread* reader_ = nullptr;
  mutable uint64_t readerTicket_ = 0;
};

}  // namespace vaultline
