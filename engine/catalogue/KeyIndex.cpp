#include "catalogue/KeyIndex.h"

#include <algorithm>

namespace vaultline {

std::vector<KeyIndex::Entry> KeyIndex::SortedEntries() const {
  std::vector<Entry> entries;
  entries.reserve(offsets_.size());
  for (const auto& [digest, offsets] : offsets_) entries.push_back(Entry{digest, offsets});
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.digest.high != b.digest.high ? a.digest.high < b.digest.high
                                          : a.digest.low < b.digest.low;
  });
  return entries;
}

}  // namespace vaultline
