// Rewrites a selection's five files so that they hold exactly what its
// listed snapshots reference: the directory records their trees read, the
// content records of their files, and the blocks those name, with every
// offset renumbered and the block index rebuilt. Contents and blocks keep
// their old order; records the order the snapshots' walks first read them. Records are
// written through the same writers a backup uses.
//
// Plan reads the old files and works out the new ones; Run writes them into
// the staging folder and switches (CompactionSwitch). The caller holds the
// selection's lock throughout, with no catalogue of the selection open.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/CompactionSwitch.h"
#include "catalogue/SnapshotHistory.h"
#include "util/RecordStream.h"
#include "util/ThreadPlan.h"

class IBackupRestoreStatus;

namespace vaultline {

class DirectoryFile;

class CatalogueCompaction {
 public:
  CatalogueCompaction(std::wstring location, IBackupRestoreStatus* status);
  ~CatalogueCompaction();
  CatalogueCompaction(const CatalogueCompaction&) = delete;
  CatalogueCompaction& operator=(const CatalogueCompaction&) = delete;

  // Reads what the listed snapshots reference. False (reported) when the
  // catalogue cannot be read whole: compacting it would lose what it holds.
  bool Plan();
  // Bytes of the five files now, and after the compaction.
  int64_t CurrentBytes() const { return currentBytes_; }
  int64_t KeptBytes() const;
  // Writes the new set and switches to it. False when it failed or the sink
  // cancelled before the switch (the old set stays in place, whole), or when
  // the switch could not be finished (the next opening finishes it).
  bool Run();

 private:
  // Old offsets of what is kept, sorted, with their new offsets: the new
  // offset of any old offset is that of the first kept item at or after it
  // (for records, only ever asked of a kept one).
  struct Renumbering {
    std::vector<int64_t> oldOffsets;
    std::vector<int64_t> newOffsets;
    int64_t newEnd = 0;
    int64_t operator()(int64_t oldOffset) const;
  };

  bool OpenOldFiles();
  bool MarkRecords();
  bool MeasureContents();
  bool MeasureBlocks();
  bool WriteBlocks();
  bool WriteContents();
  bool WriteRecords();
  bool WriteSnapshots();
  // The figures sidecar, its snapshots named by their new ranges.
  void WriteFigures();
  bool Progress(int64_t bytes);
  void ReportDamage(const std::wstring& what);
  void ReportWriteFailure(const std::wstring& file);
  void ReportWriteFailure(const std::wstring& file, int error);

  // Declared first: its helpers outlive everything that hands them work.
  ThreadPlan threads_;
  std::wstring location_;
  IBackupRestoreStatus* status_;
  CompactionSwitch switch_;
  std::unique_ptr<RecordStream> data_;
  int contentFd_ = -1;
  std::unique_ptr<RecordStream> directory_;
  std::unique_ptr<RecordStream> snapshot_;
  int64_t currentBytes_ = 0;
  int64_t done_ = 0;
  int64_t reported_ = 0;

  std::vector<StoredSnapshot> history_;
  std::vector<StoredSnapshot> renumbered_;     // with the new offsets of their ranges
  std::vector<int64_t> records_;               // old offsets of kept records, in their new order
  std::map<int64_t, int64_t> contentLengths_;  // old offset -> bytes of the content record
  std::map<int64_t, int32_t> blockLengths_;    // old position -> block length
  Renumbering recordNumbers_;
  Renumbering contentNumbers_;
  Renumbering blockNumbers_;
};

}  // namespace vaultline
