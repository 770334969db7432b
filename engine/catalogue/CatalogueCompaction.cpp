#include "catalogue/CatalogueCompaction.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "blockstore/RecordFileOpener.h"
#include "blockstore/StoreCopy.h"
#include "catalogue/DirectoryFile.h"
#include "catalogue/ExtendedRanges.h"
#include "catalogue/SnapshotFiguresFile.h"
#include "catalogue/SubtreeWalk.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "vaultline/Vaultline.h"

namespace vaultline {

namespace {

constexpr int64_t kProgressStep = 1 << 20;

enum FileIndex { kData, kIndex, kContent, kDirectory, kSnapshot, kFigures };

// Every directory record a snapshot's trees read, in the order first read,
// and the content records of their stored files and attribute lists.
class ReferenceVisitor : public RecordVisitor {
 public:
  ReferenceVisitor(std::vector<int64_t>* records, std::map<int64_t, int64_t>* contents)
      : records_(records), contents_(contents) {}
  void ReadRecord(const DirEntry& entry, int64_t offset) override {
    if (seen_.insert(offset).second) records_->push_back(offset);
    if (entry.HasTail() && entry.tail.attributesOffset >= 0) {
      contents_->emplace(entry.tail.attributesOffset, 0);
    }
  }
  bool VisitFile(const DirEntry& entry, int64_t /*offset*/) override {
    contents_->emplace(entry.contentOffset, 0);
    return true;
  }
  bool EnterFolder(const DirEntry& /*entry*/, int64_t /*offset*/) override { return true; }
  bool LeaveFolder(const DirEntry& /*entry*/) override { return true; }

