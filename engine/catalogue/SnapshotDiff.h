// What changed between two snapshots of a selection, or between a snapshot
// and a folder as it is now that stands for the selection's source. Items
// are matched by their listed path; a folder whose children records both
// snapshots share is the same throughout and is not read twice.
#pragma once

#include <string>
#include <vector>

#include "vaultline/ItemHistory.h"

namespace vaultline {

class ListedPaths;
class SnapshotManager;

// Both need a preceding ListSnapshots; false when a snapshot cannot be read
// at all (named in `problems`).
bool DiffStoredSnapshots(SnapshotManager& catalogue, const ListedPaths& paths, int from, int to,
                         std::vector<ItemChange>* changes, std::vector<std::wstring>* problems);
bool DiffSnapshotWithFolder(SnapshotManager& catalogue, const ListedPaths& paths,
                            const std::wstring& source, int snapshot, const std::wstring& folder,
                            std::vector<ItemChange>* changes, std::vector<std::wstring>* problems);

}  // namespace vaultline
