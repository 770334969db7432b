// The catalogue of one Backup Selection as the operations on it see it: one
// object that opens its files and hands each call to the part that does it:
// the key index (KeyIndexKeeper), taking and publishing a snapshot
// (SnapshotTaker), and the history: listing (SnapshotList,
// SnapshotTreeListing, StoredItems), forgetting, restoring
// (SnapshotRestorer) and checking (CatalogueCheck).
//
// One manager per operation on a selection; all calls come from the thread
// that runs the operation (no locks). The manager owns its block store and the
// three files; the status sink is borrowed and may be null. The block store
// and the parts reach the sink, the cancel flag and the byte totals through
// the StoreContext base.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "blockstore/StoreContext.h"
#include "catalogue/AttributeList.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/CheckVisitor.h"
#include "catalogue/DirRecord.h"
#include "catalogue/ExclusionRules.h"
#include "catalogue/ExtendedRanges.h"
#include "catalogue/KeyIndex.h"
#include "catalogue/KeyIndexFile.h"
#include "catalogue/KeyIndexKeeper.h"
#include "catalogue/ListingVisitor.h"
#include "catalogue/SnapshotFigures.h"
#include "catalogue/SnapshotFiguresFile.h"
#include "catalogue/SnapshotList.h"
#include "catalogue/SnapshotRestorer.h"
#include "catalogue/SnapshotTaker.h"
#include "catalogue/SnapshotTreeListing.h"
#include "catalogue/StoredItems.h"
#include "catalogue/SubtreeWalk.h"
#include "platform/FileSystem.h"
#include "vaultline/ItemHistory.h"

class IBackupRestoreStatus;

namespace vaultline {

class BlockStore;

class SnapshotManager : public StoreContext {
 public:
  // Opens (creating if missing) the three files. A failure is reported
  // ("Problem Initializing Data") and leaves IsOpen false. The key index of
  // earlier snapshots is loaded only when a snapshot needs it, so that
  // listing and restoring read no more than they show.
  SnapshotManager(std::wstring contentPath, std::wstring directoryPath, std::wstring snapshotPath,
                  std::unique_ptr<BlockStore> store, IBackupRestoreStatus* status);
  virtual ~SnapshotManager();

  SnapshotManager(const SnapshotManager&) = delete;
  SnapshotManager& operator=(const SnapshotManager&) = delete;

  // True when the three files and the store opened.
  bool IsOpen() const { return files_.IsOpen(); }
  // Loads the key index of every listed snapshot, once; false (reported as
  // "Problem Initializing Data") when the catalogue cannot be read. The index
  // comes from the sidecar file location + ".keys" while it agrees with the
  // catalogue; only snapshots it does not cover are read from the directory
  // file, and the sidecar is brought up to date or rebuilt.
  bool LoadKeyIndex();
  // The index as loaded (plus what snapshots taken since remembered).
  const KeyIndex& Keys() const { return keys_.Keys(); }

  // What the pre-scans and snapshots from now on leave out of every source.
  // A pre-scan made under other rules no longer describes the next snapshot.
  void SetExclusions(ExclusionRules rules) { taker_.SetExclusions(std::move(rules)); }

  // Pre-scans the sources and answers whether the new and changed bytes fit:
  // available >= 0.75 * new bytes. sizeLimit 0 means no per-file limit.
  bool CheckSpace(const std::vector<std::wstring>& sources, int64_t available, int64_t sizeLimit);
  // Takes a snapshot of the sources. True when it was published (its entry is
  // durable in the snapshot file); false when cancelled or failed, in which
  // case nothing is listed.
  bool TakeSnapshot(const std::vector<std::wstring>& sources, int64_t available, int64_t sizeLimit);
  // New and changed bytes the last pre-scan found: what a snapshot stores.
  int64_t GetNewBytes() const { return taker_.Prescan().NewBytes(); }
  // Files and bytes within the size limit that the last pre-scan saw.
  void GetTotals(uint32_t* fileCount, int64_t* totalBytes) const;
  // Files the last pre-scan left out because they exceed the size limit; null
  // when there are none. Valid until the manager is destroyed.
  const std::vector<std::wstring>* GetOversizeFiles() const;
  // Items the last snapshot could not record: oversize files plus items whose
  // path is too long for a record (those are also reported as warnings).
  uint32_t GetSkippedCount() const;

