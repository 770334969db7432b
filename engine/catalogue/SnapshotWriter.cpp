#include "catalogue/SnapshotWriter.h"

#include <algorithm>

#include "blockstore/BlockStore.h"
#include "blockstore/StoreContext.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/DirectoryFile.h"
#include "catalogue/KeyIndexKeeper.h"
#include "catalogue/SourcePrefetch.h"
#include "catalogue/SourcePrescan.h"
#include "catalogue/SourceScanner.h"
#include "catalogue/StatusReport.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/Format.h"
#include "platform/LinksAndNodes.h"
#include "platform/Path.h"
#include "vaultline/Vaultline.h"

namespace vaultline {

namespace {

// Files to be stored are asked for a batch at a time, the next batch when
// fewer than kPrefetchSlack are left ahead of the walk.
constexpr size_t kPrefetchFiles = 32;
constexpr uint64_t kPrefetchBytes = uint64_t{8} << 20;
constexpr size_t kPrefetchSlack = 8;

}  // namespace

SnapshotWriter::SnapshotWriter(CatalogueFiles& files, KeyIndexKeeper& keys, SourcePrescan& prescan,
                               StoreContext& context)
    : files_(files), keys_(keys), prescan_(prescan), context_(context) {}

SnapshotWriter::~SnapshotWriter() = default;

void SnapshotWriter::Report(int level, const std::wstring& text) {
  ReportStatus(context_, level, text);
}

void SnapshotWriter::Begin(int32_t snapshotTime, int64_t sizeLimit) {
  snapshotTime_ = snapshotTime;
  sizeLimit_ = sizeLimit;
  // Lists and contents that a snapshot which failed may have lost are not
  // pointed at.
  storedLists_.clear();
  // Files opened ahead for a walk that ended early may have been replaced
  // since.
  prefetch_.reset();
  unrecordable_ = 0;
  walked_ = SnapshotFigures();
  notStoredFiles_ = 0;
  notStoredBytes_ = 0;
}

int64_t SnapshotWriter::WriteSource(SourceScanner& item) {
  return item.IsFolder() ? WriteTree(item, 0) : StoreSourceFile(item, 0);
}

void SnapshotWriter::CloseSources() {
  prefetch_.reset();
  files_.Store().ReleaseSources();
}

void SnapshotWriter::Remember(SourceScanner& item, int64_t contentOffset, int64_t recordOffset) {
  keys_.Remember(item, contentOffset, recordOffset, snapshotTime_);
}

int64_t SnapshotWriter::WriteTree(SourceScanner& folder, int32_t level) {
  prescan_.UseKeptListing(folder);
  // A folder that changed after the pre-scan has no record to point at.
  const bool expand = prescan_.Changed(folder.FullPath()) || keys_.Lookup(folder) == nullptr;
  const int64_t recordOffset = WriteFolder(folder, level, expand);
  if (recordOffset < 0 || !expand || !folder.IsRecordable()) return recordOffset;
  if (!WalkChildren(folder, level)) return -1;
  keys_.EndListing(folder, recordOffset, files_.Directory().LogicalEnd());
  return recordOffset;
}

bool SnapshotWriter::WalkChildren(SourceScanner& folder, int32_t level) {
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
    if (context_.cancelled || written < 0) return false;
  }
  return true;
}

size_t SnapshotWriter::PrefetchFiles(const SourceScanner& folder,
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
    if (!prescan_.Changed(path)) continue;  // its contents are stored already
    bytes += entry.size;
    paths.push_back(std::move(path));
  }
  if (prefetch_ == nullptr) prefetch_ = std::make_unique<SourcePrefetch>(files_.Threads());
  prefetch_->Ahead(std::move(paths));
  return next;
}

void SnapshotWriter::DropTailThatDoesNotFit(SourceScanner& item) {
  if (!item.HasTail() || item.TailFits()) return;
  Report(kMessageWarning,
         platform::FormatWide(L"The path %ls is too long to keep its mode bits, owner and "
                              L"attributes; it was backed up without them",
                              item.FullPath().c_str()));
  item.DropTail();
}

void SnapshotWriter::StoreAttributes(SourceScanner& item, const KeyIndex::Offsets* known) {
  if (!item.HasTail()) return;
  if (item.AttributesUnreadable()) {
    Report(kMessageWarning,
           platform::FormatWide(L"The extended attributes of %ls could not be read; it was backed "
                                L"up without them",
                                item.FullPath().c_str()));
  }
  BlockStore& store = files_.Store();
  // Most items share their owner and attributes with many others: each list
  // is stored once, and an unchanged item points at its earlier one.
  std::string bytes = item.ItemAttributes().Encode();
  auto stored = storedLists_.find(bytes);
  if (stored == storedLists_.end() && known != nullptr && known->state.attributesOffset >= 0 &&
      known->state.SameState(item.Extension()) &&
      !store.IsDamaged(DamageMemory::Kind::kContent, known->state.attributesOffset)) {
    stored = storedLists_.emplace(std::move(bytes), known->state.attributesOffset).first;
  } else if (stored == storedLists_.end()) {
    contentsDirty_ = true;
    const int64_t offset = store.StoreBytes(std::wstring(), files_.ContentFd(), bytes);
    if (offset < 0) {
      item.DropTail();  // the store has said why
      return;
    }
    stored = storedLists_.emplace(std::move(bytes), offset).first;
  }
  item.SetAttributesOffset(stored->second);
}

