// Opening a selection's snapshots as files: the export and the engine's part.
#include "core/Engine.h"
#include "core/SnapshotFilesView.h"
#include "vaultline/SnapshotFiles.h"

namespace vaultline {

ISnapshotFiles* Engine::OpenSnapshotFiles(unsigned index, int* failure) {
  *failure = kSnapshotFilesUnreadable;
  Profile* profile = ProfileAt(index);
  if (profile == nullptr || profile->deleted || !IsInsideStorage(profile->location)) {
    return nullptr;
  }
  // Only a writer may finish an interrupted compaction; readers already
  // holding the lock found it finished.
  auto lock = std::make_unique<SelectionLock>();
  if (lock->Acquire(profile->location) == SelectionLock::Result::kHeld) {
    const bool finished = FinishCompaction(*profile, nullptr);
    lock->Release();
    if (!finished) return nullptr;
  }
  if (lock->AcquireShared(profile->location) != SelectionLock::Result::kHeld) {
    *failure = kSnapshotFilesInUse;
    return nullptr;
  }
  auto view = std::make_unique<SnapshotFilesView>(std::move(lock), profile->location);
  if (!view->IsOpen()) return nullptr;
  *failure = kSnapshotFilesOpened;
  return view.release();
}

}  // namespace vaultline

ISnapshotFiles* OpenSnapshotFiles(IVaultline* engine, unsigned profile, int* failure) {
  int ignored = 0;
  if (failure == nullptr) failure = &ignored;
  *failure = kSnapshotFilesUnreadable;
  auto* own = dynamic_cast<vaultline::Engine*>(engine);
  return own != nullptr ? own->OpenSnapshotFiles(profile, failure) : nullptr;
}

void CloseSnapshotFiles(ISnapshotFiles* files) {
  delete files;
}
