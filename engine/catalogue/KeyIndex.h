// What the catalogue knows by key: for every ItemKey met in the indexed
// snapshots (and in the snapshot being taken), the newest directory record
// with that key and that record's contentOffset, and for a folder where its
// listing ends. Keys are held as 128-bit
// digests so that an entry costs a few dozen bytes, not the key text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "catalogue/ItemKey.h"
#include "catalogue/RecordExtension.h"

namespace vaultline {

class KeyIndex {
 public:
  struct Offsets {
    int64_t recordOffset;
    int64_t contentOffset;  // file contents, or a folder's first child record
    RecordExtension state;  // the record's mode and exact time, beside the key
    // A folder's listing is the records from contentOffset up to here; -1
    // while unknown.
    int64_t listingEnd;

    // Whether the record at `offset` is in this folder's listing: only then
    // does the listing hold the record a child's key finds.
    bool Lists(int64_t offset) const {
      return listingEnd >= 0 && offset >= contentOffset && offset < listingEnd;
    }
  };

  // Replaces what an earlier record with the same key left: the newest wins.
  // A folder record that points at the listing of the one it replaces has
  // that listing's end.
  void Remember(const ItemKey& key, int64_t recordOffset, int64_t contentOffset,
                const RecordExtension& state) {
    auto [found, added] = offsets_.try_emplace(key.Digest());
    Offsets& offsets = found->second;
    const int64_t listingEnd =
        !added && offsets.contentOffset == contentOffset ? offsets.listingEnd : -1;
    offsets = Offsets{recordOffset, contentOffset, state, listingEnd};
  }
  // Sets where the listing of the folder record at `recordOffset` ends, when
  // that record is still the newest with its key.
  void EndListing(const KeyDigest& key, int64_t recordOffset, int64_t end) {
    auto found = offsets_.find(key);
    if (found != offsets_.end() && found->second.recordOffset == recordOffset) {
      found->second.listingEnd = end;
    }
  }
  // Null when the key is unknown.
  const Offsets* Find(const ItemKey& key) const {
    auto found = offsets_.find(key.Digest());
    return found == offsets_.end() ? nullptr : &found->second;
  }
  size_t Size() const { return offsets_.size(); }

 private:
  std::unordered_map<KeyDigest, Offsets, KeyDigestHash> offsets_;
};

}  // namespace vaultline
