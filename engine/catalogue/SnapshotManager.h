// The catalogue of one Backup Selection: its snapshot file, directory file and
// content file, the key index of everything earlier snapshots recorded, and
// the operations that take, list and restore snapshots.
//
// One manager per operation on a selection; all calls come from the thread
// that runs the operation (no locks). The manager owns its block store and the
// three files; the status sink is borrowed and may be null. The block store
// reaches the sink, the cancel flag and the byte totals through the
// StoreContext base.
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
#include "catalogue/CheckVisitor.h"
#include "catalogue/DirRecord.h"
#include "catalogue/ExclusionRules.h"
#include "catalogue/ExtendedRanges.h"
#include "catalogue/KeyIndex.h"
#include "catalogue/KeyIndexFile.h"
#include "catalogue/ListingVisitor.h"
#include "catalogue/SnapshotFigures.h"
#include "catalogue/SnapshotFiguresFile.h"
#include "catalogue/SubtreeWalk.h"
#include "platform/FileSystem.h"
#include "vaultline/ItemHistory.h"

class IBackupRestoreStatus;

namespace vaultline {

class BlockStore;
class DirectoryFile;
class SnapshotFile;
class SourcePrefetch;
struct SnapEntry;
class SourceScanner;
class ThreadPlan;

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
  bool IsOpen() const { return open_; }
  // Loads the key index of every listed snapshot, once; false (reported as
  // "Problem Initializing Data") when the catalogue cannot be read. The index
  // comes from the sidecar file location + ".keys" while it agrees with the
  // catalogue; only snapshots it does not cover are read from the directory
  // file, and the sidecar is brought up to date or rebuilt.
  bool LoadKeyIndex();
  // The index as loaded (plus what snapshots taken since remembered).
  const KeyIndex& Keys() const { return index_; }

  // What the pre-scans and snapshots from now on leave out of every source.
  // A pre-scan made under other rules no longer describes the next snapshot.
  void SetExclusions(ExclusionRules rules) {
    exclusions_ = std::move(rules);
    prescanned_.clear();
  }

  // Pre-scans the sources and answers whether the new and changed bytes fit:
  // available >= 0.75 * new bytes. sizeLimit 0 means no per-file limit.
  bool CheckSpace(const std::vector<std::wstring>& sources, int64_t available, int64_t sizeLimit);
  // Takes a snapshot of the sources. True when it was published (its entry is
  // durable in the snapshot file); false when cancelled or failed, in which
  // case nothing is listed.
  bool TakeSnapshot(const std::vector<std::wstring>& sources, int64_t available, int64_t sizeLimit);
  // New and changed bytes the last pre-scan found: what a snapshot stores.
  int64_t GetNewBytes() const { return newBytes_; }
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
  const std::vector<int32_t>& SnapshotTimes() const { return snapshotTimes_; }
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
  static constexpr const wchar_t* kDamagedSnapshotText = L"(damaged)\n";
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
  const std::vector<ListedItem>& ListedItems() const { return listedItems_; }
  bool ListingFailed() const { return listingFailed_; }
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
  // Records handed out since the last publication may be lost (a failed
  // write or sync of gathered records): the keys are loaded again from what
  // was published before the next backup builds on them.
  void ForgetKeys();
  struct SourceRange {
    int64_t rootOffset;
    int64_t endOffset;
  };

  int LoadCatalogue();
  void ReportLoadFailure();
  bool SidecarAgrees() const;
  void SaveSidecar(size_t known, const std::vector<KeyIndex::Entry>& added);
  // The keys of the records from `start` to `end` as a load indexes them;
  // reads only `directory` and the extended ranges.
  int IndexRange(DirectoryFile& directory, int64_t start, int64_t end, int32_t snapshotTime,
                 std::vector<KeyIndex::Entry>* found);
  // Starts reading back the keys of the snapshot being published for the
  // sidecar, on a thread of its own while the snapshot's files sync; its
  // records must have been written.
  void ReadKeysAhead(int32_t snapshotTime, const SourceRange& range);
  void AddToSidecar(int32_t snapshotTime, const std::vector<SourceRange>& ranges);
  bool Prescan(SourceScanner& item);
  // Keeps the pre-scan's listing of a folder for the walk, while the
  // listings kept stay within bounds.
  void KeepListing(SourceScanner& folder);
  // Lists the folder from the pre-scan's listing when one was kept.
  void UseKeptListing(SourceScanner& folder);
  void DropKeptListings();
  void CloseSources();
  bool WalkChildren(SourceScanner& folder, int32_t level);
  // Hands the files to be stored from entries[from] on to the prefetch, a
  // batch of them; the index after the last entry looked at.
  size_t PrefetchFiles(const SourceScanner& folder, const std::vector<platform::FindData>& entries,
                       size_t from);
  int64_t WriteFolder(SourceScanner& item, int32_t level, bool expand);
  int64_t StoreSourceFile(SourceScanner& item, int32_t level);
  int64_t WriteUnrecordable(SourceScanner& item, int32_t level);
  // An item whose path leaves no room in its record for the tail it needs
  // is recorded without it, and named.
  void DropTailThatDoesNotFit(SourceScanner& item);
  // Stores the item's attribute list, or finds it stored, and tells the
  // item where it lies; `known` is the item's earlier record, if any.
  void StoreAttributes(SourceScanner& item, const KeyIndex::Offsets* known);
  // Stores what a link or special file holds: a link's target, nothing
  // for the others. Its contentOffset, or -1.
  int64_t StoreNode(SourceScanner& item);
  bool WriteEntry(int32_t snapshotTime, const std::vector<SourceRange>& ranges,
                  const std::vector<std::wstring>& sources);
  bool SyncBeforePublishing(int32_t snapshotTime, const SourceRange& range);
  bool SyncAfterPublishing();
  void ReportSyncFailure(const wchar_t* diagnostic);
  void ReportWriteFailure(int error);
  void ScanSources(const std::vector<std::wstring>& sources);
  void Remember(SourceScanner& item, int64_t contentOffset, int64_t recordOffset);
  // Bytes of the selection's five files now.
  int64_t StoreBytes() const;
  void AddFigures(int32_t snapshotTime, const SourceRange& range, int64_t bytesBefore);
  const KeyIndex::Offsets* Lookup(SourceScanner& item) const;

