#include "blockstore/AnchorTable.h"

#include <algorithm>

namespace vaultline {

uint32_t AnchorTable::CapacityFor(uint64_t blocks) {
  // The table addresses its slots with 32 bits.
  constexpr uint64_t kMost = uint64_t{0xFFFFFFF0};
  return static_cast<uint32_t>(std::clamp<uint64_t>(blocks * 5 / 4 + 64, 64, kMost));
}

void AnchorTable::Insert(const AnchoredBlock& block) {
  uint32_t slot = Home(block.key);
  uint8_t* at = nullptr;
  for (uint32_t probes = 0; at == nullptr; ++probes) {
    if (probes == MostProbes()) return;
    uint8_t* probed = slots_ + size_t{slot} * kSlotSize;
    if (tags_[slot] == 0) {
      at = probed;
      tags_[slot] = TagOf(block.key);
    } else if (tags_[slot] == TagOf(block.key) && LoadLe32(probed + 8) == block.record + 1 &&
               LoadLe32(probed) == block.key) {
      return;
    }
    slot = slot + 1 == capacity_ ? 0 : slot + 1;
  }
  StoreLe32(block.key, at);
  StoreLe32(static_cast<uint32_t>(block.weakChecksum), at + 4);
  StoreLe32(block.record + 1, at + 8);
  StoreLe16(block.offset, at + 12);
  StoreLe16(0, at + 14);
  ++used_;
}

}  // namespace vaultline
