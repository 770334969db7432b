// Giving back the space of forgotten snapshots: a selection's files rewritten
// to hold exactly what its listed snapshots reference.
#include <algorithm>

#include "catalogue/CatalogueCompaction.h"
#include "catalogue/PathJoin.h"
#include "core/BuiltInTexts.h"
#include "core/Engine.h"
#include "platform/Format.h"
#include "platform/Path.h"
#include "vaultline/KeepRules.h"

namespace vaultline {

bool Engine::CompactProfile(unsigned index) {
  return Compact(index, false) >= 0;
}

int64_t Engine::Compact(unsigned index, bool onlyWhenWorthIt) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr) return -1;
  int64_t freed = -1;
  Guarded(kTextCompactFailed, [&] {
    if (profile->deleted || !IsInsideStorage(profile->location)) return false;
    // The lock is held from before the old files are read until the new
    // ones are in place; no catalogue of the selection is open meanwhile.
    CatalogueCloser closer(this, profile);
    profile->catalogue.reset();
    if (!LockSelection(*profile, status_) || !FinishCompaction(*profile, status_)) return false;
    CatalogueCompaction compaction(profile->location, status_);
    if (!compaction.Plan()) return false;
    const int64_t gives = std::max<int64_t>(compaction.CurrentBytes() - compaction.KeptBytes(), 0);
    if (onlyWhenWorthIt && (gives < kCompactionWorthBytes ||
                            gives * 100 < compaction.CurrentBytes() * kCompactionWorthPercent)) {
      freed = 0;
      return true;
    }

    uint64_t freeBytes = 0;
    uint64_t totalBytes = 0;
    int error = 0;
    if (!platform::DiskSpace(FolderOfPath(profile->location), &freeBytes, &totalBytes, &error)) {
      Report(kMessageError, platform::SystemErrorText(error));
      return false;
    }
    const int64_t needed = compaction.KeptBytes();
    if (freeBytes < static_cast<uint64_t>(needed)) {
      Report(kMessageError,
             FormatEngineText(provider_, kTextCompactNeedsRoom,
                              {std::to_wstring(needed), std::to_wstring(freeBytes)}));
      return false;
    }
    if (!compaction.Run()) return false;
    if (OpenCatalogue(*profile, status_) != nullptr) LoadSnapshotList(*profile);
    freed = gives;
    return true;
  });
  return freed;
}

}  // namespace vaultline
