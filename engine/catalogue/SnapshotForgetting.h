// Forgetting snapshots: their entries leave the snapshot file, which is
// rewritten crash-safely (a power loss leaves the old list or the new one),
// and their figures leave the figures sidecar. Their records and contents
// stay until the selection is compacted.
#pragma once

#include <cstddef>
#include <vector>

namespace vaultline {

class CatalogueFiles;
struct StoreContext;

// Forgets the snapshots at `indices` (as the list counts them) and opens the
// rewritten snapshot file. False, with nothing changed, for an index out of
// range or when the file cannot be rewritten (both reported).
bool ForgetSnapshotEntries(CatalogueFiles& files, const StoreContext& context,
                           const std::vector<size_t>& indices);

}  // namespace vaultline
