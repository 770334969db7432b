// The stretches of the directory file that snapshots written with record
// checksums cover. A record found there must be an extended record: one
// without the flag is damage, not the work of another writer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace vaultline {

class ExtendedRanges {
 public:
  void Clear() { ranges_.clear(); }
  void Add(int64_t start, int64_t end) {
    if (start >= end) return;
    auto at = std::lower_bound(ranges_.begin(), ranges_.end(), std::make_pair(start, end));
    ranges_.insert(at, {start, end});
  }
  bool Covers(int64_t offset) const {
    auto after =
        std::upper_bound(ranges_.begin(), ranges_.end(), std::make_pair(offset, INT64_MAX));
    return after != ranges_.begin() && offset < std::prev(after)->second;
  }

 private:
  std::vector<std::pair<int64_t, int64_t>> ranges_;  // [start, end), sorted by start
};

}  // namespace vaultline
