// Restores items of a catalogue's snapshots: an item by its stored path in
// a snapshot, or the newest record of a key the key index knows, with
// everything below it.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/RestoreVisitor.h"

namespace vaultline {

class CatalogueFiles;
class KeyIndexKeeper;
class SnapshotList;
class SnapshotTreeListing;
struct StoreContext;

class SnapshotRestorer {
 public:
  SnapshotRestorer(CatalogueFiles& files, SnapshotList& list, SnapshotTreeListing& listing,
                   KeyIndexKeeper& keys, StoreContext& context)
      : files_(files), list_(list), listing_(listing), keys_(keys), context_(context) {}

  // Restores `path` of snapshot `index` into `target` (empty target: back
  // where it came from). With flatten the item lands directly in target;
  // without, its whole stored path is joined. False when anything failed or
  // was cancelled.
  bool RestoreItem(int index, const std::wstring& path, const std::wstring& target, bool flatten,
                   RestoreVisitor::Conflict conflict);
  // Restores the newest record with the given key, if the index knows it.
  bool RestoreByKey(const std::wstring& path, int32_t modifyTime, int64_t size, uint32_t attributes,
                    int32_t count, const std::wstring& target, bool flatten,
                    RestoreVisitor::Conflict conflict);

 private:
  bool RestoreRecords(int index, int64_t offset, const std::wstring& target, bool flatten,
                      RestoreVisitor::Conflict conflict);
  // Names every folder whose records the walk could not read.
  void ReportDamage(int index, const SubtreeWalk& walk);

  CatalogueFiles& files_;
  SnapshotList& list_;
  SnapshotTreeListing& listing_;
  KeyIndexKeeper& keys_;
  StoreContext& context_;
};

}  // namespace vaultline
