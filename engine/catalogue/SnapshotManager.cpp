#include "catalogue/SnapshotManager.h"

#include <algorithm>
#include <climits>

#include "blockstore/BlockStore.h"
#include "catalogue/DirectoryFile.h"
#include "catalogue/ListingVisitor.h"
#include "catalogue/PathJoin.h"
#include "catalogue/RestoreLookahead.h"
#include "catalogue/RestoreVisitor.h"
#include "catalogue/SnapshotFile.h"
#include "catalogue/SnapshotHistory.h"
#include "catalogue/SourceFilter.h"
#include "catalogue/SourcePrefetch.h"
#include "catalogue/SourceScanner.h"
#include "catalogue/SubtreeWalk.h"
#include "platform/Clock.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/LinksAndNodes.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "util/ThreadPlan.h"
#include "vaultline/Vaultline.h"

namespace vaultline {

namespace {

// About 8 MiB of listings at most; folders past that are searched again.
constexpr size_t kKeptListingEntries = size_t{1} << 16;
// A snapshot that follows its pre-scan at once uses the listings it kept.
constexpr uint32_t kKeptListingMilliseconds = 2000;
// Files to be stored are asked for a batch at a time, the next batch when
// fewer than kPrefetchSlack are left ahead of the walk.
constexpr size_t kPrefetchFiles = 32;
constexpr uint64_t kPrefetchBytes = uint64_t{8} << 20;
constexpr size_t kPrefetchSlack = 8;

constexpr const wchar_t* kEntryNotWritten =
    L"The snapshot could not be recorded in the snapshot file";

int OpenStoreFile(const std::wstring& path) {
  return platform::OpenFile(path, platform::OpenMode::kReadWriteStore);
}

// A file changed in the second its snapshot began, or while it ran, may have
// changed again within the same second after it was read: its key cannot
// tell, so it is never taken as unchanged. A time more than a day past the
// present (a clock ahead of this one aside) was set by hand and is no such
// change. Full times are compared: the low 32 bits alone would mistake other
// eras for the present. A folder needs no such care: it is reused only while
// every child it lists now is known.
constexpr int64_t kClockAhead = 24 * 3600;
bool IsSettled(bool folder, int64_t modifySeconds, int32_t snapshotTime) {
  return folder || modifySeconds < snapshotTime ||
         modifySeconds > int64_t{platform::CurrentTime()} + kClockAhead;
}

ItemKey KeyOf(const DirEntry& entry) {
  return ItemKey(entry.name, entry.modifyTime, entry.size, entry.attributes, entry.count);
}

ItemKey KeyOf(SourceScanner& item) {
  return ItemKey(item.FullPath(), item.ModifyTime(), static_cast<int64_t>(item.Size()),
                 item.Attributes(), item.EntryCount());
}

// The selection's location: the directory file ("file.dir") without ".dir".
std::wstring LocationOf(const std::wstring& directoryPath) {
  const std::wstring suffix = L".dir";
  const bool named =
      directoryPath.size() >= suffix.size() &&
      directoryPath.compare(directoryPath.size() - suffix.size(), suffix.size(), suffix) == 0;
  return named ? directoryPath.substr(0, directoryPath.size() - suffix.size()) : directoryPath;
}

// Counts what a snapshot's tree holds, for figures its backup did not record.
class FileCounter : public RecordVisitor {
 public:
  explicit FileCounter(SnapshotFigures* figures) : figures_(figures) {}
  bool VisitFile(const DirEntry& entry, int64_t /*offset*/) override {
    ++figures_->files;
    figures_->bytes += entry.size;
    return true;
  }
  bool EnterFolder(const DirEntry& /*entry*/, int64_t /*offset*/) override { return true; }
  bool LeaveFolder(const DirEntry& /*entry*/) override { return true; }

