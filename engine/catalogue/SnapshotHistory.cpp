#include "catalogue/SnapshotHistory.h"

#include "blockstore/RecordFileOpener.h"
#include "catalogue/PathJoin.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

namespace vaultline {

bool ReadSnapshotHistory(RecordStream& stream, const std::wstring& ownPath,
                         std::vector<StoredSnapshot>* history) {
  history->clear();
  SnapshotFile file(stream, ownPath);
  SnapEntry entry;
  int result = file.ReadEntry(0, &entry);
  while (result == 0) {
    StoredSnapshot snapshot;
    snapshot.damaged = entry.damaged;
    snapshot.extended = entry.extended;
    snapshot.snapshotTime = entry.snapshotTime;
    if (!entry.damaged) {
      snapshot.sources.push_back(entry.source);
      SnapSource source;
      while (file.ReadNextSource(&source) == 0) snapshot.sources.push_back(source);
    }
    history->push_back(std::move(snapshot));
    result = file.ReadNextEntry(&entry);
  }
  return result != -1;
}

bool WriteSnapshotHistory(const std::wstring& path, const std::wstring& ownPath,
                          const std::vector<StoredSnapshot>& history) {
  platform::DeleteFile(path);
  std::unique_ptr<RecordStream> stream =
      RecordFileOpener().Open(path, RecordFileOpener::Kind::kSnapshots, true);
  if (stream == nullptr) return false;
  bool written = true;
  {
    SnapshotFile file(*stream, ownPath);
    for (const StoredSnapshot& snapshot : history) {
      if (snapshot.damaged) continue;
      const SnapSource& first = snapshot.sources.front();
      written =
          file.AppendEntry(snapshot.snapshotTime, static_cast<int32_t>(snapshot.sources.size()),
                           first.path, first.rootOffset, first.endOffset) == 0;
      for (size_t i = 1; written && i < snapshot.sources.size(); ++i) {
        const SnapSource& source = snapshot.sources[i];
        written = file.AppendSource(source.path, source.rootOffset, source.endOffset) == 0;
      }
      if (!written) break;
    }
  }
  written = written && stream->Sync();
  stream.reset();
  if (!written) platform::DeleteFile(path);
  return written;
}

bool ReplaceSnapshotHistory(const std::wstring& path, const std::vector<StoredSnapshot>& history) {
  const std::wstring beside = path + L".new";
  if (!WriteSnapshotHistory(beside, path, history)) {
    platform::WriteDiagnostic(L"\nfailed to write the new snapshot file " + beside);
    return false;
  }
  if (!platform::RenameFile(beside, path)) {
    platform::DeleteFile(beside);
    platform::WriteDiagnostic(L"\nfailed to put the new snapshot file in place " + path);
    return false;
  }
  return platform::SyncFolder(FolderOfPath(path));
}

}  // namespace vaultline
