// What the catalogue knows by key: for every ItemKey met in the indexed
// snapshots (and in the snapshot being taken), the newest directory record
// with that key and that record's contentOffset. Keys are held as 128-bit
// digests so that an entry costs a few dozen bytes, not the key text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "catalogue/ItemKey.h"
#include "catalogue/RecordExtension.h"

namespace vaultline {

class KeyIndex {
 public:
  struct Offsets {
    int64_t recordOffset;
    int64_t contentOffset;  // file contents, or a folder's first child record
    RecordExtension state;  // the record's mode and exact time, beside the key
    bool operator==(const Offsets&) const = default;
  };
  struct Entry {
    KeyDigest digest;
    Offsets offsets;
  };

  // Replaces what an earlier record with the same key left: the newest wins.
  void Remember(const ItemKey& key, int64_t recordOffset, int64_t contentOffset,
                const RecordExtension& state) {
    offsets_[key.Digest()] = Offsets{recordOffset, contentOffset, state};
  }
  void Remember(const Entry& entry) { offsets_[entry.digest] = entry.offsets; }
  // Null when the key is unknown.
  const Offsets* Find(const ItemKey& key) const {
    auto found = offsets_.find(key.Digest());
    return found == offsets_.end() ? nullptr : &found->second;
  }
  size_t Size() const { return offsets_.size(); }
  // Every key once, in the order of their digests, so that the same index
  // always gives the same list.
  std::vector<Entry> SortedEntries() const;
  bool operator==(const KeyIndex&) const = default;

 private:
  std::unordered_map<KeyDigest, Offsets, KeyDigestHash> offsets_;
};

}  // namespace vaultline
