// The files of one selection's catalogue, opened together: the content
// file, the directory file and the snapshot file, the block store beside
// them, and the figures sidecar. It also holds which stretches of the
// directory file hold extended records, as the last read of the snapshot
// file found them: every walk of the directory file needs them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "catalogue/ExtendedRanges.h"
#include "catalogue/SnapshotFiguresFile.h"
#include "catalogue/SubtreeWalk.h"
#include "util/RecordStream.h"

namespace vaultline {

class BlockStore;
class DirectoryFile;
class SnapshotFile;
class ThreadPlan;
struct SnapEntry;

class CatalogueFiles {
 public:
  // Opens (creating if missing) the three files; IsOpen tells whether they
  // and the store opened.
  CatalogueFiles(const std::wstring& contentPath, const std::wstring& directoryPath,
                 std::wstring snapshotPath, std::unique_ptr<BlockStore> store);
  ~CatalogueFiles();
  CatalogueFiles(const CatalogueFiles&) = delete;
  CatalogueFiles& operator=(const CatalogueFiles&) = delete;

  bool IsOpen() const { return open_; }
  // The store's helper threads, which the catalogue's own use as well.
  ThreadPlan& Threads() const { return *threads_; }
  bool HasStore() const { return store_ != nullptr; }
  BlockStore& Store() const { return *store_; }
  int ContentFd() const { return contentFd_; }
  bool HasDirectory() const { return directoryStream_ != nullptr; }
  RecordStream& DirectoryStream() const { return *directoryStream_; }
  bool HasSnapshot() const { return snapshotStream_ != nullptr; }
  RecordStream& SnapshotStream() const { return *snapshotStream_; }
  DirectoryFile& Directory() const { return *directory_; }
  SnapshotFile& Snapshot() const { return *snapshot_; }
  const std::wstring& SnapshotPath() const { return snapshotPath_; }
  // The data file's path, which the names of the others extend.
  const std::wstring& Location() const { return location_; }
  SnapshotFiguresFile& Figures() { return figuresFile_; }

  // True until the first snapshot synced the folder: files opened empty may
  // have been created by an earlier open (a listing creates them too) whose
  // folder entries were never synced.
  bool FolderUnsynced() const { return filesCreated_; }
  void FolderSynced() { filesCreated_ = false; }
  // Opens the snapshot file again after it was replaced by a rewrite.
  void ReopenSnapshotFile();

  ExtendedRanges& Extended() { return extendedRanges_; }
  // Notes the stretch a sound entry covers when it was written extended.
  void NoteEntry(const SnapEntry& entry);
  // A walk of the directory file that knows the extended stretches.
  SubtreeWalk NewWalk() { return SubtreeWalk(*directory_, &extendedRanges_); }

  // Bytes of the selection's five files now.
  int64_t Bytes() const;

 private:
  std::unique_ptr<SnapshotFile> NewSnapshotFile();
  // What stands for a record file that could not be opened.
  RecordStream& Unopened();

  // Declared first, so that the helpers outlive everything that hands them
  // work.
  std::shared_ptr<ThreadPlan> threads_;
  std::unique_ptr<BlockStore> store_;
  std::wstring location_;
  std::wstring snapshotPath_;
  int contentFd_ = -1;
  std::unique_ptr<RecordStream> directoryStream_;
  std::unique_ptr<RecordStream> snapshotStream_;
  std::unique_ptr<RecordStream> unopened_;  // stands for a file that could not be opened
  bool filesCreated_ = false;
  bool open_ = false;
  std::unique_ptr<DirectoryFile> directory_;
  std::unique_ptr<SnapshotFile> snapshot_;
  SnapshotFiguresFile figuresFile_;
  ExtendedRanges extendedRanges_;
};

}  // namespace vaultline
