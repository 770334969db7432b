// The stored blocks that have an anchor, by the anchor's key: an
// open-addressed table of 16-byte slots in the lookup file, probed linearly.
//
//   0  u32  anchor key       8  u32  index record number + 1 (0: free slot)
//   4  i32  weak checksum   12  u16  anchor offset in the block, u16 zero
//
// Beside it, two bytes per slot (AnchorTags): the low 16 bits of the slot's
// key, 1 for a key whose low bits are 0, and 0 for a free slot. New data's
// anchors are nearly all unknown, and the tags answer them without a read of
// the slots, which stay on the drive and are read a run at a time (not
// mapped: a drive pulled under a mapping would end the program).
//
// A slot may name a record that is not, or no longer, the block it was made
// for: every block found through the table is confirmed from the index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "blockstore/AnchorTags.h"

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
  using Tag = AnchorTags::Tag;
  // Tags per page of the file (4096 bytes).
  static constexpr size_t kTagPage = 2048;

  AnchorTable() = default;
  // The table whose slots start at `slotsAt` in the open file `fd`.
  AnchorTable(int fd, int64_t slotsAt, AnchorTags tags, uint32_t used)
      : fd_(fd),
        slotsAt_(slotsAt),
        tags_(std::move(tags)),
        used_(used),
        changed_(tags_.Size() / kTagPage + 1, false) {}

  // Slots for `blocks`, filled to 80 % at most: probes stay short.
  static uint32_t CapacityFor(uint64_t blocks);
  bool HasRoomFor(uint64_t more) const { return (used_ + more) * 5 <= uint64_t{Capacity()} * 4; }
  // Enters the block unless the same one is there already; false when the
  // slot could not be written. A block that finds no free slot within the
  // probes a look-up makes is left out and `*crowded` set: it must then be
  // found another way.
  bool Insert(const AnchoredBlock& block, bool* crowded);
  // Calls visit(block) for every block entered under `key`.
  template <typename Visit>
  void ForEach(uint32_t key, Visit visit) const {
    const Tag tag = TagOf(key);
    uint32_t slot = Home(key);
    for (uint32_t probes = 0; probes < MostProbes(); ++probes) {
      const Tag probed = tags_.At(slot);
      if (probed == 0) return;
      AnchoredBlock block;
      if (probed == tag && ReadSlot(slot, &block) && block.key == key) visit(block);
      slot = slot + 1 == Capacity() ? 0 : slot + 1;
    }
  }
  // A look-up of `key` comes soon: its first tag is brought in.
  void Prefetch(uint32_t key) const { tags_.Prefetch(Home(key)); }
  // Blocks entered in the order of their keys (a grow, or the many blocks
  // of a backup at once) fill slots in order too. From StartInOrder to
  // FinishInOrder the slots gather in a window of memory that goes out with
  // one write as the blocks move past it, instead of one write per slot;
  // slots behind it (a key out of order, a probe that wrapped round) are
  // written one by one. `fresh`: every slot is free (a new file), so the
  // window is not read before it fills.
  void StartInOrder(bool fresh) {
    window_.resize(size_t{kWindowSlots} * kSlotSize);
    windowFresh_ = fresh;
    windowLoaded_ = false;
  }
  bool FinishInOrder() {
    const bool written = FlushWindow();
    window_ = {};
    windowLoaded_ = false;
    return written;
  }
  // Whether entering `blocks` spread over the table costs fewer writes in
  // order, a window at a time, than one by one.
  bool InOrderPays(size_t blocks) const { return blocks * kWindowSlots >= size_t{Capacity()} * 4; }
  // The slot a key's probes start from.
  uint32_t Home(uint32_t key) const {
    return static_cast<uint32_t>((uint64_t{key} * Capacity()) >> 32);
  }
  uint32_t Capacity() const { return tags_.Size(); }
  uint32_t Used() const { return used_; }
  const AnchorTags& Tags() const { return tags_; }
  // The pages of the tags (kTagPage tags each) changed since the last call.
  std::vector<uint32_t> TakeChangedPages();
  void MarkChanged(uint32_t page) { changed_[page] = true; }

 private:
  static Tag TagOf(uint32_t key) {
    const auto low = static_cast<Tag>(key);
    return low == 0 ? 1 : low;
  }
  // Slots probed from a key's home at most. Far more than a sound table at
  // 80 % needs; a damaged one may have no free slot left, and then a block
  // is missed rather than every look-up crawling through it.
  uint32_t MostProbes() const { return Capacity() < 4096 ? Capacity() : 4096; }
  // False for a free slot or one that cannot be read.
  bool ReadSlot(uint32_t slot, AnchoredBlock* block) const;
  bool InWindow(uint32_t slot) const {
    return windowLoaded_ && slot >= windowFirst_ && slot - windowFirst_ < kWindowSlots;
  }
  bool WriteSlot(uint32_t slot, const uint8_t* bytes);
  bool FlushWindow();
  bool LoadWindow(uint32_t first);

  int fd_ = -1;
  int64_t slotsAt_ = 0;
  AnchorTags tags_;
  uint32_t used_ = 0;
  std::vector<bool> changed_;  // by page of tags
  // The slots from windowFirst_ on, while blocks are entered in order.
  static constexpr uint32_t kWindowSlots = 4096;
  std::vector<uint8_t> window_;
  uint32_t windowFirst_ = 0;
  bool windowFresh_ = false;
  bool windowLoaded_ = false;
  bool windowWritten_ = false;  // whether any slot in it was entered
  // The slots last read: a key held by many blocks (a phrase common to many
  // files) fills a run of slots, read with one call.
  static constexpr uint32_t kReadRun = 64;
  mutable std::vector<uint8_t> run_;
  mutable uint32_t runFirst_ = 0;
  mutable uint32_t runSlots_ = 0;
};

}  // namespace vaultline
