#include "blockstore/AnchorTable.h"

#include <algorithm>

#include "platform/File.h"
#include "util/ByteOrder.h"

namespace vaultline {

uint32_t AnchorTable::CapacityFor(uint64_t blocks) {
  // The table addresses its slots with 32 bits.
  constexpr uint64_t kMost = uint64_t{0xFFFFFFF0};
  return static_cast<uint32_t>(std::clamp<uint64_t>(blocks * 5 / 4 + 64, 64, kMost));
}

bool AnchorTable::ReadSlot(uint32_t slot, AnchoredBlock* block) const {
  const uint8_t* bytes = nullptr;
  if (InWindow(slot)) {
    bytes = &window_[size_t{slot - windowFirst_} * kSlotSize];
  } else {
    if (slot < runFirst_ || slot >= runFirst_ + runSlots_) {
      const uint32_t slots = std::min(kReadRun, Capacity() - slot);
      run_.resize(size_t{slots} * kSlotSize);
      const int64_t at = slotsAt_ + int64_t{slot} * static_cast<int64_t>(kSlotSize);
      const int64_t got = platform::ReadFileAt(fd_, run_.data(), run_.size(), at);
      runFirst_ = slot;
      runSlots_ = got > 0 ? static_cast<uint32_t>(static_cast<size_t>(got) / kSlotSize) : 0;
      if (runSlots_ == 0) return false;
    }
    bytes = &run_[size_t{slot - runFirst_} * kSlotSize];
  }
  const uint32_t record = LoadLe32(bytes + 8);
  if (record == 0) return false;
  *block = {LoadLe32(bytes), static_cast<int32_t>(LoadLe32(bytes + 4)), record - 1,
            LoadLe16(bytes + 12)};
  return true;
}

bool AnchorTable::Insert(const AnchoredBlock& block, bool* crowded) {
  const Tag tag = TagOf(block.key);
  uint32_t slot = Home(block.key);
  *crowded = false;
  for (uint32_t probes = 0; tags_.At(slot) != 0; ++probes) {
    if (probes + 1 >= MostProbes()) {
      *crowded = true;
      return true;
    }
    AnchoredBlock entered;
    if (tags_.At(slot) == tag && ReadSlot(slot, &entered) && entered.key == block.key &&
        entered.record == block.record) {
      return true;
    }
    slot = slot + 1 == Capacity() ? 0 : slot + 1;
  }
  // Tags that could not be read may hide the slot's block: nothing is
  // written over it.
  if (tags_.Failed()) return false;
  uint8_t bytes[kSlotSize] = {};
  StoreLe32(block.key, bytes);
  StoreLe32(static_cast<uint32_t>(block.weakChecksum), bytes + 4);
  StoreLe32(block.record + 1, bytes + 8);
  StoreLe16(block.offset, bytes + 12);
  if (!WriteSlot(slot, bytes)) return false;
  tags_.Set(slot, tag);
  changed_[slot / kTagPage] = true;
  ++used_;
  return true;
}

bool AnchorTable::WriteSlot(uint32_t slot, const uint8_t* bytes) {
  if (!window_.empty() && !InWindow(slot) && (!windowLoaded_ || slot > windowFirst_)) {
    // The blocks moved past the window: it goes out, and the next one
    // starts here.
    if (!FlushWindow() || !LoadWindow(slot)) return false;
  }
  if (InWindow(slot)) {
    std::copy(bytes, bytes + kSlotSize, &window_[size_t{slot - windowFirst_} * kSlotSize]);
    windowWritten_ = true;
    return true;
  }
  const int64_t at = slotsAt_ + int64_t{slot} * static_cast<int64_t>(kSlotSize);
  if (!platform::WriteFileAt(fd_, bytes, kSlotSize, at)) return false;
  if (slot >= runFirst_ && slot < runFirst_ + runSlots_) {
    std::copy(bytes, bytes + kSlotSize, &run_[size_t{slot - runFirst_} * kSlotSize]);
  }
  return true;
}

bool AnchorTable::LoadWindow(uint32_t first) {
  windowFirst_ = first;
  const size_t bytes = size_t{std::min(kWindowSlots, Capacity() - first)} * kSlotSize;
  const int64_t at = slotsAt_ + int64_t{first} * static_cast<int64_t>(kSlotSize);
  std::fill(window_.begin(), window_.end(), uint8_t{0});
  windowLoaded_ = windowFresh_ || platform::ReadFileAt(fd_, window_.data(), bytes, at) ==
                                      static_cast<int64_t>(bytes);
  return windowLoaded_;
}

bool AnchorTable::FlushWindow() {
  if (!windowWritten_) return true;
  windowWritten_ = false;
  runSlots_ = 0;  // it may hold what the window held before
  const size_t bytes = size_t{std::min(kWindowSlots, Capacity() - windowFirst_)} * kSlotSize;
  const int64_t at = slotsAt_ + int64_t{windowFirst_} * static_cast<int64_t>(kSlotSize);
  return platform::WriteFileAt(fd_, window_.data(), bytes, at);
}

std::vector<uint32_t> AnchorTable::TakeChangedPages() {
  std::vector<uint32_t> pages;
  for (size_t page = 0; page < changed_.size(); ++page) {
    if (changed_[page]) pages.push_back(static_cast<uint32_t>(page));
    changed_[page] = false;
  }
  return pages;
}

}  // namespace vaultline