 private:
  std::vector<int64_t>* records_;
  std::map<int64_t, int64_t>* contents_;
  std::unordered_set<int64_t> seen_;
};

int OpenStoreFile(const std::wstring& path) {
  return platform::OpenFile(path, platform::OpenMode::kReadWriteStore);
}

// A new, empty file at `path`.
int CreateStagedFile(const std::wstring& path) {
  platform::DeleteFile(path);
  return OpenStoreFile(path);
}

// A new, empty record file at `path`.
std::unique_ptr<RecordStream> CreateStagedStream(const std::wstring& path,
                                                 RecordFileOpener::Kind kind) {
  platform::DeleteFile(path);
  return RecordFileOpener().Open(path, kind, true);
}

bool SyncAndClose(int fd) {
  const bool synced = fd >= 0 && platform::SyncFile(fd);
  if (fd >= 0) platform::CloseFile(fd);
  return synced;
}

// Kept items in their old order, each `bytes(length)` long in the new file.
template <typename Lengths, typename Bytes>
void Number(const Lengths& lengths, Bytes bytes, std::vector<int64_t>* oldOffsets,
            std::vector<int64_t>* newOffsets, int64_t* newEnd) {
  int64_t next = 0;
  for (const auto& [offset, length] : lengths) {
    oldOffsets->push_back(offset);
    newOffsets->push_back(next);
    next += bytes(length);
  }
  *newEnd = next;
}

}  // namespace

int64_t CatalogueCompaction::Renumbering::operator()(int64_t oldOffset) const {
  const auto found = std::lower_bound(oldOffsets.begin(), oldOffsets.end(), oldOffset);
  return found == oldOffsets.end() ? newEnd : newOffsets[found - oldOffsets.begin()];
}

CatalogueCompaction::CatalogueCompaction(std::wstring location, IBackupRestoreStatus* status)
    : location_(std::move(location)), status_(status), switch_(location_) {}

CatalogueCompaction::~CatalogueCompaction() {
  if (contentFd_ >= 0) platform::CloseFile(contentFd_);
}

void CatalogueCompaction::ReportDamage(const std::wstring& what) {
  platform::WriteDiagnostic(L"\ncompaction stopped by damage: " + what);
  if (status_ == nullptr) return;
  const std::wstring text = platform::FormatWide(
      L"The selection was not compacted: %ls is damaged. Forget the snapshots that hold it, "
      L"then compact again",
      what.c_str());
  status_->OnMessage(kMessageError, text.c_str());
}

void CatalogueCompaction::ReportWriteFailure(const std::wstring& file) {
  ReportWriteFailure(file, platform::LastError());
}

void CatalogueCompaction::ReportWriteFailure(const std::wstring& file, int error) {
  platform::WriteDiagnostic(L"\ncompaction failed to write " + file);
  if (status_ == nullptr) return;
  const std::wstring text = platform::FormatWide(
      L"The selection was not compacted: %ls could not be written (%ls); nothing was changed",
      file.c_str(), platform::SystemErrorText(error).c_str());
  status_->OnMessage(kMessageError, text.c_str());
}

bool CatalogueCompaction::OpenOldFiles() {
  const std::vector<std::wstring>& files = switch_.Files();
  data_ = RecordFileOpener().Open(files[kData], RecordFileOpener::Kind::kData, true);
  contentFd_ = OpenStoreFile(files[kContent]);
  directory_ = RecordFileOpener().Open(files[kDirectory], RecordFileOpener::Kind::kDirectory, true);
  snapshot_ = RecordFileOpener().Open(files[kSnapshot], RecordFileOpener::Kind::kSnapshots, true);
  currentBytes_ = 0;
  for (int file = kData; file <= kSnapshot; ++file) {
    uint64_t size = 0;
    if (platform::GetFileSize64(files[file], &size)) currentBytes_ += static_cast<int64_t>(size);
  }
  if (data_ == nullptr || contentFd_ < 0 || directory_ == nullptr || snapshot_ == nullptr) {
    ReportDamage(L"a file of its store");
    return false;
  }
  return true;
}

bool CatalogueCompaction::Plan() {
  if (!OpenOldFiles()) return false;
  if (!ReadSnapshotHistory(*snapshot_, switch_.Files()[kSnapshot], &history_)) {
    ReportDamage(L"the snapshot file");
    return false;
  }
  return MarkRecords() && MeasureContents() && MeasureBlocks();
}

bool CatalogueCompaction::MarkRecords() {
  DirectoryFile directory(*directory_);
  records_.clear();
  ReferenceVisitor visitor(&records_, &contentLengths_);
  ExtendedRanges extended;
  for (const StoredSnapshot& snapshot : history_) {
    if (snapshot.extended) {
      for (const SnapSource& source : snapshot.sources) {
        extended.Add(source.rootOffset, source.endOffset);
      }
    }
  }
  // Records go in the order the snapshots' walks first read them. Where no
  // snapshot was forgotten that is their old order. A kept snapshot that
  // points at a listing of a forgotten one gets that listing copied in
  // behind the folder that points at it, inside its own range: the key index
  // is made of what the snapshots' ranges hold, and a listing left outside
  // every range would make the next backup store all it lists again.
  // A damaged entry has nothing to keep; the new snapshot file drops it.
  renumbered_ = history_;
  for (size_t i = 0; i < history_.size(); ++i) {
    for (size_t k = 0; k < history_[i].sources.size(); ++k) {
      const SnapSource& source = history_[i].sources[k];
      if (source.rootOffset != source.endOffset) {  // else nothing was recorded
        SubtreeWalk walk(directory, &extended);
        if (!walk.Walk(source.rootOffset, 1, visitor)) {
          ReportDamage(
              platform::FormatWide(L"the catalogue of snapshot %u", static_cast<unsigned>(i)));
          return false;
        }
      }
      renumbered_[i].sources[k].endOffset = static_cast<int64_t>(records_.size()) * kDirRecordSize;
    }
  }
  std::vector<std::pair<int64_t, int64_t>> numbers;
  for (size_t i = 0; i < records_.size(); ++i) {
    numbers.emplace_back(records_[i], static_cast<int64_t>(i) * kDirRecordSize);
  }
  std::sort(numbers.begin(), numbers.end());
  recordNumbers_ = {};
  for (const auto& [oldOffset, newOffset] : numbers) {
    recordNumbers_.oldOffsets.push_back(oldOffset);
    recordNumbers_.newOffsets.push_back(newOffset);
  }
  recordNumbers_.newEnd = static_cast<int64_t>(records_.size()) * kDirRecordSize;
  for (size_t i = 0; i < history_.size(); ++i) {
    for (size_t k = 0; k < history_[i].sources.size(); ++k) {
      const SnapSource& source = history_[i].sources[k];
      SnapSource& renumbered = renumbered_[i].sources[k];
      renumbered.rootOffset = source.rootOffset == source.endOffset
                                  ? renumbered.endOffset
                                  : recordNumbers_(source.rootOffset);
    }
  }
  return true;
}

bool CatalogueCompaction::MeasureContents() {
  const int64_t contentEnd = platform::FileSizeOf(contentFd_);
  StoreCopy store(*data_, contentFd_);
  for (auto& [offset, length] : contentLengths_) {
    std::wstring owner;
    length = store.MeasureContent(offset, contentEnd, &blockLengths_, &owner);
    if (length < 0) {
      ReportDamage(length == -1
                       ? platform::FormatWide(L"the stored contents at offset %I64d", offset)
                       : L"the stored contents of " + owner);
      return false;
    }
  }
  contentNumbers_ = {};
  Number(
      contentLengths_, [](int64_t length) { return length; }, &contentNumbers_.oldOffsets,
      &contentNumbers_.newOffsets, &contentNumbers_.newEnd);
  return true;
}

bool CatalogueCompaction::MeasureBlocks() {
  StoreCopy store(*data_, contentFd_);
  for (auto& [position, length] : blockLengths_) {
    length = store.BlockLength(position);
    if (length < 0) {
      ReportDamage(platform::FormatWide(L"the stored block at offset %I64d", position));
      return false;
    }
  }
  blockNumbers_ = {};
  Number(blockLengths_, StoreCopy::BlockBytes, &blockNumbers_.oldOffsets, &blockNumbers_.newOffsets,
         &blockNumbers_.newEnd);
  return true;
}

int64_t CatalogueCompaction::KeptBytes() const {
  int64_t snapshots = 0;
  for (const StoredSnapshot& snapshot : history_) {
    if (snapshot.damaged) continue;
    snapshots += static_cast<int64_t>(sizeof(SnapEntryRecord)) +
                 static_cast<int64_t>(snapshot.sources.size() - 1) *
                     static_cast<int64_t>(sizeof(SnapSourceRecord));
  }
  return blockNumbers_.newEnd +
         static_cast<int64_t>(blockLengths_.size()) * StoreCopy::IndexBytes() +
         contentNumbers_.newEnd + recordNumbers_.newEnd + snapshots;
}

bool CatalogueCompaction::Progress(int64_t bytes) {
  done_ += bytes;
  if (status_ == nullptr || done_ - reported_ < kProgressStep) return true;
  reported_ = done_;
  return !status_->OnProgress(done_, 0) && !status_->IsCancelled();
}

bool CatalogueCompaction::Run() {
  done_ = 0;
  reported_ = 0;
  if (status_ != nullptr && status_->OnTotalSize(KeptBytes())) return false;
  if (!switch_.PrepareStaging()) {
    ReportWriteFailure(switch_.StagedPath(L"compact-new"));
    return false;
  }
  const bool written = WriteBlocks() && WriteContents() && WriteRecords() && WriteSnapshots();
  if (!written) {
    switch_.Discard();
    return false;
  }
  if (status_ != nullptr && status_->IsCancelled()) {
    switch_.Discard();
    return false;
  }
  if (!switch_.Commit()) {
    ReportWriteFailure(location_);
    return false;
  }
  if (status_ != nullptr) status_->OnProgress(done_, 0);
  return true;
}

bool CatalogueCompaction::WriteBlocks() {
  const std::wstring& dataPath = switch_.Files()[kData];
  const std::wstring& indexPath = switch_.Files()[kIndex];
  const std::unique_ptr<RecordStream> newData =
      CreateStagedStream(switch_.StagedPath(dataPath), RecordFileOpener::Kind::kData);
  const std::unique_ptr<RecordStream> newIndex =
      CreateStagedStream(switch_.StagedPath(indexPath), RecordFileOpener::Kind::kIndex);
  bool written = newData != nullptr && newIndex != nullptr;
  if (written) {
    int64_t damagedAt = -1;
    StoreCopy store(*data_, contentFd_);
    switch (store.CopyBlocks(
        blockLengths_, blockNumbers_.newOffsets, *newData, *newIndex,
        [this](int64_t bytes) { return Progress(bytes); }, &damagedAt)) {
      case StoreCopy::BlocksCopied::kAll:
        break;
      case StoreCopy::BlocksCopied::kDamaged:
        ReportDamage(platform::FormatWide(L"the stored block at offset %I64d", damagedAt));
        written = false;
        break;
      case StoreCopy::BlocksCopied::kDataNotWritten:
        ReportWriteFailure(dataPath, store.Error());
        written = false;
        break;
      case StoreCopy::BlocksCopied::kIndexNotWritten:
        ReportWriteFailure(indexPath, store.Error());
        written = false;
        break;
      case StoreCopy::BlocksCopied::kStopped:
        written = false;
        break;
    }
  }
  // Both are synced, whatever the other did.
  const bool dataSynced = newData != nullptr && newData->Sync();
  const bool indexSynced = newIndex != nullptr && newIndex->Sync();
  return written && dataSynced && indexSynced;
}

bool CatalogueCompaction::WriteContents() {
  const std::wstring& contentPath = switch_.Files()[kContent];
  const int newContent = CreateStagedFile(switch_.StagedPath(contentPath));
  bool written = newContent >= 0;
  if (written) {
    written = StoreCopy(*data_, contentFd_)
                  .CopyContents(
                      contentLengths_, newContent,
                      [this](int64_t position) { return blockNumbers_(position); },
                      [this](int64_t bytes) { return Progress(bytes); });
  }
  if (newContent >= 0 && written && platform::FileSizeOf(newContent) != contentNumbers_.newEnd) {
    platform::WriteDiagnostic(L"\ncompacted content file has an unexpected size");
    written = false;
  }
  if (!written && (status_ == nullptr || !status_->IsCancelled())) ReportWriteFailure(contentPath);
  return SyncAndClose(newContent) && written;
}

bool CatalogueCompaction::WriteRecords() {
  const std::wstring& directoryPath = switch_.Files()[kDirectory];
  const std::unique_ptr<RecordStream> newDirectory =
      CreateStagedStream(switch_.StagedPath(directoryPath), RecordFileOpener::Kind::kDirectory);
  bool written = newDirectory != nullptr;
  if (written) {
    DirectoryFile source(*directory_);
    DirectoryFile target(*newDirectory, &threads_);
    DirEntry entry;
    for (size_t i = 0; written && i < records_.size(); ++i) {
      if (source.ReadRecordAt(records_[i], &entry) < 0) {
        ReportDamage(L"the directory file");
        written = false;
        break;
      }
      // Negative offsets mean "none" (nameless records); anything else
      // moves with what it points at.
      const int64_t newOffset = static_cast<int64_t>(i) * kDirRecordSize;
      if (entry.contentOffset >= 0 && !entry.IsFolder()) {
        entry.contentOffset = contentNumbers_(entry.contentOffset);
      } else if (entry.contentOffset >= 0) {
        // An empty folder points where its children would begin, as a
        // backup writes it: at the record behind its own.
        entry.contentOffset =
            entry.count > 0 ? recordNumbers_(entry.contentOffset) : newOffset + kDirRecordSize;
      }
      if (entry.HasTail() && entry.tail.attributesOffset >= 0) {
        entry.tail.attributesOffset = contentNumbers_(entry.tail.attributesOffset);
      }
      if (target.AppendRecord(entry) != newOffset) {
        ReportWriteFailure(directoryPath);
        written = false;
      }
      if (written && !Progress(kDirRecordSize)) written = false;
    }
    if (written && !target.Flush()) {
      ReportWriteFailure(directoryPath);
      written = false;
    }
  }
  return newDirectory != nullptr && newDirectory->Sync() && written;
}

bool CatalogueCompaction::WriteSnapshots() {
  const std::wstring& snapshotPath = switch_.Files()[kSnapshot];
  if (!WriteSnapshotHistory(switch_.StagedPath(snapshotPath), snapshotPath, renumbered_)) {
    ReportWriteFailure(snapshotPath);
    return false;
  }
  WriteFigures();
  return true;
}

void CatalogueCompaction::WriteFigures() {
  const std::wstring& figuresPath = switch_.Files()[kFigures];
  const std::vector<SnapshotFigures> known = SnapshotFiguresFile(figuresPath).Load();
  if (known.empty()) return;
  // What a backup recorded of its snapshot stays true of it; only the range
  // that names the snapshot moves.
  std::vector<SnapshotFigures> kept;
  for (size_t i = 0; i < history_.size(); ++i) {
    if (history_[i].damaged) continue;
    const SnapSource& before = history_[i].sources.front();
    const SnapshotFigures* found = SnapshotFiguresFile::Find(known, history_[i].snapshotTime,
                                                             before.rootOffset, before.endOffset);
    if (found == nullptr) continue;
    SnapshotFigures figures = *found;
    figures.rootOffset = renumbered_[i].sources.front().rootOffset;
    figures.endOffset = renumbered_[i].sources.front().endOffset;
    kept.push_back(figures);
  }
  // Derived data: without it the old file stays, naming no snapshot.
  SnapshotFiguresFile(switch_.StagedPath(figuresPath)).Rewrite(kept);
}

}  // namespace vaultline
