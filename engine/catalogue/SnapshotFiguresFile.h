// The figures of each snapshot, kept in the sidecar file location +
// ".figures": fixed-size records, each with its own CRC, one appended by
// every backup. A record names its snapshot by time and range, so that one
// of a forgotten snapshot, or one left from before a compaction, describes
// no listed snapshot and is only ignored. Derived data: a record that is
// damaged is skipped, and a deleted file costs only the figures a backup
// alone could know.
#pragma once

#include <string>
#include <vector>

#include "catalogue/SnapshotFigures.h"

namespace vaultline {

class SnapshotFiguresFile {
 public:
  static constexpr size_t kRecordSize = 80;

  explicit SnapshotFiguresFile(std::wstring path) : path_(std::move(path)) {}

  // Every sound record, in file order; empty when there is no file.
  std::vector<SnapshotFigures> Load() const;
  // Adds records behind the last whole one. False when they could not be
  // written; nothing read before is lost.
  bool Append(const std::vector<SnapshotFigures>& figures) const;
  // Replaces the file by `figures`, written beside it and renamed over it.
  bool Rewrite(const std::vector<SnapshotFigures>& figures) const;

  // The newest of `figures` that describes the snapshot, or null.
  static const SnapshotFigures* Find(const std::vector<SnapshotFigures>& figures, int32_t time,
                                     int64_t root, int64_t end);

 private:
  std::wstring path_;
};

}  // namespace vaultline
