// What the catalogue knows by key: for every ItemKey met in the indexed
// snapshots (and in the snapshot being taken), the newest directory record
// with that key and that record's contentOffset, and for a folder where its
// listing ends. Keys are held as 128-bit
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
    // A folder's listing is the records from contentOffset up to here; -1
    // while unknown.
    int64_t listingEnd;

    // Whether the record at `offset` is in this folder's listing: only then
    // does the listing hold the record a child's key finds.
    bool Lists(int64_t offset) const {
      return listingEnd >= 0 && offset >= contentOffset && offset < listingEnd;
    }
    bool operator==(const Offsets&) const = default;
  };
  struct Entry {
    KeyDigest digest;
    Offsets offsets;
  };

  // Replaces what an earlier record with the same key left: the newest wins.
  // A folder record that points at the listing of the one it replaces has
  // that listing's end.
  void Remember(const ItemKey& key, int64_t recordOffset, int64_t contentOffset,
                const RecordExtension& state) {
    Remember(Entry{key.Digest(), Offsets{recordOffset, contentOffset, state, -1}});
  }
  void Remember(const Entry& entry) {
    auto [found, added] = offsets_.try_emplace(entry.digest, entry.offsets);
    if (added) return;
    Offsets& offsets = found->second;
    const int64_t listingEnd =
        entry.offsets.listingEnd < 0 && offsets.contentOffset == entry.offsets.contentOffset
            ? offsets.listingEnd
            : entry.offsets.listingEnd;
    offsets = entry.offsets;
    offsets.listingEnd = listingEnd;
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
  // Every key once, in the order of their digests, so that the same index
  // always gives the same list.
  std::vector<Entry> SortedEntries() const;
  bool operator==(const KeyIndex&) const = default;

 private:
  std::unordered_map<KeyDigest, Offsets, KeyDigestHash> offsets_;
};

}  // namespace vaultline
