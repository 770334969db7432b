#include "catalogue/SnapshotTaker.h"

#include <algorithm>

#include "blockstore/BlockStore.h"
#include "blockstore/StoreContext.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/DirectoryFile.h"
#include "catalogue/KeyIndexKeeper.h"
#include "catalogue/PathJoin.h"
#include "catalogue/SnapshotFile.h"
#include "catalogue/SourceFilter.h"
#include "catalogue/SourceScanner.h"
#include "catalogue/StatusReport.h"
#include "platform/Clock.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/Text.h"
#include "vaultline/Vaultline.h"

namespace vaultline {

namespace {

constexpr const wchar_t* kEntryNotWritten =
    L"The snapshot could not be recorded in the snapshot file";

}  // namespace

SnapshotTaker::SnapshotTaker(CatalogueFiles& files, KeyIndexKeeper& keys, StoreContext& context)
    : files_(files),
      keys_(keys),
      context_(context),
      prescan_(files, keys),
      writer_(files, keys, prescan_, context) {}

bool SnapshotTaker::CheckSpace(const std::vector<std::wstring>& sources, int64_t available,
                               int64_t sizeLimit) {
  if (!keys_.Load()) return false;
  prescan_.Scan(sources, sizeLimit);
  return static_cast<double>(available) >= 0.75 * static_cast<double>(prescan_.NewBytes());
}

uint32_t SnapshotTaker::SkippedCount() const {
  return static_cast<uint32_t>(prescan_.OversizeFiles().size()) + writer_.Unrecordable();
}

bool SnapshotTaker::TakeSnapshot(const std::vector<std::wstring>& sources, int64_t sizeLimit) {
  if (!keys_.Load()) return false;
  const int32_t snapshotTime = platform::CurrentTime();
  prescan_.PrepareSnapshot(sources, sizeLimit);
  writer_.Begin(snapshotTime, sizeLimit);
  context_.cancelled = false;
  context_.bytesDone = 0;
  if (sources.empty() || !files_.HasDirectory() || files_.ContentFd() < 0 ||
      !files_.HasSnapshot()) {
    return false;
  }
  const int64_t bytesBefore = files_.Bytes();
  platform::SeekFile(files_.ContentFd(), 0, platform::SeekFrom::kEnd);
  files_.Store().ExpectNewBytes(prescan_.NewBytes());
  if (context_.status != nullptr) {
    context_.cancelled = context_.status->OnTotalSize(prescan_.NewBytes());
  }

  std::vector<SourceRange> ranges;
  bool recorded = false;
  if (!WriteSources(sources, sizeLimit, &ranges, &recorded)) return false;

  prescan_.EndSnapshot();
  writer_.CloseSources();
  bool published = false;
  if (!context_.cancelled && recorded) {
    published = Publish(snapshotTime, ranges, sources, bytesBefore);
  }
  if (!published) {
    // What a stopped backup stored is kept for the next one to build on.
    if (!files_.Directory().Flush()) keys_.Forget();
    files_.Store().FlushBlocks();
  }
  if (context_.status != nullptr) {
    context_.cancelled = context_.status->OnProgress(context_.bytesDone, 0) || context_.cancelled;
  }
  return published;
}

bool SnapshotTaker::WriteSources(const std::vector<std::wstring>& sources, int64_t sizeLimit,
                                 std::vector<SourceRange>* ranges, bool* recorded) {
  DirectoryFile& directory = files_.Directory();
  for (const std::wstring& source : sources) {
    if (context_.cancelled) break;
    platform::FindData described;
    if (!platform::DescribePath(source, &described)) {
      const int error = platform::LastError();
      ReportStatus(context_, kMessageError,
                   platform::FormatWide(L"The specified File/Directory doesn't exist, File  %s",
                                        source.c_str()));
      platform::WriteDiagnostic(L"\nfailed to get file status handle " + source +
                                L"\nthe error is " + platform::SystemErrorText(error));
      return false;
    }
    SourceScanner item(source, static_cast<uint64_t>(sizeLimit));
    SourceFilter filter(prescan_.Exclusions(), item.FullPath());
    item.SetFilter(&filter);
    const int64_t root = directory.LogicalEnd();
    int64_t written = root;
    if (!item.IsFolder() && sizeLimit != 0 && static_cast<int64_t>(item.Size()) > sizeLimit) {
      if (context_.status != nullptr) {
        context_.cancelled = context_.status->OnFile(-1, item.FullPath().c_str());
      }
    } else {
      written = writer_.WriteSource(item);
    }
    if (context_.cancelled) break;
    if (written < 0) {
      // A tree with a record missing would send restores astray: publish nothing.
      ReportStatus(context_, kMessageError,
                   platform::FormatWide(L"Errot trying to write directory file: %ls",
                                        platform::SystemErrorText(platform::LastError()).c_str()));
      keys_.Forget();
      writer_.CloseSources();
      return false;
    }
    ranges->push_back(SourceRange{root, directory.LogicalEnd()});
    if (directory.LogicalEnd() != root) *recorded = true;
  }
  return true;
}

bool SnapshotTaker::Publish(int32_t snapshotTime, const std::vector<SourceRange>& ranges,
                            const std::vector<std::wstring>& sources, int64_t bytesBefore) {
  const bool synced = SyncBeforePublishing(snapshotTime, ranges[0]);
  if (!synced) keys_.Forget();
  const bool published =
      synced && WriteEntry(snapshotTime, ranges, sources) && SyncAfterPublishing();
  if (published) {
    keys_.AddToSidecar(snapshotTime, ranges);
    AddFigures(snapshotTime, ranges[0], bytesBefore);
  }
  // Keys read ahead for a snapshot that was not published are dropped.
  keys_.DropReadAhead();
  return published;
}

void SnapshotTaker::ReportSyncFailure(const wchar_t* diagnostic) {
  ReportWriteFailure(platform::LastError());
  platform::WriteDiagnostic(diagnostic);
}

void SnapshotTaker::ReportWriteFailure(int error) {
  ReportStatus(context_, kMessageError,
               platform::FormatWide(L"The backup could not be written to the drive: %ls",
                                    platform::SystemErrorText(error).c_str()));
}

bool SnapshotTaker::SyncBeforePublishing(int32_t snapshotTime, const SourceRange& range) {
  DirectoryFile& directory = files_.Directory();
  // The entry is the only thing that publishes a snapshot; what it names must
  // be on the drive before it is.
  if (!directory.Flush()) {
    ReportSyncFailure(L"\nwrite of directory records before publishing the snapshot failed");
    return false;
  }
  keys_.ReadAhead(snapshotTime, range);
  // Contents written since the last sync may be named by this snapshot, even
  // when they were stored by one that was cancelled.
  BlockStore& store = files_.Store();
  const bool contentsSynced =
      !writer_.ContentsDirty() ||
      (store.FinishRecords() && platform::SyncFile(files_.ContentFd()) && store.Sync());
  if (contentsSynced) writer_.ContentsSynced();
  if (contentsSynced && directory.Sync()) return true;
  ReportSyncFailure(L"\nfsync before publishing the snapshot failed");
  return false;
}

bool SnapshotTaker::SyncAfterPublishing() {
  bool synced = files_.SnapshotStream().Sync();
  // New files are durable only once their folder entries are.
  if (synced && files_.FolderUnsynced()) {
    synced = platform::SyncFolder(FolderOfPath(files_.SnapshotPath()));
    if (synced) files_.FolderSynced();
  }
  if (!synced) ReportSyncFailure(L"\nfsync of the snapshot file failed");
  return synced;
}

bool SnapshotTaker::WriteEntry(int32_t snapshotTime, const std::vector<SourceRange>& ranges,
                               const std::vector<std::wstring>& sources) {
  SnapshotFile& snapshot = files_.Snapshot();
  const int32_t sourceCount = static_cast<int32_t>(sources.size());
  if (snapshot.AppendEntry(snapshotTime, sourceCount, sources[0], ranges[0].rootOffset,
                           ranges[0].endOffset) != 0) {
    const int error = platform::LastError();
    platform::WriteDiagnostic(L"\nproblem writing to to snap file ");
    ReportStatus(context_, kMessageError, kEntryNotWritten);
    ReportWriteFailure(error);
    return false;
  }
  for (int32_t i = 1; i < sourceCount; ++i) {
    if (snapshot.AppendSource(sources[i], ranges[i].rootOffset, ranges[i].endOffset) != 0) {
      const int error = platform::LastError();
      platform::WriteDiagnostic(L"\nproblem writing to snap file extnesions");
      ReportStatus(context_, kMessageError, kEntryNotWritten);
      ReportWriteFailure(error);
      return false;
    }
  }
  return true;
}

void SnapshotTaker::AddFigures(int32_t snapshotTime, const SourceRange& range,
                               int64_t bytesBefore) {
  SnapshotFigures figures = writer_.Walked();
  figures.snapshotTime = snapshotTime;
  figures.rootOffset = range.rootOffset;
  figures.endOffset = range.endOffset;
  figures.recorded = true;
  // The pre-scan saw every file, those in unchanged folders too; the walk
  // found some of them unreadable (or grown past the limit).
  const uint32_t files = prescan_.IncludedFiles();
  figures.files = files > writer_.NotStoredFiles() ? files - writer_.NotStoredFiles() : 0;
  figures.bytes = std::max<int64_t>(prescan_.IncludedBytes() - writer_.NotStoredBytes(), 0);
  figures.newBytes = std::max<int64_t>(files_.Bytes() - bytesBefore, 0);
  figures.oversize = static_cast<uint32_t>(prescan_.OversizeFiles().size());
  figures.pathTooLong = writer_.Unrecordable();
  // Derived data: a failure costs only what a later count cannot know.
  files_.Figures().Append({figures});
}

}  // namespace vaultline
