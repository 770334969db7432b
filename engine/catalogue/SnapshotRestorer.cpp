#include "catalogue/SnapshotRestorer.h"

#include "blockstore/BlockStore.h"
#include "blockstore/StoreContext.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/KeyIndexKeeper.h"
#include "catalogue/RestoreLookahead.h"
#include "catalogue/SnapshotList.h"
#include "catalogue/SnapshotTreeListing.h"
#include "catalogue/StatusReport.h"
#include "platform/Format.h"
#include "platform/Path.h"
#include "vaultline/Vaultline.h"

namespace vaultline {

bool SnapshotRestorer::RestoreItem(int index, const std::wstring& path, const std::wstring& target,
                                   bool flatten, RestoreVisitor::Conflict conflict) {
  context_.cancelled = false;
  list_.Read();
  if (list_.IsDamaged(index)) {
    ReportStatus(context_, kMessageError,
                 platform::FormatWide(L"Snapshot %d is damaged on the drive and cannot be read; "
                                      L"run a check of the selection",
                                      index));
    return false;
  }
  const bool whole = listing_.Collect(index, std::wstring(), false);
  const auto& pathToRecord = listing_.PathToRecord();
  auto found = pathToRecord.find(path);
  if (found == pathToRecord.end() && !path.empty() && path.back() == platform::kSeparator) {
    found = pathToRecord.find(path.substr(0, path.size() - 1));
  }
  if (found == pathToRecord.end()) {
    if (!whole) {
      ReportStatus(context_, kMessageError,
                   platform::FormatWide(L"Snapshot %d cannot be read: the catalogue of this "
                                        L"selection is damaged",
                                        index));
    }
    ReportStatus(context_, kMessageError,
                 platform::FormatWide(L"Path: %ls is not part of Profile", path.c_str()));
    return false;
  }
  if (context_.status != nullptr) {
    context_.cancelled = context_.status->OnTotalSize(listing_.RestoreBytes());
  }
  if (context_.cancelled) return false;
  return RestoreRecords(index, found->second, target, flatten, conflict);
}

bool SnapshotRestorer::RestoreRecords(int index, int64_t offset, const std::wstring& target,
                                      bool flatten, RestoreVisitor::Conflict conflict) {
  BlockStore& store = files_.Store();
  RestoreVisitor visitor(store, files_.ContentFd(), context_, target, flatten, conflict);
  RestoreLookahead lookahead(visitor, store, files_.ContentFd());
  SubtreeWalk walk = files_.NewWalk();
  bool walked = walk.Walk(offset, 1, lookahead);
  // Damage does not stop the walk, nor the visits held back.
  walked = lookahead.Finish() && walked;
  // The file still being finished reports its end.
  walked = visitor.Finish() && walked;
  // Files named last and then passed over are not kept for a later restore.
  store.ForgetExpectedRestores();
  ReportDamage(index, walk);
  return walked && !visitor.Failed() && !context_.cancelled;
}

bool SnapshotRestorer::RestoreByKey(const std::wstring& path, int32_t modifyTime, int64_t size,
                                    uint32_t attributes, int32_t count, const std::wstring& target,
                                    bool flatten, RestoreVisitor::Conflict conflict) {
  if (!keys_.Load()) return false;
  const KeyIndex::Offsets* known =
      keys_.Keys().Find(ItemKey(path, modifyTime, size, attributes, count));
  if (known == nullptr) return false;
  context_.cancelled = false;
  return RestoreRecords(-1, known->recordOffset, target, flatten, conflict);
}

void SnapshotRestorer::ReportDamage(int index, const SubtreeWalk& walk) {
  for (const DamagedFolder& damaged : walk.Damage()) {
    // The next backup writes such a folder anew instead of pointing at them.
    files_.Store().Damage().Add(DamageMemory::Kind::kChildren, damaged.firstChild);
    const std::wstring where =
        damaged.folder.empty() ? std::wstring(L"the top of the snapshot") : damaged.folder;
    ReportStatus(context_, kMessageError,
                 platform::FormatWide(L"Snapshot %d: %d damaged record(s) in the folder %ls; "
                                      L"their files and folders cannot be restored",
                                      index, damaged.records, where.c_str()));
  }
}

}  // namespace vaultline