  // One ctime text per snapshot ("Www Mmm dd hh:mm:ss yyyy\n"), oldest first;
  // empty when the catalogue is empty or unreadable. A damaged entry keeps
  // its place with kDamagedSnapshotText.
  const std::vector<std::wstring>& ListSnapshots();
  // The times of the snapshots ListSnapshots read last, in the same order.
  const std::vector<int32_t>& SnapshotTimes() const { return list_.Times(); }
  // The source path snapshot `index` was taken of (its first source): the
  // paths it holds lie below it, also after the selection's source moved.
  // Empty for a damaged entry or an index out of range.
  std::wstring SourceOf(int index) const;
  // The figures of each snapshot ListSnapshots read last, in its order; none
  // for a damaged one. Those the sidecar does not hold are counted from the
  // snapshot's records (files and bytes only) and added to it.
  std::vector<std::optional<SnapshotFigures>> ListFigures();
  // Removes the entries of the snapshots at `indices` (as ListSnapshots
  // counts them) from the snapshot file, which is rewritten crash-safely:
  // a power loss leaves the old list or the new one. Their records and
  // contents stay until the selection is compacted. False, with nothing
  // changed, for an index out of range or when the file cannot be rewritten
  // (both reported).
  bool ForgetSnapshots(const std::vector<size_t>& indices);
  static constexpr const wchar_t* kDamagedSnapshotText = SnapshotList::kDamagedText;
  // Needs a preceding ListSnapshots.
  bool IsSnapshotDamaged(int index) const;
  // Paths of the files (ListFiles) or files and folders (ListEntries, folders
  // ending in the separator, the prefix folder itself as a lone separator) of
  // snapshot `index`, relative to `prefix`. Needs a preceding ListSnapshots.
  // Empty for an index out of range; ListingFailed tells whether the walk met
  // damaged records (the list then holds what was read before).
  const std::vector<std::wstring>& ListFiles(int index, const std::wstring& prefix);
  const std::vector<std::wstring>& ListEntries(int index, const std::wstring& prefix);
  // Size and time of each path of the last ListFiles or ListEntries.
  const std::vector<ListedItem>& ListedItems() const { return listing_.Items(); }
  bool ListingFailed() const { return listing_.Failed(); }
  // What each item of the last listing is, in its order: empty for a file
  // or folder; else "link", "fifo", "socket", "character device" or "block
  // device", and for a link a tab and its target, for a device a tab and
  // its numbers ("1:3").
  std::vector<std::wstring> ListingKinds();

  // A walk of the directory file for WalkSnapshot; it tells the visitor's
  // caller of the damage met.
  SubtreeWalk NewWalk();
  // Walks the tree of snapshot `index` (needs a preceding ListSnapshots);
  // each damaged place is named in `problems`. False when the snapshot
  // cannot be read at all (named too).
  bool WalkSnapshot(int index, SubtreeWalk& walk, RecordVisitor& visitor,
                    std::vector<std::wstring>* problems);
  // The item a record describes, its link target and owner read from the
  // content file.
  StoredItem Describe(const DirEntry& entry, const std::wstring& listed);
  // The owner, group and extended attributes a record points at; false
  // (`why` says) when it has none or they cannot be read.
  bool ReadAttributes(const DirEntry& entry, AttributeList* list, std::wstring* why);
  // Whether two stored files hold the same bytes, by the digests of their
  // pieces: 1 the same, 0 not, -1 when either cannot be read (`why` says).
  int SameStoredContents(const DirEntry& a, const DirEntry& b, std::wstring* why);
  // The same for a stored file and the file at `path`.
  int SameAsFile(const DirEntry& stored, const std::wstring& path, std::wstring* why);

  // Restores JoinPath(sourceRoot, relativePath) of snapshot `index` into
  // `target` (empty target: back where it came from). With flatten the item
  // lands directly in target; without, its whole stored path is joined.
  // False when anything failed or was cancelled.
  // What the restores of this catalogue do with a file already at its
  // destination (a RestoreConflictRule); with restoreCountOnly they write
  // nothing and name each file the rule would replace through OnFile.
  int restoreConflict = 0;
  bool restoreCountOnly = false;
  bool RestoreItemUnder(int index, const std::wstring& sourceRoot, const std::wstring& relativePath,
                        const std::wstring& target, bool flatten);
  bool RestoreItem(int index, const std::wstring& path, const std::wstring& target, bool flatten);
  // Restores the newest record with the given key, if the index knows it.
  bool RestoreByKey(const std::wstring& path, int32_t modifyTime, int64_t size, uint32_t attributes,
                    int32_t count, const std::wstring& target, bool flatten);
  // Checks every snapshot entry, every directory record each snapshot
  // reaches and every content record they point at; with readData also every
  // block of the data file and the index. Each damaged item is reported
  // through the sink and listed; damage is remembered for the next backup.
  // Changes nothing else. False when cancelled.
  bool Check(bool readData, std::vector<CheckFinding>* findings);

  // Root record offset of source 0 of entry `index`, or -1.
  int64_t RootOfEntry(int index);

  // Joins a stored path below base; the leading separator of an absolute path
  // plays the part of the drive letter that is dropped.
  static std::wstring JoinPath(const std::wstring& base, const std::wstring& path);

 private:
  CatalogueFiles files_;
  KeyIndexKeeper keys_;
  SnapshotTaker taker_;
  SnapshotList list_;
  SnapshotTreeListing listing_;
  SnapshotRestorer restorer_;
  StoredItems items_;
};

}  // namespace vaultline
