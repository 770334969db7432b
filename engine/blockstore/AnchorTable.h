// The stored blocks that have an anchor, by the anchor's key: an
// open-addressed table of 16-byte slots over memory it does not own (the
// mapped lookup file), four slots to a cache line, probed linearly. Beside
// it, one byte per slot: the low byte of the slot's key, 1 for a key whose
// low byte is 0, and 0 for a free slot. New data's anchors are nearly all
// unknown, and the tags (a sixteenth of the table, kept in memory) answer
// them without a look at the slots, which are read from the drive.
//
//   0  u32  anchor key       8  u32  index record number + 1 (0: free slot)
//   4  i32  weak checksum   12  u16  anchor offset in the block, u16 zero
//
// A slot may name a record that is not, or no longer, the block it was made
// for: every block found through the table is confirmed from the index.
#pragma once

#include <cstddef>
#include <cstdint>

#include "blockstore/ByteOrder.h"

namespace vaultline {

struct AnchoredBlock {
  uint32_t key = 0;
  int32_t weakChecksum = 0;
  uint32_t record = 0;
  uint16_t offset = 0;
};

class AnchorTable {
 public:
  static constexpr size_t kSlotSize = 16;

  AnchorTable() = default;
  AnchorTable(uint8_t* tags, uint8_t* slots, uint32_t capacity, uint32_t used)
      : tags_(tags), slots_(slots), capacity_(capacity), used_(used) {}

  // Slots for `blocks`, filled to 80 % at most: probes stay short.
  static uint32_t CapacityFor(uint64_t blocks);
  bool HasRoomFor(uint64_t more) const { return (used_ + more) * 5 <= uint64_t{capacity_} * 4; }
  // Enters the block unless the same one is there already.
  void Insert(const AnchoredBlock& block);
  // Calls visit(block) for every block entered under `key`.
  template <typename Visit>
  void ForEach(uint32_t key, Visit visit) const {
    const uint8_t tag = TagOf(key);
    uint32_t slot = Home(key);
    for (uint32_t probes = 0; probes < MostProbes(); ++probes) {
      const uint8_t probed = tags_[slot];
      if (probed == 0) return;
      const uint8_t* at = slots_ + size_t{slot} * kSlotSize;
      slot = slot + 1 == capacity_ ? 0 : slot + 1;
      if (probed != tag || LoadLe32(at) != key) continue;
      const uint32_t record = LoadLe32(at + 8);
      if (record != 0) visit(Decode(at, record));
    }
  }
  uint32_t Capacity() const { return capacity_; }
  uint32_t Used() const { return used_; }

 private:
  // Slots probed from a key's home at most. Far more than a sound table at
  // 80 % needs; a damaged one may have no free slot left, and then a block
  // is missed rather than every look-up crawling through it.
  uint32_t MostProbes() const { return capacity_ < 4096 ? capacity_ : 4096; }
  static uint8_t TagOf(uint32_t key) {
    const auto low = static_cast<uint8_t>(key);
    return low == 0 ? 1 : low;
  }
  uint32_t Home(uint32_t key) const {
    return static_cast<uint32_t>((uint64_t{key} * capacity_) >> 32);
  }
  static AnchoredBlock Decode(const uint8_t* at, uint32_t record) {
    return {LoadLe32(at), static_cast<int32_t>(LoadLe32(at + 4)), record - 1, LoadLe16(at + 12)};
  }

  uint8_t* tags_ = nullptr;
  uint8_t* slots_ = nullptr;
  uint32_t capacity_ = 0;
  uint32_t used_ = 0;
};

}  // namespace vaultline
