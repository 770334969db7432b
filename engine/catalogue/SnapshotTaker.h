// Takes a snapshot and publishes it: the pre-scan that answers whether it
// fits, the walk that writes its records, then the writes and syncs in the
// order that makes it durable. The snapshot file's entry is the only thing
// that publishes a snapshot; everything it names is synced before it is
// written, and the entry is synced (with the folder, for new files) before
// the snapshot counts as taken.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/ExclusionRules.h"
#include "catalogue/SnapshotWriter.h"
#include "catalogue/SourcePrescan.h"
#include "catalogue/SourceRange.h"

namespace vaultline {

class CatalogueFiles;
class KeyIndexKeeper;
struct StoreContext;

class SnapshotTaker {
 public:
  SnapshotTaker(CatalogueFiles& files, KeyIndexKeeper& keys, StoreContext& context);

  void SetExclusions(ExclusionRules rules) { prescan_.SetExclusions(std::move(rules)); }
  // Pre-scans the sources and answers whether the new and changed bytes fit:
  // available >= 0.75 * new bytes. sizeLimit 0 means no per-file limit.
  bool CheckSpace(const std::vector<std::wstring>& sources, int64_t available, int64_t sizeLimit);
  // True when the snapshot was published; false when cancelled or failed,
  // in which case nothing is listed.
  bool TakeSnapshot(const std::vector<std::wstring>& sources, int64_t sizeLimit);

  const SourcePrescan& Prescan() const { return prescan_; }
  // Items the last snapshot could not record: oversize files plus items whose
  // path is too long for a record.
  uint32_t SkippedCount() const;

 private:
  // Writes the records of every source; false (reported) when one could not
  // be written or the walk was cancelled.
  bool WriteSources(const std::vector<std::wstring>& sources, int64_t sizeLimit,
                    std::vector<SourceRange>* ranges, bool* recorded);
  bool Publish(int32_t snapshotTime, const std::vector<SourceRange>& ranges,
               const std::vector<std::wstring>& sources, int64_t bytesBefore);
  bool WriteEntry(int32_t snapshotTime, const std::vector<SourceRange>& ranges,
                  const std::vector<std::wstring>& sources);
  bool SyncBeforePublishing(int32_t snapshotTime, const SourceRange& range);
  bool SyncAfterPublishing();
  void ReportSyncFailure(const wchar_t* diagnostic);
  void ReportWriteFailure(int error);
  void AddFigures(int32_t snapshotTime, const SourceRange& range, int64_t bytesBefore);

  CatalogueFiles& files_;
  KeyIndexKeeper& keys_;
  StoreContext& context_;
  SourcePrescan prescan_;
  SnapshotWriter writer_;
};

}  // namespace vaultline