 private:
  SnapshotFigures* figures_;
};

// A sidecar holding many more records than keys is written anew.
bool WorthRewriting(size_t records, size_t keys) {
  return records > 2 * keys + 256;
}

}  // namespace

SnapshotManager::SnapshotManager(std::wstring contentPath, std::wstring directoryPath,
                                 std::wstring snapshotPath, std::unique_ptr<BlockStore> store,
                                 IBackupRestoreStatus* status)
    : threads_(store != nullptr ? store->Threads() : std::make_shared<ThreadPlan>()),
      store_(std::move(store)),
      location_(LocationOf(directoryPath)),
      snapshotPath_(std::move(snapshotPath)),
      keyFile_(LocationOf(directoryPath) + L".keys"),
      figuresFile_(LocationOf(directoryPath) + L".figures") {
  StoreContext::status = status;
  contentFd_ = OpenStoreFile(contentPath);
  directoryFd_ = OpenStoreFile(directoryPath);
  snapshotFd_ = OpenStoreFile(snapshotPath_);
  // Files opened empty may have been created by an earlier open (a listing
  // creates them too) whose folder entries were never synced: the first
  // snapshot in them syncs the folder as well.
  filesCreated_ = snapshotFd_ < 0 || platform::FileSizeOf(snapshotFd_) == 0;
  directory_ = std::make_unique<DirectoryFile>(directoryFd_, threads_.get());
  snapshot_ = std::make_unique<SnapshotFile>(snapshotFd_, snapshotPath_);
  if (store_ != nullptr) store_->AttachManager(this);

  const bool filesOpen = contentFd_ >= 0 && directoryFd_ >= 0 && snapshotFd_ >= 0 &&
                         store_ != nullptr && store_->IsOpen();
  if (!filesOpen) {
    ReportLoadFailure();
    return;
  }
  platform::SeekFile(contentFd_, 0, platform::SeekFrom::kEnd);
  snapshot_->SeekToLogicalEnd();
  open_ = true;
}

void SnapshotManager::ReportLoadFailure() {
  Report(kMessageError, L"Problem Initializing Data");
  platform::WriteDiagnostic(L"\nfailed to initialize ");
}

void SnapshotManager::ForgetKeys() {
  index_ = KeyIndex();
  indexed_ = false;
}

bool SnapshotManager::LoadKeyIndex() {
  if (indexed_) return true;
  if (!open_ || LoadCatalogue() != 0) {
    ReportLoadFailure();
    return false;
  }
  snapshot_->SeekToLogicalEnd();
  indexed_ = true;
  return true;
}

SnapshotManager::~SnapshotManager() {
  threads_->Settle(ThreadPlan::Helper::kKeyReading);
  store_.reset();
  snapshot_.reset();
  directory_.reset();
  for (int fd : {directoryFd_, contentFd_, snapshotFd_}) {
    if (fd >= 0) platform::CloseFile(fd);
  }
}

void SnapshotManager::Report(int level, const std::wstring& text) {
  if (status != nullptr) status->OnMessage(level, text.c_str());
}

// ---- Loading -------------------------------------------------------------

void SnapshotManager::NoteEntry(const SnapEntry& entry) {
  if (entry.extended) extendedRanges_.Add(entry.source.rootOffset, entry.source.endOffset);
}

int SnapshotManager::LoadCatalogue() {
  snapshot_->SetDirectorySize(directory_->LogicalEnd());
  extendedRanges_.Clear();
  indexedEntries_.clear();
  SnapEntry entry;
  int result = snapshot_->ReadEntry(0, &entry);
  while (result == 0) {
    if (!entry.damaged) {
      NoteEntry(entry);
      indexedEntries_.push_back(entry);
    }
    result = snapshot_->ReadNextEntry(&entry);
  }
  if (result == -1) {
    platform::WriteDiagnostic(L"\nError reading Snap file");
    return -1;
  }
  // The sidecar spares reading the snapshots it covers; the rest are read
  // in order after them, so the newest record of a key still wins.
  const size_t known =
      keyFile_.Load(&index_) && SidecarAgrees() ? keyFile_.Covered().entryCount : 0;
  if (known == 0) index_ = KeyIndex();
  std::vector<KeyIndex::Entry> added;
  for (size_t i = known; i < indexedEntries_.size(); ++i) {
    const SnapSource& range = indexedEntries_[i].source;
    const size_t before = added.size();
    if (IndexRange(*directory_, range.rootOffset, range.endOffset, indexedEntries_[i].snapshotTime,
                   &added) != 0) {
      return -1;
    }
    for (size_t k = before; k < added.size(); ++k) index_.Remember(added[k]);
    // A rebuild writes the index as a whole: its parts need not be kept.
    if (known == 0) added.clear();
  }
  SaveSidecar(known, added);
  return 0;
}

bool SnapshotManager::SidecarAgrees() const {
  const KeyIndexFile::Coverage& covered = keyFile_.Covered();
  if (covered.entryCount > indexedEntries_.size() ||
      covered.directoryLength > directory_->LogicalEnd()) {
    return false;
  }
  if (KeyIndexFile::Describe(indexedEntries_, covered.entryCount, directoryFd_,
                             covered.directoryLength) != covered) {
    return false;
  }
  // Later snapshots must lie behind what it covers, or their records would
  // have been judged against other extended ranges than the sidecar's.
  for (size_t i = covered.entryCount; i < indexedEntries_.size(); ++i) {
    if (indexedEntries_[i].source.rootOffset < covered.directoryLength) return false;
  }
  return true;
}

void SnapshotManager::SaveSidecar(size_t known, const std::vector<KeyIndex::Entry>& added) {
  if (known == indexedEntries_.size() && known != 0) {
    // Up to date. Each snapshot appends its records, superseded keys and
    // all; here the index is exactly what the file replays, so a file grown
    // well past it is written anew and a load stays as cheap as the index.
    if (WorthRewriting(keyFile_.RecordCount(), index_.Size())) {
      keyFile_.Rewrite(index_, keyFile_.Covered());
    }
    return;
  }
  // A range cut short was indexed without its folders; once the file grows
  // back, a load would index them: such an index is not kept.
  for (const SnapEntry& entry : indexedEntries_) {
    if (entry.source.endOffset > directory_->LogicalEnd()) {
      keyFile_.Remove();
      return;
    }
  }
  const KeyIndexFile::Coverage coverage = KeyIndexFile::Describe(
      indexedEntries_, indexedEntries_.size(), directoryFd_, directory_->LogicalEnd());
  if (known != 0 && !WorthRewriting(keyFile_.RecordCount() + added.size(), index_.Size())) {
    keyFile_.Append(added, coverage);
  } else {
    keyFile_.Rewrite(index_, coverage);
  }
}

void SnapshotManager::ReadKeysAhead(int32_t snapshotTime, const SourceRange& range) {
  if (!indexed_ || !keyFile_.IsCurrent()) return;
  keysFound_.clear();
  // Records of the snapshot are extended ones, so the extended ranges that
  // AddToSidecar adds to do not bear on them.
  keysAhead_ = threads_->Get(ThreadPlan::Helper::kKeyReading)
                   .Submit(
                       [this, snapshotTime, range] {
                         DirectoryFile reader(directoryFd_);
                         keysResult_ = IndexRange(reader, range.rootOffset, range.endOffset,
                                                  snapshotTime, &keysFound_);
                       },
                       true);
}

void SnapshotManager::AddToSidecar(int32_t snapshotTime, const std::vector<SourceRange>& ranges) {
  if (keysAhead_ == 0) return;
  threads_->Get(ThreadPlan::Helper::kKeyReading).WaitFor(keysAhead_);
  keysAhead_ = 0;
  // The snapshot's records as a load would index them once it is listed.
  SnapEntry published;
  published.snapshotTime = snapshotTime;
  published.sourceCount = static_cast<int32_t>(ranges.size());
  published.source.rootOffset = ranges[0].rootOffset;
  published.source.endOffset = ranges[0].endOffset;
  published.extended = true;
  NoteEntry(published);
  if (keysResult_ != 0) {
    keyFile_.Remove();
    return;
  }
  indexedEntries_.push_back(published);
  keyFile_.Append(keysFound_, KeyIndexFile::Describe(indexedEntries_, indexedEntries_.size(),
                                                     directoryFd_, directory_->LogicalEnd()));
}

int SnapshotManager::IndexRange(DirectoryFile& directory, int64_t start, int64_t end,
                                int32_t snapshotTime, std::vector<KeyIndex::Entry>* found) {
  // A range that runs past the end of the directory file lost records: its
  // folders may miss children, so only its files are trusted.
  const bool whole = end <= directory.LogicalEnd();
  directory.SeekTo(start);
  // Folders whose listing follows them, innermost last: a listing ends at
  // the next record that is not deeper than its folder.
  struct OpenListing {
    int32_t level;
    size_t found;  // its place in `found`
  };
  std::vector<OpenListing> open;
  auto closeListings = [&](int32_t level, int64_t at) {
    while (!open.empty() && open.back().level >= level) {
      (*found)[open.back().found].offsets.listingEnd = at;
      open.pop_back();
    }
  };
  DirEntry entry;
  while (directory.Position() < end) {
    const int64_t offset = directory.Position();
    const int64_t next = directory.ReadNextRecord(&entry);
    if (next == -2) break;
    if (next < 0) {
      platform::WriteDiagnostic(L"\neror readin directory file in building index");
      return -1;
    }
    // Damaged records, nameless ones and files that were not stored describe
    // nothing that a later snapshot could point at.
    if (!entry.IsSound() || (!entry.IsExtended() && extendedRanges_.Covers(offset))) {
      open.clear();  // where the listings around it end is not known
      continue;
    }
    closeListings(entry.level, offset);
    if (entry.name.empty() || (!entry.IsFolder() && entry.count == -1)) continue;
    if (!IsSettled(entry.IsFolder(), DecodeTime(entry).seconds, snapshotTime)) continue;
    if (whole || !entry.IsFolder()) {
      found->push_back(KeyIndex::Entry{KeyOf(entry).Digest(),
                                       {offset, entry.contentOffset, StateOf(entry), -1}});
      if (entry.IsFolder() && entry.contentOffset == offset + kDirRecordSize) {
        open.push_back({entry.level, found->size() - 1});
      }
    }
  }
  if (whole) closeListings(INT32_MIN, directory.Position());
  return 0;
}

const KeyIndex::Offsets* SnapshotManager::Lookup(SourceScanner& item) const {
  const KeyIndex::Offsets* known = index_.Find(KeyOf(item));
  // What was found damaged is stored again, whatever its key says, so that
  // the new snapshot is whole while the source still holds it.
  const DamageMemory::Kind kind =
      item.IsFolder() ? DamageMemory::Kind::kChildren : DamageMemory::Kind::kContent;
  if (known != nullptr && store_->IsDamaged(kind, known->contentOffset)) return nullptr;
  return known;
}

void SnapshotManager::Remember(SourceScanner& item, int64_t contentOffset, int64_t recordOffset) {
  if (!IsSettled(item.IsFolder(), item.ExactModifyTime().seconds, snapshotTime_)) return;
  index_.Remember(KeyOf(item), recordOffset, contentOffset, item.Extension());
}

// ---- Pre-scan and space ----------------------------------------------------

bool SnapshotManager::Prescan(SourceScanner& item) {
  const KeyIndex::Offsets* record = Lookup(item);
  const bool known = record != nullptr;
  // A change of mode or of the exact time alone leaves the key and the
  // contents as they were, but the item needs a record of its own.
  bool changed = !known || !record->state.SameState(item.Extension());
  if (!item.IsRecordable()) return true;  // reported when the walk meets it
  if (!item.IsFolder()) {
    if (sizeLimit_ != 0 && static_cast<int64_t>(item.Size()) > sizeLimit_) {
      oversizeFiles_.push_back(item.FullPath());
      changed = true;
    } else {
      includedBytes_ += static_cast<int64_t>(item.Size());
      ++includedFiles_;
      if (!known) newBytes_ += static_cast<int64_t>(item.Size());
      // The snapshot will cut it into blocks: the store's index loads
      // meanwhile.
      if (!known && item.Size() >= BlockStore::kSmallFileLimit) store_->LoadIndexAhead();
    }
  } else {
    // The walk expands a changed folder and lists each folder in it again.
    std::vector<SourceScanner> subfolders;
    for (const platform::FindData& entry : *item.ListEntries()) {
      SourceScanner child(item, entry, 0);
      if (Prescan(child)) {
        changed = true;
      } else if (!changed && !record->Lists(Lookup(child)->recordOffset)) {
        // The child is known, but from another listing than the one this
        // folder's key finds: that listing holds another state of it.
        changed = true;
      }
      if (child.IsFolder()) subfolders.push_back(std::move(child));
    }
    // Walked again each time, so that every snapshot reports it.
    if (item.ListFailed() || !item.Undescribed().empty()) changed = true;
    if (changed) {
      for (SourceScanner& subfolder : subfolders) KeepListing(subfolder);
    }
  }
  if (changed) changedPaths_.insert(item.FullPath());
  return changed;
}

void SnapshotManager::KeepListing(SourceScanner& folder) {
  // A failed listing, or one with entries it could not describe, is searched
  // again by the walk, which reports them.
  if (!folder.IsFolder() || !folder.IsRecordable() || folder.ListFailed() ||
      !folder.Undescribed().empty()) {
    return;
  }
  const size_t entries = folder.ListEntries()->size();
  if (keptEntries_ + entries > kKeptListingEntries) return;
  keptEntries_ += entries;
  keptListings_.emplace(folder.FullPath(), folder.TakeListing());
}

void SnapshotManager::CloseSources() {
  // No source stays open after a backup: neither what the prefetch opened
  // and the walk passed by nor what the store read.
  prefetch_.reset();
  store_->ReleaseSources();
}

void SnapshotManager::DropKeptListings() {
  keptListings_.clear();
  keptEntries_ = 0;
}

void SnapshotManager::UseKeptListing(SourceScanner& folder) {
  auto kept = keptListings_.find(folder.FullPath());
  if (kept == keptListings_.end()) return;
  folder.UseListing(std::move(kept->second));
  keptListings_.erase(kept);
}

void SnapshotManager::ScanSources(const std::vector<std::wstring>& sources) {
  includedBytes_ = 0;
  includedFiles_ = 0;
  newBytes_ = 0;
  oversizeFiles_.clear();
  changedPaths_.clear();
  DropKeptListings();
  for (const std::wstring& source : sources) {
    SourceScanner item(source, 0);
    SourceFilter filter(exclusions_, item.FullPath());
    item.SetFilter(&filter);
    if (!item.Exists()) continue;
    Prescan(item);
    KeepListing(item);
  }
  prescanned_ = sources;
  prescanEnd_ = platform::TickCount();
}

bool SnapshotManager::CheckSpace(const std::vector<std::wstring>& sources, int64_t available,
                                 int64_t sizeLimit) {
  if (!LoadKeyIndex()) return false;
  available_ = available;
  sizeLimit_ = sizeLimit;
  ScanSources(sources);
  return static_cast<double>(available) >= 0.75 * static_cast<double>(newBytes_);
}

// ---- Taking a snapshot -----------------------------------------------------

bool SnapshotManager::TakeSnapshot(const std::vector<std::wstring>& sources, int64_t available,
                                   int64_t sizeLimit) {
  if (!LoadKeyIndex()) return false;
  const int32_t snapshotTime = platform::CurrentTime();
  snapshotTime_ = snapshotTime;
  available_ = available;
  // The pre-scan of CheckSpace holds only for the limit it was made with.
  if (sizeLimit != sizeLimit_ || prescanned_ != sources) {
    sizeLimit_ = sizeLimit;
    ScanSources(sources);
  } else if (platform::TickCount() - prescanEnd_ > kKeptListingMilliseconds) {
    // Files created since an older pre-scan belong in this snapshot: its
    // listings are not used, the walk searches again.
    DropKeptListings();
  }
  prescanned_.clear();
  // Lists and contents that a snapshot which failed may have lost are not
  // pointed at.
  storedLists_.clear();
  // Files opened ahead for a walk that ended early may have been replaced
  // since.
  prefetch_.reset();
  sizeLimit_ = sizeLimit;
  cancelled = false;
  bytesDone = 0;
  unrecordable_ = 0;
  walked_ = SnapshotFigures();
  notStoredFiles_ = 0;
  notStoredBytes_ = 0;
  if (sources.empty() || directoryFd_ < 0 || contentFd_ < 0 || snapshotFd_ < 0) return false;
  const int64_t bytesBefore = StoreBytes();
  platform::SeekFile(contentFd_, 0, platform::SeekFrom::kEnd);
  snapshot_->SeekToLogicalEnd();
  store_->ExpectNewBytes(newBytes_);
  if (status != nullptr) cancelled = status->OnTotalSize(newBytes_);

  std::vector<SourceRange> ranges;
  bool recorded = false;
  for (const std::wstring& source : sources) {
    if (cancelled) break;
    platform::FindData described;
    if (!platform::DescribePath(source, &described)) {
      const int error = platform::LastError();
      Report(kMessageError,
             platform::FormatWide(L"The specified File/Directory doesn't exist, File  %s",
                                  source.c_str()));
      platform::WriteDiagnostic(L"\nfailed to get file status handle " + source +
                                L"\nthe error is " + platform::SystemErrorText(error));
      return false;
    }
    SourceScanner item(source, static_cast<uint64_t>(sizeLimit_));
    SourceFilter filter(exclusions_, item.FullPath());
    item.SetFilter(&filter);
    const int64_t root = directory_->LogicalEnd();
    int64_t written = root;
    if (!item.IsFolder() && sizeLimit_ != 0 && static_cast<int64_t>(item.Size()) > sizeLimit_) {
      if (status != nullptr) cancelled = status->OnFile(-1, item.FullPath().c_str());
    } else {
      written = item.IsFolder() ? WriteTree(item, 0) : StoreSourceFile(item, 0);
    }
    if (cancelled) break;
    if (written < 0) {
      // A tree with a record missing would send restores astray: publish nothing.
      Report(kMessageError,
             platform::FormatWide(L"Errot trying to write directory file: %ls",
                                  platform::SystemErrorText(platform::LastError()).c_str()));
      ForgetKeys();
      CloseSources();
      return false;
    }
    ranges.push_back(SourceRange{root, directory_->LogicalEnd()});
    if (directory_->LogicalEnd() != root) recorded = true;
  }

  changedPaths_.clear();
  DropKeptListings();
  CloseSources();
  bool published = false;
  if (!cancelled && recorded) {
    const bool synced = SyncBeforePublishing(snapshotTime, ranges[0]);
    if (!synced) ForgetKeys();
    published = synced && WriteEntry(snapshotTime, ranges, sources) && SyncAfterPublishing();
    if (published) {
      AddToSidecar(snapshotTime, ranges);
      AddFigures(snapshotTime, ranges[0], bytesBefore);
    }
    // Keys read ahead for a snapshot that was not published are dropped.
    if (keysAhead_ != 0) threads_->Get(ThreadPlan::Helper::kKeyReading).WaitFor(keysAhead_);
    keysAhead_ = 0;
  }
  if (!published) {
    // What a stopped backup stored is kept for the next one to build on.
    if (!directory_->Flush()) ForgetKeys();
    store_->FlushBlocks();
  }
  if (status != nullptr) cancelled = status->OnProgress(bytesDone, 0) || cancelled;
  return published;
}

int64_t SnapshotManager::WriteTree(SourceScanner& folder, int32_t level) {
  UseKeptListing(folder);
  // A folder that changed after the pre-scan has no record to point at.
  const bool expand = changedPaths_.count(folder.FullPath()) != 0 || Lookup(folder) == nullptr;
  const int64_t recordOffset = WriteFolder(folder, level, expand);
  if (recordOffset < 0 || !expand || !folder.IsRecordable()) return recordOffset;
  if (!WalkChildren(folder, level)) return -1;
  index_.EndListing(KeyOf(folder).Digest(), recordOffset, directory_->LogicalEnd());
  return recordOffset;
}

bool SnapshotManager::WalkChildren(SourceScanner& folder, int32_t level) {
  const std::vector<platform::FindData>* entries = folder.ListEntries();
  if (entries == nullptr) return true;
  if (folder.ListFailed()) {
    ++walked_.unreadFolders;
    Report(
        kMessageWarning,
        platform::FormatWide(L"The folder %ls could not be read; its contents were not backed up",
                             folder.FullPath().c_str()));
    platform::WriteDiagnostic(L"\nfailed to list the folder " + folder.FullPath());
  }
  // Named as warnings, which make the backup partial; the summary's count
  // is of the files left out for size and paths too long to record.
  for (const std::wstring& path : folder.Undescribed()) {
    ++walked_.unreadable;
    Report(kMessageWarning,
           platform::FormatWide(L"The item %ls could not be read and was not backed up",
                                path.c_str()));
  }
  size_t prefetched = 0;  // the entries before it were handed to the prefetch
  for (size_t i = 0; i < entries->size(); ++i) {
    if (prefetched <= i + kPrefetchSlack) {
      prefetched = PrefetchFiles(folder, *entries, std::max(i, prefetched));
    }
    SourceScanner child(folder, (*entries)[i], static_cast<uint64_t>(sizeLimit_));
    const int64_t written =
        child.IsFolder() ? WriteTree(child, level + 1) : StoreSourceFile(child, level + 1);
    if (cancelled || written < 0) return false;
  }
  return true;
}

size_t SnapshotManager::PrefetchFiles(const SourceScanner& folder,
                                      const std::vector<platform::FindData>& entries, size_t from) {
  std::vector<std::wstring> paths;
  uint64_t bytes = 0;
  size_t next = from;
  // Up to the next folder: its tree is stored first.
  for (; next < entries.size() && paths.size() < kPrefetchFiles && bytes < kPrefetchBytes; ++next) {
    const platform::FindData& entry = entries[next];
    if ((entry.attributes & platform::kAttributeFolder) != 0) break;
    // What a link or special file holds is never read as a file.
    if (entry.kind != platform::ItemKind::kPlain) continue;
    // Larger files are asked for ahead by the store as it reads them.
    if (entry.size == 0 || entry.size > kPrefetchBytes) continue;
    std::wstring path = folder.FullPath() + platform::kSeparator + entry.name;
    if (changedPaths_.count(path) == 0) continue;  // its contents are stored already
    bytes += entry.size;
    paths.push_back(std::move(path));
  }
  if (prefetch_ == nullptr) prefetch_ = std::make_unique<SourcePrefetch>(*threads_);
  prefetch_->Ahead(std::move(paths));
  return next;
}

void SnapshotManager::DropTailThatDoesNotFit(SourceScanner& item) {
  if (!item.HasTail() || item.TailFits()) return;
  Report(kMessageWarning,
         platform::FormatWide(L"The path %ls is too long to keep its mode bits, owner and "
                              L"attributes; it was backed up without them",
                              item.FullPath().c_str()));
  item.DropTail();
}

void SnapshotManager::StoreAttributes(SourceScanner& item, const KeyIndex::Offsets* known) {
  if (!item.HasTail()) return;
  if (item.AttributesUnreadable()) {
    Report(kMessageWarning,
           platform::FormatWide(L"The extended attributes of %ls could not be read; it was backed "
                                L"up without them",
                                item.FullPath().c_str()));
  }
  // Most items share their owner and attributes with many others: each list
  // is stored once, and an unchanged item points at its earlier one.
  std::string bytes = item.ItemAttributes().Encode();
  auto stored = storedLists_.find(bytes);
  if (stored == storedLists_.end() && known != nullptr && known->state.attributesOffset >= 0 &&
      known->state.SameState(item.Extension()) &&
      !store_->IsDamaged(DamageMemory::Kind::kContent, known->state.attributesOffset)) {
    stored = storedLists_.emplace(std::move(bytes), known->state.attributesOffset).first;
  } else if (stored == storedLists_.end()) {
    contentsDirty_ = true;
    const int64_t offset = store_->StoreBytes(std::wstring(), contentFd_, bytes);
    if (offset < 0) {
      item.DropTail();  // the store has said why
      return;
    }
    stored = storedLists_.emplace(std::move(bytes), offset).first;
  }
  item.SetAttributesOffset(stored->second);
}

int64_t SnapshotManager::WriteFolder(SourceScanner& item, int32_t level, bool expand) {
  if (!item.IsRecordable()) return WriteUnrecordable(item, level);
  DropTailThatDoesNotFit(item);
  StoreAttributes(item, Lookup(item));
  if (cancelled) return -1;  // the list could not be written
  int64_t childrenOffset = -1;
  if (expand) {
    const int64_t recordOffset = directory_->WriteRecord(item, level, &childrenOffset, true);
    if (recordOffset >= 0) Remember(item, childrenOffset, recordOffset);
    return recordOffset;
  }
  childrenOffset = Lookup(item)->contentOffset;
  return directory_->WriteRecord(item, level, &childrenOffset, false);
}

int64_t SnapshotManager::WriteUnrecordable(SourceScanner& item, int32_t level) {
  ++unrecordable_;
  Report(kMessageWarning,
         platform::FormatWide(L"The path %ls is too long to be backed up and was skipped",
                              item.FullPath().c_str()));
  platform::WriteDiagnostic(L"\npath too long for a directory record: " + item.FullPath());
  // A nameless record keeps the parent's count of children right.
  int64_t noContent = -1;
  if (!item.IsFolder()) item.MarkNotStored();
  return directory_->WriteRecord(item, level, &noContent, false);
}

int64_t SnapshotManager::StoreSourceFile(SourceScanner& item, int32_t level) {
  if (!item.IsRecordable()) return WriteUnrecordable(item, level);
  DropTailThatDoesNotFit(item);
  const KeyIndex::Offsets* known = Lookup(item);
  StoreAttributes(item, known);
  if (cancelled) return -1;  // the list could not be written
  if (known != nullptr) {
    int64_t contentOffset = known->contentOffset;
    const bool sameState = known->state.SameState(item.Extension());
    const int64_t recordOffset = directory_->WriteRecord(item, level, &contentOffset, true);
    // The next snapshot compares with the state recorded now.
    if (recordOffset >= 0 && !sameState) {
      Remember(item, contentOffset, recordOffset);
      ++walked_.changedFiles;
    }
    return recordOffset;
  }
  int64_t contentOffset = store_->ContentEnd(contentFd_);
  const int64_t size = static_cast<int64_t>(item.Size());
  if (status != nullptr) {
    cancelled = status->OnFile(size, item.FullPath().c_str());
    if (!cancelled) cancelled = status->OnProgress(bytesDone, 0);
    if (cancelled) return -1;
  }
  // It may have grown past the limit since its folder was listed: record it
  // as not stored, so that the folder's count of records stays right.
  uint64_t sizeNow = 0;
  if (item.Kind() != platform::ItemKind::kPlain) {
    contentsDirty_ = true;
    contentOffset = StoreNode(item);
    if (contentOffset < 0) {
      Report(kMessageWarning,
             platform::FormatWide(L"File %ls wasn't converted, file couldn't be read or open",
                                  item.FullPath().c_str()));
      item.MarkNotStored();
      ++walked_.unreadable;
    }
  } else if (sizeLimit_ != 0 && platform::GetFileSize64(item.FullPath(), &sizeNow) &&
             sizeNow > static_cast<uint64_t>(sizeLimit_)) {
    if (status != nullptr) cancelled = status->OnFile(-1, item.FullPath().c_str());
    oversizeFiles_.push_back(item.FullPath());
    item.MarkNotStored();
  } else {
    Report(kMessageInfo, platform::FormatWide(L"Start convert, %ld bytes for %ls",
                                              static_cast<int32_t>(size), item.FullPath().c_str()));
    contentsDirty_ = true;
    SourceFile source = prefetch_ != nullptr ? prefetch_->Claim(item.FullPath()) : SourceFile{};
    // Below the source nothing is followed: an item that became a link since
    // it was listed is not read through.
    if (source.fd < 0 && level > 0) {
      source.fd = platform::OpenRegularFile(item.FullPath(), &source.size);
    }
    const int64_t stored = source.fd < 0 && level > 0
                               ? -1
                               : store_->StoreFile(item.FullPath(), contentFd_, std::move(source));
    if (stored < 0) {
      // A store the user stopped read the file well: it is no unreadable one.
      if (!cancelled) {
        Report(kMessageWarning,
               platform::FormatWide(L"File %ls wasn't converted, file couldn't be read or open",
                                    item.FullPath().c_str()));
        ++walked_.unreadable;
      }
      item.MarkNotStored();
    } else {
      contentOffset = stored;
      item.SetStoredSize(static_cast<uint64_t>(store_->LastStoredSize()));
      Report(kMessageInfo, platform::FormatWide(L"End convert for %ls", item.FullPath().c_str()));
    }
  }
  if (status != nullptr) {
    // An error the store reported has set the flag already; keep it.
    cancelled = status->OnProgress(bytesDone, static_cast<int64_t>(item.Size())) || cancelled;
    status->OnFileDone();
  }
  const int64_t recordOffset = directory_->WriteRecord(item, level, &contentOffset, true);
  // A file that was not stored is not remembered: the next snapshot retries it.
  if (recordOffset >= 0 && !item.IsNotStored()) Remember(item, contentOffset, recordOffset);
  if (!item.IsNotStored()) {
    ++walked_.changedFiles;
  } else {
    // The pre-scan counted it among the files the snapshot holds.
    ++notStoredFiles_;
    notStoredBytes_ += static_cast<int64_t>(item.Size());
  }
  bytesDone += static_cast<int64_t>(item.Size());
  return recordOffset;
}

int64_t SnapshotManager::StoreNode(SourceScanner& item) {
  std::string target;
  if (item.IsSymbolicLink()) {
    if (!platform::ReadLinkTarget(item.FullPath(), &target)) return -1;
    // The record describes the target that was stored.
    item.SetStoredSize(target.size());
  }
  return store_->StoreBytes(item.FullPath(), contentFd_, target);
}

void SnapshotManager::ReportSyncFailure(const wchar_t* diagnostic) {
  ReportWriteFailure(platform::LastError());
  platform::WriteDiagnostic(diagnostic);
}

void SnapshotManager::ReportWriteFailure(int error) {
  Report(kMessageError, platform::FormatWide(L"The backup could not be written to the drive: %ls",
                                             platform::SystemErrorText(error).c_str()));
}

bool SnapshotManager::SyncBeforePublishing(int32_t snapshotTime, const SourceRange& range) {
  // The entry is the only thing that publishes a snapshot; what it names must
  // be on the drive before it is.
  if (!directory_->Flush()) {
    ReportSyncFailure(L"\nwrite of directory records before publishing the snapshot failed");
    return false;
  }
  ReadKeysAhead(snapshotTime, range);
  // Contents written since the last sync may be named by this snapshot, even
  // when they were stored by one that was cancelled.
  const bool contentsSynced = !contentsDirty_ || (store_->FinishRecords() &&
                                                  platform::SyncFile(contentFd_) && store_->Sync());
  if (contentsSynced) contentsDirty_ = false;
  if (contentsSynced && directory_->Sync()) return true;
  ReportSyncFailure(L"\nfsync before publishing the snapshot failed");
  return false;
}

bool SnapshotManager::SyncAfterPublishing() {
  bool synced = platform::SyncFile(snapshotFd_);
  // New files are durable only once their folder entries are.
  if (synced && filesCreated_) {
    synced = platform::SyncFolder(FolderOfPath(snapshotPath_));
    if (synced) filesCreated_ = false;
  }
  if (!synced) ReportSyncFailure(L"\nfsync of the snapshot file failed");
  return synced;
}

bool SnapshotManager::WriteEntry(int32_t snapshotTime, const std::vector<SourceRange>& ranges,
                                 const std::vector<std::wstring>& sources) {
  const int32_t sourceCount = static_cast<int32_t>(sources.size());
  if (snapshot_->AppendEntry(snapshotTime, sourceCount, sources[0], ranges[0].rootOffset,
                             ranges[0].endOffset) != 0) {
    const int error = platform::LastError();
    platform::WriteDiagnostic(L"\nproblem writing to to snap file ");
    Report(kMessageError, kEntryNotWritten);
    ReportWriteFailure(error);
    return false;
  }
  for (int32_t i = 1; i < sourceCount; ++i) {
    if (snapshot_->AppendSource(sources[i], ranges[i].rootOffset, ranges[i].endOffset) != 0) {
      const int error = platform::LastError();
      platform::WriteDiagnostic(L"\nproblem writing to snap file extnesions");
      Report(kMessageError, kEntryNotWritten);
      ReportWriteFailure(error);
      return false;
    }
  }
  return true;
}

void SnapshotManager::GetTotals(uint32_t* fileCount, int64_t* totalBytes) const {
  *fileCount = includedFiles_;
  *totalBytes = includedBytes_;
}

const std::vector<std::wstring>* SnapshotManager::GetOversizeFiles() const {
  return oversizeFiles_.empty() ? nullptr : &oversizeFiles_;
}

uint32_t SnapshotManager::GetSkippedCount() const {
  return static_cast<uint32_t>(oversizeFiles_.size()) + unrecordable_;
}

int64_t SnapshotManager::StoreBytes() const {
  int64_t total = 0;
  for (const wchar_t* suffix : {L"", L".ind", L".fp", L".dir", L".snp"}) {
    uint64_t size = 0;
    if (platform::GetFileSize64(location_ + suffix, &size)) total += static_cast<int64_t>(size);
  }
  return total;
}

void SnapshotManager::AddFigures(int32_t snapshotTime, const SourceRange& range,
                                 int64_t bytesBefore) {
  SnapshotFigures figures = walked_;
  figures.snapshotTime = snapshotTime;
  figures.rootOffset = range.rootOffset;
  figures.endOffset = range.endOffset;
  figures.recorded = true;
  // The pre-scan saw every file, those in unchanged folders too; the walk
  // found some of them unreadable (or grown past the limit).
  figures.files = includedFiles_ > notStoredFiles_ ? includedFiles_ - notStoredFiles_ : 0;
  figures.bytes = std::max<int64_t>(includedBytes_ - notStoredBytes_, 0);
  figures.newBytes = std::max<int64_t>(StoreBytes() - bytesBefore, 0);
  figures.oversize = static_cast<uint32_t>(oversizeFiles_.size());
  figures.pathTooLong = unrecordable_;
  // Derived data: a failure costs only what a later count cannot know.
  figuresFile_.Append({figures});
}

std::vector<std::optional<SnapshotFigures>> SnapshotManager::ListFigures() {
  const std::vector<SnapshotFigures> known = figuresFile_.Load();
  std::vector<std::optional<SnapshotFigures>> list(snapshotTimes_.size());
  std::vector<SnapshotFigures> counted;
  for (size_t i = 0; i < list.size(); ++i) {
    if (snapshotDamaged_[i]) continue;
    const SourceRange& range = snapshotRanges_[i];
    if (const SnapshotFigures* found = SnapshotFiguresFile::Find(
            known, snapshotTimes_[i], range.rootOffset, range.endOffset)) {
      list[i] = *found;
      continue;
    }
    SnapshotFigures figures;
    figures.snapshotTime = snapshotTimes_[i];
    figures.rootOffset = range.rootOffset;
    figures.endOffset = range.endOffset;
    if (range.rootOffset != range.endOffset) {
      FileCounter counter(&figures);
      SubtreeWalk walk(*directory_, &extendedRanges_);
      // A tree that cannot be read whole has no figures to keep.
      if (!walk.Walk(range.rootOffset, 1, counter)) continue;
    }
    list[i] = figures;
    counted.push_back(figures);
  }
  if (!counted.empty()) figuresFile_.Append(counted);
  return list;
}

// ---- Browsing and restoring ------------------------------------------------

const std::vector<std::wstring>& SnapshotManager::ListSnapshots() {
  snapshotNames_.clear();
  snapshotTimes_.clear();
  snapshotSources_.clear();
  snapshotRanges_.clear();
  snapshotDamaged_.clear();
  extendedRanges_.Clear();
  snapshot_->SetDirectorySize(directory_->LogicalEnd());
  SnapEntry entry;
  int result = snapshot_->ReadEntry(0, &entry);
  if (result == -2) platform::WriteDiagnostic(L"\nSnap file is empty already reached the end");
  while (result == 0) {
    snapshotNames_.push_back(entry.damaged ? kDamagedSnapshotText
                                           : platform::CtimeText(entry.snapshotTime));
    snapshotTimes_.push_back(entry.damaged ? 0 : entry.snapshotTime);
    snapshotSources_.push_back(entry.damaged ? std::wstring() : entry.source.path);
    snapshotRanges_.push_back(SourceRange{entry.source.rootOffset, entry.source.endOffset});
    snapshotDamaged_.push_back(entry.damaged);
    if (!entry.damaged) NoteEntry(entry);
    result = snapshot_->ReadNextEntry(&entry);
  }
  if (result == -1) platform::WriteDiagnostic(L"\nError reading Snap file");
  return snapshotNames_;
}

bool SnapshotManager::Collect(int index, const std::wstring& prefix, bool withFolders) {
  listing_.clear();
  listingNodes_.clear();
  listedItems_.clear();
  listingFailed_ = false;
  if (index < 0 || static_cast<size_t>(index) >= snapshotRanges_.size()) return true;
  restoreBytes_ = 0;
  pathToRecord_.clear();
  if (IsSnapshotDamaged(index)) {
    listingFailed_ = true;
    return false;
  }
  const SourceRange& range = snapshotRanges_[static_cast<size_t>(index)];
  // A source that produced no records has an empty range: nothing to list.
  if (range.rootOffset == range.endOffset) return true;
  ListingVisitor visitor(prefix, withFolders, &listing_, &listedItems_, &pathToRecord_,
                         &restoreBytes_, &listingNodes_);
  SubtreeWalk walk(*directory_, &extendedRanges_);
  listingFailed_ = !walk.Walk(range.rootOffset, 1, visitor);
  return !listingFailed_;
}

const std::vector<std::wstring>& SnapshotManager::ListFiles(int index, const std::wstring& prefix) {
  Collect(index, prefix, false);
  return listing_;
}

const std::vector<std::wstring>& SnapshotManager::ListEntries(int index,
                                                              const std::wstring& prefix) {
  Collect(index, prefix, true);
  return listing_;
}

std::vector<std::wstring> SnapshotManager::ListingKinds() {
  std::vector<std::wstring> kinds(listing_.size());
  for (const auto& [at, entry] : listingNodes_) {
    const platform::ItemKind kind = entry.Kind();
    std::wstring& text = kinds[at];
    if (kind == platform::ItemKind::kSymbolicLink) {
      std::string target;
      text = L"link\t";
      if (store_->RestoreBytes(contentFd_, entry.contentOffset, entry.name, entry.size, &target)) {
        text += platform::DecodeName(target);
      }
    } else if (kind == platform::ItemKind::kFifo) {
      text = L"fifo";
    } else if (kind == platform::ItemKind::kSocket) {
      text = L"socket";
    } else {
      text = platform::FormatWide(kind == platform::ItemKind::kBlockDevice
                                      ? L"block device\t%u:%u"
                                      : L"character device\t%u:%u",
                                  entry.tail.deviceMajor, entry.tail.deviceMinor);
    }
  }
  return kinds;
}

std::wstring SnapshotManager::SourceOf(int index) const {
  return index >= 0 && static_cast<size_t>(index) < snapshotSources_.size()
             ? snapshotSources_[static_cast<size_t>(index)]
             : std::wstring();
}

bool SnapshotManager::IsSnapshotDamaged(int index) const {
  return index >= 0 && static_cast<size_t>(index) < snapshotDamaged_.size() &&
         snapshotDamaged_[static_cast<size_t>(index)];
}

int64_t SnapshotManager::RootOfEntry(int index) {
  SnapEntry entry;
  const int result = snapshot_->ReadEntry(index, &entry);
  if (result == -1) platform::WriteDiagnostic(L"\nproblem reading the root of file)");
  return result == 0 && !entry.damaged ? entry.source.rootOffset : -1;
}

void SnapshotManager::ReportDamagedEntry(int index) {
  Report(
      kMessageError,
      platform::FormatWide(
          L"Snapshot %d is damaged on the drive and cannot be read; run a check of the selection",
          index));
}

void SnapshotManager::ReportDamage(int index, const SubtreeWalk& walk) {
  for (const DamagedFolder& damaged : walk.Damage()) {
    // The next backup writes such a folder anew instead of pointing at them.
    store_->Damage().Add(DamageMemory::Kind::kChildren, damaged.firstChild);
    const std::wstring where =
        damaged.folder.empty() ? std::wstring(L"the top of the snapshot") : damaged.folder;
    Report(kMessageError,
           platform::FormatWide(L"Snapshot %d: %d damaged record(s) in the folder %ls; their "
                                L"files and folders cannot be restored",
                                index, damaged.records, where.c_str()));
  }
}

bool SnapshotManager::ForgetSnapshots(const std::vector<size_t>& indices) {
  std::vector<StoredSnapshot> history;
  if (!ReadSnapshotHistory(snapshotFd_, snapshotPath_, &history)) {
    Report(kMessageError, L"The snapshot file of this selection cannot be read");
    return false;
  }
  std::vector<bool> forget(history.size(), false);
  for (size_t index : indices) {
    if (index >= history.size()) {
      Report(kMessageError, platform::FormatWide(L"There is no snapshot %u in this selection",
                                                 static_cast<unsigned>(index)));
      return false;
    }
    forget[index] = true;
  }
  std::vector<StoredSnapshot> kept;
  for (size_t i = 0; i < history.size(); ++i) {
    if (forget[i]) continue;
    if (history[i].damaged) {
      Report(kMessageWarning,
             platform::FormatWide(
                 L"Snapshot %u is damaged and could not be kept in the rewritten list",
                 static_cast<unsigned>(i)));
    }
    kept.push_back(std::move(history[i]));
  }
  if (!ReplaceSnapshotHistory(snapshotPath_, kept)) {
    Report(kMessageError,
           platform::FormatWide(L"The snapshot file could not be rewritten: %ls",
                                platform::SystemErrorText(platform::LastError()).c_str()));
    return false;
  }
  // Figures of the forgotten snapshots describe nothing listed any more.
  std::vector<SnapshotFigures> figures = figuresFile_.Load();
  std::erase_if(figures, [&](const SnapshotFigures& f) {
    return std::none_of(kept.begin(), kept.end(), [&](const StoredSnapshot& snapshot) {
      return !snapshot.damaged && f.Describes(snapshot.snapshotTime, snapshot.sources[0].rootOffset,
                                              snapshot.sources[0].endOffset);
    });
  });
  figuresFile_.Rewrite(figures);
  // The old descriptor holds the replaced file; the forgotten snapshots'
  // keys go with them.
  platform::CloseFile(snapshotFd_);
  snapshotFd_ = OpenStoreFile(snapshotPath_);
  snapshot_ = std::make_unique<SnapshotFile>(snapshotFd_, snapshotPath_);
  ForgetKeys();
  open_ = snapshotFd_ >= 0;
  return true;
}

std::wstring SnapshotManager::JoinPath(const std::wstring& base, const std::wstring& path) {
  return vaultline::JoinPath(base, path);
}

bool SnapshotManager::RestoreItemUnder(int index, const std::wstring& sourceRoot,
                                       const std::wstring& relativePath, const std::wstring& target,
                                       bool flatten) {
  return RestoreItem(index, JoinPath(sourceRoot, relativePath), target, flatten);
}

bool SnapshotManager::RestoreItem(int index, const std::wstring& path, const std::wstring& target,
                                  bool flatten) {
  cancelled = false;
  ListSnapshots();
  if (IsSnapshotDamaged(index)) {
    ReportDamagedEntry(index);
    return false;
  }
  const bool whole = Collect(index, std::wstring(), false);
  auto found = pathToRecord_.find(path);
  if (found == pathToRecord_.end() && !path.empty() && path.back() == platform::kSeparator) {
    found = pathToRecord_.find(path.substr(0, path.size() - 1));
  }
  if (found == pathToRecord_.end()) {
    if (!whole) {
      Report(kMessageError,
             platform::FormatWide(L"Snapshot %d cannot be read: the catalogue of this selection "
                                  L"is damaged",
                                  index));
    }
    Report(kMessageError, platform::FormatWide(L"Path: %ls is not part of Profile", path.c_str()));
    return false;
  }
  if (status != nullptr) cancelled = status->OnTotalSize(restoreBytes_);
  if (cancelled) return false;
  return RestoreRecords(index, found->second, target, flatten);
}

bool SnapshotManager::RestoreRecords(int index, int64_t offset, const std::wstring& target,
                                     bool flatten) {
  RestoreVisitor visitor(*store_, contentFd_, *this, target, flatten,
                         {restoreConflict, restoreCountOnly});
  RestoreLookahead lookahead(visitor, *store_, contentFd_);
  SubtreeWalk walk(*directory_, &extendedRanges_);
  bool walked = walk.Walk(offset, 1, lookahead);
  // Damage does not stop the walk, nor the visits held back.
  walked = lookahead.Finish() && walked;
  // The file still being finished reports its end.
  walked = visitor.Finish() && walked;
  // Files named last and then passed over are not kept for a later restore.
  store_->ForgetExpectedRestores();
  ReportDamage(index, walk);
  return walked && !visitor.Failed() && !cancelled;
}

bool SnapshotManager::RestoreByKey(const std::wstring& path, int32_t modifyTime, int64_t size,
                                   uint32_t attributes, int32_t count, const std::wstring& target,
                                   bool flatten) {
  if (!LoadKeyIndex()) return false;
  const KeyIndex::Offsets* known = index_.Find(ItemKey(path, modifyTime, size, attributes, count));
  if (known == nullptr) return false;
  cancelled = false;
  return RestoreRecords(-1, known->recordOffset, target, flatten);
}

}  // namespace vaultline

