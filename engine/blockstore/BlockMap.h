// The blocks a store knows, keyed by weak checksum. Each checksum has a list
// of (digest, position) in the order entered; a pair occurs once and the
// first position entered wins.
//
// Most lookups are misses (one per unmatched byte of a file), so a filter
// answers "certainly absent" with one memory probe before the table is
// consulted: a hash of the checksum picks one 32-bit word and another picks
// four bits in it (a blocked Bloom filter). The filter grows with the number
// of known blocks and stays small enough to live in cache. Its layout is
// public so that a scan can probe many checksums at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "blockstore/Md5.h"

namespace vaultline {

struct KnownBlock {
  Md5Digest digest;
  int64_t position;
};

class BlockMap {
 public:
  BlockMap();

  // Sizes an empty map for about `count` blocks, so that loading a store's
  // blocks does not rebuild the table and filter as they grow.
  void ExpectBlocks(size_t count);
  // As ExpectBlocks, for blocks that will be entered one by one: the table
  // is sized for them, the filter still grows with what it holds.
  void ReserveBlocks(size_t count);
  // False when the pair is known already (it is then put in the filter if
  // `filtered`, and nothing else changes). A block that is looked up only
  // where its anchor places it (`filtered` false) stays out of the filter:
  // the scan then probes for the others alone.
  bool Add(int32_t weakChecksum, const Md5Digest& digest, int64_t position, bool filtered = true);
  // Sets the checksum's bits in the filter alone, for a block that will be
  // entered later; until then lookups of it stop at the filter's "maybe".
  // Its slot of the table is fetched meanwhile: entering it is then no
  // longer a wait for memory.
  void Reserve(int32_t weakChecksum) {
    SetFilterBit(weakChecksum);
    __builtin_prefetch(&slots_[HomeSlot(weakChecksum)], 1);
  }
  // False means no block has this checksum; true means there may be one.
  bool MayContain(int32_t weakChecksum) const {
    const uint32_t mask = FilterMask(weakChecksum);
    return (FilterWordAt(FilterWord(weakChecksum)).load(std::memory_order_relaxed) & mask) == mask;
  }
  // Sets the checksum's bits in the filter alone, from any thread: a scan
  // ahead sets those of blocks it expects. Bits are only ever added, so
  // scans on other threads see each as set or not yet set.
  void SetFilterBit(int32_t weakChecksum) {
    FilterWordAt(FilterWord(weakChecksum))
        .fetch_or(FilterMask(weakChecksum), std::memory_order_relaxed);
    if (!AnyBits().load(std::memory_order_relaxed))
      AnyBits().store(true, std::memory_order_relaxed);
  }
  // Whether the filter says "absent" to every checksum: a scan need not
  // probe it at all.
  bool FilterEmpty() const { return !AnyBits().load(std::memory_order_relaxed); }
  // Puts every block in the filter: those left out can no longer be found
  // by their anchors.
  void FilterAll();
  // Whether FilterAll was called: the filter then holds blocks that have an
  // anchor, and every window must be probed.
  bool FiltersEveryBlock() const { return everyBlockFiltered_; }
  // Whether entering one more block rebuilds the filter (which moves it).
  bool AddGrowsFilter() const;
  // The first block entered with this checksum, or -1; Next gives the
  // others in the order they were entered, then -1.
  int32_t First(int32_t weakChecksum) const;
  int32_t Next(int32_t index) const { return entries_[static_cast<size_t>(index)].next; }
  const KnownBlock& At(int32_t index) const { return entries_[static_cast<size_t>(index)].block; }
  std::vector<KnownBlock> ListOf(int32_t weakChecksum) const;
  // Forgets every block entered after the first `count` (blocks whose write
  // failed). The filter keeps their bits: it may only err towards "maybe".
  void DropFrom(size_t count);
  size_t BlockCount() const { return entries_.size(); }
  size_t FilterBits() const { return filter_.size() * 32; }

  // Multiplicative hashing: checksums of real data cluster in their low
  // bits, and the top bits of each product depend on all of them. The word
  // comes from the top bits of one product; the four bits in it, one in each
  // byte, from three bits per byte of another, folded so that its low bytes
  // depend on more than the checksum's low bits. One bit per byte lets the
  // scan make the mask with a single byte shuffle, and costs next to nothing
  // in false hits against four bits anywhere in the word.
  static constexpr uint32_t kWordFactor = 0x9E3779B1u;
  static constexpr uint32_t kBitFactor = 0x85EBCA77u;
  const uint32_t* FilterWords() const { return filter_.data(); }
  // The right shift of the word product that leaves the word number.
  int FilterShift() const { return filterShift_; }
  size_t FilterWord(int32_t weakChecksum) const {
    return (static_cast<uint32_t>(weakChecksum) * kWordFactor) >> filterShift_;
  }
  static uint32_t FilterMask(int32_t weakChecksum) {
    uint32_t hash = static_cast<uint32_t>(weakChecksum) * kBitFactor;
    hash ^= hash >> 16;
    uint32_t mask = 0;
    for (int byte = 0; byte < 4; ++byte) {
      mask |= uint32_t{1} << (8 * byte + ((hash >> (8 * byte + 5)) & 7));
    }
    return mask;
  }

 private:
  // Fibonacci hashing of the table slots.
  static uint64_t Hash(int32_t weakChecksum) {
    return static_cast<uint64_t>(static_cast<uint32_t>(weakChecksum)) * 0x9E3779B97F4A7C15u;
  }
  // The hash's top bits as a fraction of the table: any number of slots,
  // so a table sized for a backup is not rounded up to a power of two.
  size_t HomeSlot(int32_t weakChecksum) const {
    return static_cast<size_t>(((Hash(weakChecksum) >> 32) * slots_.size()) >> 32);
  }

  struct Entry {
    KnownBlock block;
    int32_t weakChecksum;
    int32_t next;  // the next block with the same checksum, or -1
  };
  // Per distinct checksum, the first of its entries (-1: an empty slot), in
  // an open-addressed table of at least twice as many: the checksum is read from the
  // entry, as lookups are rare beside the blocks a big backup enters.

  size_t SlotOf(int32_t weakChecksum) const;
  void Link(int32_t index);
  void GrowTable();
  std::atomic_ref<uint32_t> FilterWordAt(size_t word) const {
    return std::atomic_ref<uint32_t>(const_cast<uint32_t&>(filter_[word]));
  }
  std::atomic_ref<bool> AnyBits() const {
    return std::atomic_ref<bool>(const_cast<bool&>(anyBits_));
  }
  void GrowFilter();
  void SizeFilterFor(size_t blocks);

  std::vector<Entry> entries_;
  std::vector<bool> filtered_;  // per entry: its checksum is in the filter
  std::vector<int32_t> slots_;
  size_t usedSlots_ = 0;
  std::vector<uint32_t> filter_;
  int filterShift_;       // 32 - log2(filter words)
  bool anyBits_ = false;  // set with the filter's bits, from any thread
  bool everyBlockFiltered_ = false;
};

}  // namespace vaultline
