// What the content tree shows of each item of a snapshot beside its path.
#pragma once

#include "vaultline/Vaultline.h"

// One text for each item that GetSnapshotContents lists for the same
// snapshot, in the same order: "SIZE\tTIME", the size in bytes (0 for a
// folder) and the modification time in seconds since 1970 UTC, both decimal.
// Null when the snapshot's listing cannot be read whole. Free it with
// ReleaseList.
VAULTLINE_API StringList GetSnapshotItemDetails(IVaultline* engine, unsigned profile,
                                                unsigned snapshot);
