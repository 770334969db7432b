// The key index kept in the sidecar file location + ".keys", so that a backup
// learns what earlier snapshots recorded without reading the whole directory
// file. Derived data, never trusted over the catalogue: it says which sound
// snapshot entries it indexed (their number and a CRC of their times and
// ranges) and how much of the directory file (its length then and a CRC of
// the record before that length). It is used only while the catalogue still
// agrees with that, and otherwise rebuilt from the directory file.
//
// The file is a sequence of segments, each whole on its own (header, key
// records, CRC): a rebuild writes one that holds the whole index, each
// snapshot appends one with the keys its records gave. Replaying them in
// order gives the index, the newest record of a key winning as in a load from
// the directory file. The first segment that fails its checksum ends the
// file; what it held is indexed again from the directory file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/KeyIndex.h"
#include "catalogue/SnapshotFile.h"
#include "util/RecordStream.h"

namespace vaultline {

class KeyIndexFile {
 public:
  // What of the catalogue an index was made from.
  struct Coverage {
    uint32_t entryCount = 0;  // the first sound snapshot entries, oldest first
    uint32_t entriesCrc = 0;  // CRC-32 of their times, flags and ranges
    int64_t directoryLength = 0;
    uint32_t tailCrc = 0;  // CRC-32 of the (up to) 1072 bytes before directoryLength
    bool operator==(const Coverage&) const = default;
  };

  explicit KeyIndexFile(std::wstring path) : path_(std::move(path)) {}

  // Replays the sound segments into `index` (cleared first). False when
  // there is none: the index must be rebuilt.
  bool Load(KeyIndex* index);
  // What the file covers; valid after a successful Load, Rewrite or Append.
  const Coverage& Covered() const { return covered_; }
  // Key records the sound segments hold, superseded ones included.
  size_t RecordCount() const { return records_; }
  // True while the file holds exactly what the caller's index was made of,
  // so that appending to it keeps it right.
  bool IsCurrent() const { return current_; }

  // The coverage of the first `count` of `entries` (the sound ones, in the
  // order of the snapshot file) and of the directory file up to `length`.
  static Coverage Describe(const std::vector<SnapEntry>& entries, size_t count,
                           RecordStream& directory, int64_t length);

  // Replaces the file by one segment that holds `index`. The file is derived
  // data: a failure only costs the next backup a rebuild.
  bool Rewrite(const KeyIndex& index, const Coverage& coverage);
  // Adds a segment with `keys` (in the order they were found), which brings
  // the coverage to `coverage`. Only while IsCurrent.
  bool Append(const std::vector<KeyIndex::Entry>& keys, const Coverage& coverage);
  // Removes the file, for when the catalogue was found damaged.
  void Remove();

 private:
  std::vector<uint8_t> Segment(const std::vector<KeyIndex::Entry>& keys,
                               const Coverage& coverage) const;

  std::wstring path_;
  Coverage covered_;
  int64_t soundLength_ = 0;  // bytes of the sound segments, from the start
  size_t records_ = 0;
  bool current_ = false;
};

}  // namespace vaultline
