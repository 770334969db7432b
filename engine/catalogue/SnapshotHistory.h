// A selection's snapshot file as a whole: every entry with all its sources,
// read into memory and written out again as a new file. Forgetting snapshots
// and compacting a selection rewrite the file this way; a backup only ever
// appends to it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/SnapshotFile.h"
#include "util/RecordStream.h"

namespace vaultline {

struct StoredSnapshot {
  int32_t snapshotTime = 0;
  std::vector<SnapSource> sources;  // source 0 first
  bool extended = false;            // written with record checksums
  // Lost to damage: it holds only its place in the list, and a rewrite of
  // the file cannot keep it.
  bool damaged = false;
};

// Every entry of the snapshot file `stream`, oldest first, in the order (and so
// with the indices) that listing gives them, damaged ones included. False on a
// read error.
bool ReadSnapshotHistory(RecordStream& stream, const std::wstring& ownPath,
                         std::vector<StoredSnapshot>* history);

// Writes the sound entries of `history` as a complete snapshot file at
// `path`, replacing what is there, and syncs it. `ownPath` is the path the entries name as their
// own: the snapshot file's final place, which may differ from where it is written.
bool WriteSnapshotHistory(const std::wstring& path, const std::wstring& ownPath,
                          const std::vector<StoredSnapshot>& history);

// Replaces the snapshot file at `path` by `history`, so that a power loss at
// any moment leaves either the old file or the new one: the new file is
// written and synced beside the old one, renamed over it, and the folder is
// synced.
bool ReplaceSnapshotHistory(const std::wstring& path, const std::vector<StoredSnapshot>& history);

}  // namespace vaultline
