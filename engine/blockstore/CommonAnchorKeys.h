// Anchor keys under which stored blocks are held among the blocks without
// an anchor: a phrase that recurs at many offsets (its blocks would each be
// placed at every one of its anchors), or a key whose blocks found no room
// in the anchor table. The scan looks such blocks up by weak checksum at
// every window whose first anchor has one of these keys. Keys are only
// added; most anchors of new data are answered by a bitmap of their low
// bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

namespace vaultline {

class CommonAnchorKeys {
 public:
  bool Contains(uint32_t key) const {
    return (seen_[(key & kSeenMask) >> 6] >> (key & 63) & 1) != 0 && keys_.count(key) != 0;
  }
  // False when it was there already.
  bool Add(uint32_t key);
  // In the order they were added.
  const std::vector<uint32_t>& InOrder() const { return order_; }
  size_t Size() const { return order_.size(); }
  void Clear();

 private:
  static constexpr uint32_t kSeenMask = (uint32_t{1} << 16) - 1;
  std::vector<uint64_t> seen_ = std::vector<uint64_t>((kSeenMask + 1) / 64);
  std::unordered_set<uint32_t> keys_;
  std::vector<uint32_t> order_;
};

}  // namespace vaultline