namespace vaultline {

bool SnapshotManager::Check(bool readData, std::vector<CheckFinding>* findings) {
  cancelled = false;
  const size_t before = findings->size();
  if (readData) {
    std::vector<std::wstring> problems;
    store_->CheckData(&problems);
    for (std::wstring& problem : problems) findings->push_back({-1, L"", std::move(problem)});
  }
  ListSnapshots();
  CheckVisitor::Results results;
  for (size_t i = 0; i < snapshotNames_.size() && !cancelled; ++i) {
    const int index = static_cast<int>(i);
    if (snapshotDamaged_[i]) {
      findings->push_back({index, L"", L"the snapshot entry is damaged"});
      continue;
    }
    const SourceRange& range = snapshotRanges_[i];
    if (range.rootOffset == range.endOffset) continue;
    CheckVisitor visitor(*store_, contentFd_, *this, readData, index, &results, findings);
    SubtreeWalk walk(*directory_, &extendedRanges_);
    walk.Walk(range.rootOffset, 1, visitor);
    for (const DamagedFolder& damaged : walk.Damage()) {
      store_->Damage().Add(DamageMemory::Kind::kChildren, damaged.firstChild);
      findings->push_back(
          {index, damaged.folder,
           platform::FormatWide(L"%d damaged record(s) of its listing", damaged.records)});
    }
  }
  // An index made of records now found damaged would still point at them.
  if (findings->size() > before) keyFile_.Remove();
  for (size_t i = before; i < findings->size(); ++i) {
    const CheckFinding& finding = (*findings)[i];
    const std::wstring what =
        finding.path.empty() ? finding.what : finding.path + L": " + finding.what;
    Report(kMessageError, finding.snapshot < 0
                              ? L"The store is damaged: " + what
                              : platform::FormatWide(L"Snapshot %d is damaged: %ls",
                                                     finding.snapshot, what.c_str()));
  }
  if (status != nullptr) cancelled = status->IsCancelled() || cancelled;
  return !cancelled;
}

}  // namespace vaultline
