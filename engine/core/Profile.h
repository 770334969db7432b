// One Backup Selection as the engine holds it. Owned by the engine's
// selection array and never removed from it, so indices stay valid.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/SnapshotManager.h"
#include "core/SelectionLock.h"

namespace vaultline {

// One snapshot of a selection's cached list.
struct SnapshotEntry {
  std::wstring descriptor;  // ListSnapshots' text without its line feed
  std::wstring location;
  // Item paths prefixed with the source's name; absent until first asked for.
  std::optional<std::vector<std::wstring>> contents;
  // "SIZE\tTIME" of each item of contents (bytes, seconds since 1970 UTC).
  std::optional<std::vector<std::wstring>> details;
  bool damaged = false;  // the entry, or the records its last listing met
};

struct Profile {
  // storage root + stamp + "/Dir/file"; names the data file.
  std::wstring location;
  std::wstring name;
  // Source paths; the engine gives each selection one and saves only the first.
  std::vector<std::wstring> contents;
  std::vector<SnapshotEntry> snapshots;  // oldest first
  bool deleted = false;
  // Held while the catalogue is open; declared first so that it is released
  // only after the catalogue has closed its files.
  SelectionLock lock;
  std::unique_ptr<SnapshotManager> catalogue;
};

}  // namespace vaultline