  int64_t WriteTree(SourceScanner& folder, int32_t level);
  bool Collect(int index, const std::wstring& prefix, bool withFolders);
  bool RestoreRecords(int index, int64_t offset, const std::wstring& target, bool flatten);
  void Report(int level, const std::wstring& text);
  // Names every folder whose records the walk could not read.
  void ReportDamage(int index, const SubtreeWalk& walk);
  void ReportDamagedEntry(int index);
  void NoteEntry(const SnapEntry& entry);

  // The store's helpers, which the manager's own use as well; declared
  // first, so that they outlive everything that hands them work.
  std::shared_ptr<ThreadPlan> threads_;
  std::unique_ptr<BlockStore> store_;
  std::wstring location_;  // the data file's path, which the others extend
  std::wstring snapshotPath_;
  int contentFd_ = -1;
  int directoryFd_ = -1;
  int snapshotFd_ = -1;
  bool filesCreated_ = false;
  bool contentsDirty_ = false;  // the store or the content file was written since the last sync
  bool open_ = false;
  bool indexed_ = false;
  std::unique_ptr<DirectoryFile> directory_;
  std::unique_ptr<SnapshotFile> snapshot_;
  std::unique_ptr<SourcePrefetch> prefetch_;  // made by the first walk that stores files

  KeyIndex index_;
  KeyIndexFile keyFile_;
  SnapshotFiguresFile figuresFile_;
  // What the walk of the snapshot being taken met beside the pre-scan's
  // totals.
  SnapshotFigures walked_;
  uint32_t notStoredFiles_ = 0;  // of those the pre-scan counted
  int64_t notStoredBytes_ = 0;
  // What ReadKeysAhead found, once the ticket of its task is done.
  uint64_t keysAhead_ = 0;  // the ticket of the kKeyReading helper, or 0
  std::vector<KeyIndex::Entry> keysFound_;
  int keysResult_ = 0;
  std::vector<SnapEntry> indexedEntries_;  // the sound entries the index was made of
  ExclusionRules exclusions_;
  std::unordered_set<std::wstring> changedPaths_;
  // The pre-scan's listings of folders the walk lists again (changed ones
  // and those directly in them), by full path, so that a snapshot made
  // right after its pre-scan searches each folder once.
  std::unordered_map<std::wstring, std::vector<platform::FindData>> keptListings_;
  size_t keptEntries_ = 0;
  uint32_t prescanEnd_ = 0;               // TickCount when the last pre-scan ended
  std::vector<std::wstring> prescanned_;  // sources whose pre-scan the next snapshot uses
  std::vector<std::wstring> oversizeFiles_;
  // Attribute lists this snapshot points at, by their bytes.
  std::unordered_map<std::string, int64_t> storedLists_;
  uint32_t unrecordable_ = 0;
  int64_t newBytes_ = 0;
  int64_t includedBytes_ = 0;
  uint32_t includedFiles_ = 0;
  int64_t sizeLimit_ = 0;
  int64_t available_ = 0;
  int32_t snapshotTime_ = 0;  // of the snapshot being taken

  std::vector<std::wstring> snapshotNames_;
  std::vector<int32_t> snapshotTimes_;
  std::vector<std::wstring> snapshotSources_;
  std::vector<SourceRange> snapshotRanges_;
  std::vector<bool> snapshotDamaged_;
  ExtendedRanges extendedRanges_;
  std::vector<std::wstring> listing_;
  std::vector<ListingVisitor::Node> listingNodes_;
  std::vector<ListedItem> listedItems_;  // one for each path of listing_
  bool listingFailed_ = false;
  std::unordered_map<std::wstring, int64_t> pathToRecord_;
  int64_t restoreBytes_ = 0;
};

}  // namespace vaultline
