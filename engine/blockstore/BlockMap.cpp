#include "blockstore/BlockMap.h"

#include <algorithm>

namespace vaultline {
namespace {

// At 64 bits per known block, four bits per checksum give about 0.04% false
// hits (three gave 0.1%; each false hit costs a look into the table, which
// is seldom in cache, while a fourth bit costs the scan next to nothing). The map holds the
// blocks of one backup and those stored before without an anchor; up to 2^25 bits (4 MiB, a
// backup of 4 GiB at full density) the filter stays in the last-level cache, where a probe costs
// less than the false hits of a smaller one.
constexpr size_t kBitsPerBlock = 64;
constexpr int kMinFilterLog2 = 15;
constexpr int kMaxFilterLog2 = 25;
constexpr size_t kMinSlots = 1024;

constexpr int ShiftFor(int filterLog2) {
  return 32 - (filterLog2 - 5);
}

}  // namespace

BlockMap::BlockMap()
    : slots_(kMinSlots, -1),
      filter_((size_t{1} << kMinFilterLog2) / 32, 0),
      filterShift_(ShiftFor(kMinFilterLog2)) {}

size_t BlockMap::SlotOf(int32_t weakChecksum) const {
  size_t i = HomeSlot(weakChecksum);
  while (slots_[i] >= 0 && entries_[static_cast<size_t>(slots_[i])].weakChecksum != weakChecksum) {
    i = i + 1 == slots_.size() ? 0 : i + 1;
  }
  return i;
}

bool BlockMap::Add(int32_t weakChecksum, const Md5Digest& digest, int64_t position, bool filtered) {
  size_t slot = SlotOf(weakChecksum);
  for (int32_t i = slots_[slot]; i >= 0; i = Next(i)) {
    if (At(i).digest != digest) continue;
    // A block placed by its anchor until now, which no longer is.
    if (filtered && !filtered_[static_cast<size_t>(i)]) {
      filtered_[static_cast<size_t>(i)] = true;
      SetFilterBit(weakChecksum);
    }
    return false;
  }
  // Sized for every block: a scan ahead sets the bits of blocks it expects,
  // whichever way they will be found.
  const bool grow = AddGrowsFilter();
  entries_.push_back(Entry{KnownBlock{digest, position}, weakChecksum, -1});
  filtered_.push_back(filtered);
  Link(static_cast<int32_t>(entries_.size() - 1));
  if (grow) {
    GrowFilter();
  } else if (filtered) {
    SetFilterBit(weakChecksum);
  }
  return true;
}

bool BlockMap::AddGrowsFilter() const {
  return (entries_.size() + 1) * kBitsPerBlock > FilterBits() &&
         filterShift_ > ShiftFor(kMaxFilterLog2);
}

void BlockMap::Link(int32_t index) {
  Entry& entry = entries_[static_cast<size_t>(index)];
  entry.next = -1;
  size_t slot = SlotOf(entry.weakChecksum);
  if (slots_[slot] < 0) {
    slots_[slot] = index;
    if (++usedSlots_ * 2 > slots_.size()) GrowTable();
    return;
  }
  // Blocks of one checksum are few: the list is walked to keep its order.
  int32_t last = slots_[slot];
  while (Next(last) >= 0) last = Next(last);
  entries_[static_cast<size_t>(last)].next = index;
}

void BlockMap::DropFrom(size_t count) {
  if (count >= entries_.size()) return;
  entries_.resize(count);
  filtered_.resize(count);
  slots_.assign(slots_.size(), -1);
  usedSlots_ = 0;
  for (size_t i = 0; i < entries_.size(); ++i) Link(static_cast<int32_t>(i));
}

int32_t BlockMap::First(int32_t weakChecksum) const {
  return slots_[SlotOf(weakChecksum)];
}

std::vector<KnownBlock> BlockMap::ListOf(int32_t weakChecksum) const {
  std::vector<KnownBlock> list;
  for (int32_t i = First(weakChecksum); i >= 0; i = Next(i)) list.push_back(At(i));
  return list;
}

void BlockMap::GrowTable() {
  std::vector<int32_t> old(slots_.size() * 2, -1);
  old.swap(slots_);
  for (const int32_t first : old) {
    if (first >= 0) slots_[SlotOf(entries_[static_cast<size_t>(first)].weakChecksum)] = first;
  }
}

void BlockMap::SizeFilterFor(size_t blocks) {
  int log2 = kMinFilterLog2;
  while (log2 < kMaxFilterLog2 && (size_t{1} << log2) < blocks * kBitsPerBlock) ++log2;
  filter_.assign((size_t{1} << log2) / 32, 0);
  filterShift_ = ShiftFor(log2);
}

void BlockMap::FilterAll() {
  everyBlockFiltered_ = true;
  filtered_.assign(entries_.size(), true);
  GrowFilter();
}

void BlockMap::GrowFilter() {
  SizeFilterFor(entries_.size());
  anyBits_ = false;
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (filtered_[i]) SetFilterBit(entries_[i].weakChecksum);
  }
}

void BlockMap::ExpectBlocks(size_t count) {
  if (!entries_.empty()) return;
  ReserveBlocks(count);
  SizeFilterFor(count);
}

void BlockMap::ReserveBlocks(size_t count) {
  if (!entries_.empty()) return;
  // Room for the blocks the next backups add: growing the list copies all
  // of it, and a store's first new block would pay for that.
  entries_.reserve(count + std::max<size_t>(count / 8, 4096));
  filtered_.reserve(entries_.capacity());
  slots_.assign(std::max(kMinSlots, 2 * count + 2), -1);
}

}  // namespace vaultline
