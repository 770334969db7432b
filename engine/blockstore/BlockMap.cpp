#include "blockstore/BlockMap.h"

namespace vaultline {
namespace {

// At least this many filter bits per known block keeps false hits near 1.5%;
// 2^24 bits (2 MiB) is the most that still stays in the second-level cache.
constexpr size_t kBitsPerBlock = 64;
constexpr int kMinFilterLog2 = 16;
constexpr int kMaxFilterLog2 = 24;

}  // namespace

BlockMap::BlockMap()
    : filter_((size_t{1} << kMinFilterLog2) / 64, 0), filterShift_(32 - kMinFilterLog2) {}

bool BlockMap::Add(int32_t weakChecksum, const Md5Digest& digest, int64_t position) {
  std::vector<KnownBlock>& list = lists_[weakChecksum];
  for (const KnownBlock& known : list) {
    if (known.digest == digest) return false;
  }
  list.push_back(KnownBlock{digest, position});
  ++blockCount_;
  if (blockCount_ * kBitsPerBlock > FilterBits() && filterShift_ > 32 - kMaxFilterLog2) {
    GrowFilter();
  } else {
    SetFilterBit(weakChecksum);
  }
  return true;
}

const std::vector<KnownBlock>* BlockMap::Find(int32_t weakChecksum) const {
  auto it = lists_.find(weakChecksum);
  return it == lists_.end() ? nullptr : &it->second;
}

void BlockMap::SetFilterBit(int32_t weakChecksum) {
  uint32_t bit = FilterBit(weakChecksum);
  filter_[bit >> 6] |= uint64_t{1} << (bit & 63);
}

void BlockMap::GrowFilter() {
  int log2 = 32 - filterShift_;
  while (log2 < kMaxFilterLog2 && (size_t{1} << log2) < blockCount_ * kBitsPerBlock) ++log2;
  filter_.assign((size_t{1} << log2) / 64, 0);
  filterShift_ = 32 - log2;
  for (const auto& [checksum, list] : lists_) SetFilterBit(checksum);
}

}  // namespace vaultline
