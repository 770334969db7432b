// What a snapshot holds and what its backup met on the way: the figures a
// list of snapshots shows without walking their trees.
#pragma once

#include <cstdint>

namespace vaultline {

struct SnapshotFigures {
  // Whether they are the figures of the snapshot taken at `time` whose first
  // source has the range [root, end).
  bool Describes(int32_t time, int64_t root, int64_t end) const {
    return snapshotTime == time && rootOffset == root && endOffset == end;
  }

  // The snapshot they describe: its time and the range of its first source.
  int32_t snapshotTime = 0;
  int64_t rootOffset = 0;
  int64_t endOffset = 0;
  // Set by the backup that took the snapshot. Figures counted later from the
  // directory records know only `files` and `bytes`.
  bool recorded = false;
  uint32_t files = 0;          // files, links and special files it holds
  int64_t bytes = 0;           // their size
  int64_t newBytes = 0;        // what the selection's files grew by
  uint32_t changedFiles = 0;   // files whose contents it stored: new or changed
  uint32_t oversize = 0;       // files left out for their size
  uint32_t pathTooLong = 0;    // items whose path does not fit a record
  uint32_t unreadable = 0;     // files and other items that could not be read
  uint32_t unreadFolders = 0;  // folders that could not be listed
};

}  // namespace vaultline
