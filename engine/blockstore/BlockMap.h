// The blocks a store knows, keyed by weak checksum. Each checksum has a list
// of (digest, position) in the order entered; a pair occurs once and the
// first position entered wins.
//
// Most lookups are misses (one per unmatched byte of a file), so a bitmap
// indexed by a hash of the checksum answers "certainly absent" with one
// memory probe before the table is consulted. The bitmap grows with the
// number of known blocks and stays small enough to live in cache.
#pragma once

#include <cstdint>
#include <unordered_map>
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

  // False (and nothing changes) when the pair is known already.
  bool Add(int32_t weakChecksum, const Md5Digest& digest, int64_t position);
  // False means no block has this checksum; true means there may be one.
  bool MayContain(int32_t weakChecksum) const {
    uint32_t bit = FilterBit(weakChecksum);
    return (filter_[bit >> 6] >> (bit & 63)) & 1;
  }
  // The list for a checksum, or null.
  const std::vector<KnownBlock>* Find(int32_t weakChecksum) const;
  size_t BlockCount() const { return blockCount_; }
  size_t FilterBits() const { return filter_.size() * 64; }

 private:
  uint32_t FilterBit(int32_t weakChecksum) const {
    // Fibonacci hashing: checksums of real data cluster in their low bits.
    return (static_cast<uint32_t>(weakChecksum) * 0x9E3779B1u) >> filterShift_;
  }
  void SetFilterBit(int32_t weakChecksum);
  void GrowFilter();

  std::unordered_map<int32_t, std::vector<KnownBlock>> lists_;
  std::vector<uint64_t> filter_;
  int filterShift_;  // 32 - log2(filter bits)
  size_t blockCount_ = 0;
};

}  // namespace vaultline
