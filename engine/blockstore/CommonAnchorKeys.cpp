#include "blockstore/CommonAnchorKeys.h"

#include <algorithm>

namespace vaultline {

bool CommonAnchorKeys::Add(uint32_t key) {
  if (!keys_.insert(key).second) return false;
  seen_[(key & kSeenMask) >> 6] |= uint64_t{1} << (key & 63);
  order_.push_back(key);
  return true;
}

void CommonAnchorKeys::Clear() {
  std::fill(seen_.begin(), seen_.end(), 0);
  keys_.clear();
  order_.clear();
}

}  // namespace vaultline
