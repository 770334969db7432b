#include "catalogue/SnapshotManager.h"

#include "blockstore/BlockStore.h"
#include "catalogue/CatalogueCheck.h"
#include "catalogue/PathJoin.h"
#include "catalogue/SnapshotForgetting.h"
#include "catalogue/StatusReport.h"

namespace vaultline {

SnapshotManager::SnapshotManager(std::wstring contentPath, std::wstring directoryPath,
                                 std::wstring snapshotPath, std::unique_ptr<BlockStore> store,
                                 IBackupRestoreStatus* status)
    : files_(contentPath, directoryPath, std::move(snapshotPath), std::move(store)),
      keys_(files_, *this),
      taker_(files_, keys_, *this),
      list_(files_),
      listing_(files_, list_),
      restorer_(files_, list_, listing_, keys_, *this),
      items_(files_) {
  StoreContext::status = status;
  if (files_.HasStore()) files_.Store().AttachManager(this);
  if (!files_.IsOpen()) ReportLoadFailure(*this);
}

SnapshotManager::~SnapshotManager() = default;

bool SnapshotManager::LoadKeyIndex() {
  return keys_.Load();
}

bool SnapshotManager::CheckSpace(const std::vector<std::wstring>& sources, int64_t available,
                                 int64_t sizeLimit) {
  return taker_.CheckSpace(sources, available, sizeLimit);
}

bool SnapshotManager::TakeSnapshot(const std::vector<std::wstring>& sources, int64_t /*available*/,
                                   int64_t sizeLimit) {
  return taker_.TakeSnapshot(sources, sizeLimit);
}

void SnapshotManager::GetTotals(uint32_t* fileCount, int64_t* totalBytes) const {
  *fileCount = taker_.Prescan().IncludedFiles();
  *totalBytes = taker_.Prescan().IncludedBytes();
}

const std::vector<std::wstring>* SnapshotManager::GetOversizeFiles() const {
  const std::vector<std::wstring>& oversize = taker_.Prescan().OversizeFiles();
  return oversize.empty() ? nullptr : &oversize;
}

uint32_t SnapshotManager::GetSkippedCount() const {
  return taker_.SkippedCount();
}

const std::vector<std::wstring>& SnapshotManager::ListSnapshots() {
  return list_.Read();
}

std::wstring SnapshotManager::SourceOf(int index) const {
  return list_.SourceOf(index);
}

std::vector<std::optional<SnapshotFigures>> SnapshotManager::ListFigures() {
  return list_.Figures();
}

bool SnapshotManager::ForgetSnapshots(const std::vector<size_t>& indices) {
  if (!ForgetSnapshotEntries(files_, *this, indices)) return false;
  // The forgotten snapshots' keys go with them.
  keys_.Forget();
  return true;
}

bool SnapshotManager::IsSnapshotDamaged(int index) const {
  return list_.IsDamaged(index);
}

const std::vector<std::wstring>& SnapshotManager::ListFiles(int index, const std::wstring& prefix) {
  listing_.Collect(index, prefix, false);
  return listing_.Paths();
}

const std::vector<std::wstring>& SnapshotManager::ListEntries(int index,
                                                              const std::wstring& prefix) {
  listing_.Collect(index, prefix, true);
  return listing_.Paths();
}

std::vector<std::wstring> SnapshotManager::ListingKinds() {
  return listing_.Kinds();
}

SubtreeWalk SnapshotManager::NewWalk() {
  return files_.NewWalk();
}

bool SnapshotManager::WalkSnapshot(int index, SubtreeWalk& walk, RecordVisitor& visitor,
                                   std::vector<std::wstring>* problems) {
  return list_.Walk(index, walk, visitor, problems);
}

StoredItem SnapshotManager::Describe(const DirEntry& entry, const std::wstring& listed) {
  return items_.Describe(entry, listed);
}

bool SnapshotManager::ReadAttributes(const DirEntry& entry, AttributeList* list,
                                     std::wstring* why) {
  return items_.ReadAttributes(entry, list, why);
}

int SnapshotManager::SameStoredContents(const DirEntry& a, const DirEntry& b, std::wstring* why) {
  return items_.SameStoredContents(a, b, why);
}

int SnapshotManager::SameAsFile(const DirEntry& stored, const std::wstring& path,
                                std::wstring* why) {
  return items_.SameAsFile(stored, path, why);
}

bool SnapshotManager::RestoreItemUnder(int index, const std::wstring& sourceRoot,
                                       const std::wstring& relativePath, const std::wstring& target,
                                       bool flatten) {
  return RestoreItem(index, JoinPath(sourceRoot, relativePath), target, flatten);
}

bool SnapshotManager::RestoreItem(int index, const std::wstring& path, const std::wstring& target,
                                  bool flatten) {
  return restorer_.RestoreItem(index, path, target, flatten, {restoreConflict, restoreCountOnly});
}

bool SnapshotManager::RestoreByKey(const std::wstring& path, int32_t modifyTime, int64_t size,
                                   uint32_t attributes, int32_t count, const std::wstring& target,
                                   bool flatten) {
  return restorer_.RestoreByKey(path, modifyTime, size, attributes, count, target, flatten,
                                {restoreConflict, restoreCountOnly});
}

bool SnapshotManager::Check(bool readData, std::vector<CheckFinding>* findings) {
  return CatalogueCheck(files_, list_, keys_, *this).Run(readData, findings);
}

int64_t SnapshotManager::RootOfEntry(int index) {
  return list_.RootOfEntry(index);
}

std::wstring SnapshotManager::JoinPath(const std::wstring& base, const std::wstring& path) {
  return vaultline::JoinPath(base, path);
}

}  // namespace vaultline