int64_t SnapshotWriter::WriteFolder(SourceScanner& item, int32_t level, bool expand) {
  if (!item.IsRecordable()) return WriteUnrecordable(item, level);
  DropTailThatDoesNotFit(item);
  StoreAttributes(item, keys_.Lookup(item));
  if (context_.cancelled) return -1;  // the list could not be written
  DirectoryFile& directory = files_.Directory();
  int64_t childrenOffset = -1;
  if (expand) {
    const int64_t recordOffset = directory.WriteRecord(item, level, &childrenOffset, true);
    if (recordOffset >= 0) Remember(item, childrenOffset, recordOffset);
    return recordOffset;
  }
  childrenOffset = keys_.Lookup(item)->contentOffset;
  return directory.WriteRecord(item, level, &childrenOffset, false);
}

int64_t SnapshotWriter::WriteUnrecordable(SourceScanner& item, int32_t level) {
  ++unrecordable_;
  Report(kMessageWarning,
         platform::FormatWide(L"The path %ls is too long to be backed up and was skipped",
                              item.FullPath().c_str()));
  platform::WriteDiagnostic(L"\npath too long for a directory record: " + item.FullPath());
  // A nameless record keeps the parent's count of children right.
  int64_t noContent = -1;
  if (!item.IsFolder()) item.MarkNotStored();
  return files_.Directory().WriteRecord(item, level, &noContent, false);
}

int64_t SnapshotWriter::StoreSourceFile(SourceScanner& item, int32_t level) {
  if (!item.IsRecordable()) return WriteUnrecordable(item, level);
  DropTailThatDoesNotFit(item);
  const KeyIndex::Offsets* known = keys_.Lookup(item);
  StoreAttributes(item, known);
  if (context_.cancelled) return -1;  // the list could not be written
  DirectoryFile& directory = files_.Directory();
  if (known != nullptr) {
    int64_t contentOffset = known->contentOffset;
    const bool sameState = known->state.SameState(item.Extension());
    const int64_t recordOffset = directory.WriteRecord(item, level, &contentOffset, true);
    // The next snapshot compares with the state recorded now.
    if (recordOffset >= 0 && !sameState) {
      Remember(item, contentOffset, recordOffset);
      ++walked_.changedFiles;
    }
    return recordOffset;
  }
  int64_t contentOffset = files_.Store().ContentEnd(files_.ContentFd());
  const int64_t size = static_cast<int64_t>(item.Size());
  IBackupRestoreStatus* status = context_.status;
  if (status != nullptr) {
    context_.cancelled = status->OnFile(size, item.FullPath().c_str());
    if (!context_.cancelled) context_.cancelled = status->OnProgress(context_.bytesDone, 0);
    if (context_.cancelled) return -1;
  }
  StoreContents(item, level, &contentOffset);
  if (status != nullptr) {
    // An error the store reported has set the flag already; keep it.
    context_.cancelled =
        status->OnProgress(context_.bytesDone, static_cast<int64_t>(item.Size())) ||
        context_.cancelled;
    status->OnFileDone();
  }
  const int64_t recordOffset = directory.WriteRecord(item, level, &contentOffset, true);
  // A file that was not stored is not remembered: the next snapshot retries it.
  if (recordOffset >= 0 && !item.IsNotStored()) Remember(item, contentOffset, recordOffset);
  if (!item.IsNotStored()) {
    ++walked_.changedFiles;
  } else {
    // The pre-scan counted it among the files the snapshot holds.
    ++notStoredFiles_;
    notStoredBytes_ += static_cast<int64_t>(item.Size());
  }
  context_.bytesDone += static_cast<int64_t>(item.Size());
  return recordOffset;
}

void SnapshotWriter::StoreContents(SourceScanner& item, int32_t level, int64_t* contentOffset) {
  const int64_t size = static_cast<int64_t>(item.Size());
  // It may have grown past the limit since its folder was listed: record it
  // as not stored, so that the folder's count of records stays right.
  uint64_t sizeNow = 0;
  if (item.Kind() != platform::ItemKind::kPlain) {
    contentsDirty_ = true;
    *contentOffset = StoreNode(item);
    if (*contentOffset < 0) {
      Report(kMessageWarning,
             platform::FormatWide(L"File %ls wasn't converted, file couldn't be read or open",
                                  item.FullPath().c_str()));
      item.MarkNotStored();
      ++walked_.unreadable;
    }
  } else if (sizeLimit_ != 0 && platform::GetFileSize64(item.FullPath(), &sizeNow) &&
             sizeNow > static_cast<uint64_t>(sizeLimit_)) {
    if (context_.status != nullptr) {
      context_.cancelled = context_.status->OnFile(-1, item.FullPath().c_str());
    }
    prescan_.AddOversize(item.FullPath());
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
    BlockStore& store = files_.Store();
    const int64_t stored =
        source.fd < 0 && level > 0
            ? -1
            : store.StoreFile(item.FullPath(), files_.ContentFd(), std::move(source));
    if (stored < 0) {
      // A store the user stopped read the file well: it is no unreadable one.
      if (!context_.cancelled) {
        Report(kMessageWarning,
               platform::FormatWide(L"File %ls wasn't converted, file couldn't be read or open",
                                    item.FullPath().c_str()));
        ++walked_.unreadable;
      }
      item.MarkNotStored();
    } else {
      *contentOffset = stored;
      item.SetStoredSize(static_cast<uint64_t>(store.LastStoredSize()));
      Report(kMessageInfo, platform::FormatWide(L"End convert for %ls", item.FullPath().c_str()));
    }
  }
}

int64_t SnapshotWriter::StoreNode(SourceScanner& item) {
  std::string target;
  if (item.IsSymbolicLink()) {
    if (!platform::ReadLinkTarget(item.FullPath(), &target)) return -1;
    // The record describes the target that was stored.
    item.SetStoredSize(target.size());
  }
  return files_.Store().StoreBytes(item.FullPath(), files_.ContentFd(), target);
}

}  // namespace vaultline
