// Opening and closing a selection's catalogue, under the selection's lock.
#include "blockstore/BlockStore.h"
#include "catalogue/CompactionSwitch.h"
#include "core/BuiltInTexts.h"
#include "core/Engine.h"

namespace vaultline {

namespace {
constexpr int32_t kReadChunk = 163840;
constexpr int32_t kBlockLength = 8192;
}  // namespace

bool Engine::LockSelection(Profile& profile, IBackupRestoreStatus* status) {
  // Without the lock file there is no store another process could write to
  // either; opening the catalogue then fails on its own. Outside the storage
  // the engine touches nothing, not even with a lock file.
  if (!IsInsideStorage(profile.location)) return true;
  if (profile.lock.Acquire(profile.location) != SelectionLock::Result::kInUse) return true;
  if (status != nullptr) {
    std::wstring text =
        L"The Backup Selection \"" + profile.name + L"\" is in use by another process";
    status->OnMessage(kMessageError, text.c_str());
  }
  return false;
}

bool Engine::FinishCompaction(Profile& profile, IBackupRestoreStatus* status) {
  if (CompactionSwitch::Recover(profile.location)) return true;
  if (status != nullptr) {
    status->OnMessage(kMessageError, LoadEngineText(provider_, kTextCompactUnfinished).c_str());
  }
  return false;
}

SnapshotManager* Engine::OpenCatalogue(Profile& profile, IBackupRestoreStatus* status) {
  if (profile.catalogue) return profile.catalogue.get();
  // A location a damaged config.ini points elsewhere is never opened, as
  // opening creates the store's files.
  if (!IsInsideStorage(profile.location)) return nullptr;
  if (!LockSelection(profile, status)) return nullptr;
  // Half switched files would mix two sets; under the lock, an interrupted
  // compaction is finished or rolled back before anything reads them.
  if (!FinishCompaction(profile, status)) {
    profile.lock.Release();
    return nullptr;
  }
  const std::wstring& location = profile.location;
  auto store = std::make_unique<BlockStore>(location, kReadChunk, kBlockLength);
  if (status != nullptr && status->IsCancelled()) {
    profile.lock.Release();
    return nullptr;
  }
  profile.catalogue = std::make_unique<SnapshotManager>(
      location + L".fp", location + L".dir", location + L".snp", std::move(store), status);
  // A manager whose files did not open has reported why; nothing can use it.
  if (!profile.catalogue->IsOpen() || (status != nullptr && status->IsCancelled())) {
    CloseCatalogue(profile);
    return nullptr;
  }
  return profile.catalogue.get();
}

void Engine::CloseCatalogue(Profile& profile) {
  profile.catalogue.reset();
  profile.lock.Release();
}

StringList Engine::ReadSnapshotList(unsigned index,
                                    const std::function<StringList(SnapshotManager&)>& read) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr || profile->deleted) return nullptr;
  CatalogueCloser closer(this, profile);
  SnapshotManager* catalogue = OpenCatalogue(*profile, nullptr);
  if (catalogue == nullptr) return nullptr;
  catalogue->ListSnapshots();
  return read(*catalogue);
}

}  // namespace vaultline
