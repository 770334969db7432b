// Writes the records of a snapshot being taken: walks each source, stores
// the contents of new and changed files, of links and of attribute lists in
// the block store, and appends a record for every item to the directory
// file. An unchanged folder's record points at its earlier listing; its
// tree is not walked again.
//
// Reports go to the status sink of the context, whose cancel flag ends the
// walk; bytesDone counts the files passed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/KeyIndex.h"
#include "catalogue/SnapshotFigures.h"
#include "platform/FileSystem.h"

namespace vaultline {

class CatalogueFiles;
class KeyIndexKeeper;
class SourcePrefetch;
class SourcePrescan;
class SourceScanner;
struct StoreContext;

class SnapshotWriter {
 public:
  SnapshotWriter(CatalogueFiles& files, KeyIndexKeeper& keys, SourcePrescan& prescan,
                 StoreContext& context);
  ~SnapshotWriter();
  SnapshotWriter(const SnapshotWriter&) = delete;
  SnapshotWriter& operator=(const SnapshotWriter&) = delete;

  // Starts the snapshot taken at `snapshotTime`; sizeLimit 0 means no
  // per-file limit.
  void Begin(int32_t snapshotTime, int64_t sizeLimit);
  // Writes the records of one source, at the top level; the offset of its
  // root record, or -1 when a record could not be written or the walk was
  // cancelled.
  int64_t WriteSource(SourceScanner& item);
  // No source stays open after a backup: neither what the prefetch opened
  // and the walk passed by nor what the store read.
  void CloseSources();

  // The store or the content file was written since the last sync.
  bool ContentsDirty() const { return contentsDirty_; }
  void ContentsSynced() { contentsDirty_ = false; }

  // What the walk met beside the pre-scan's totals.
  const SnapshotFigures& Walked() const { return walked_; }
  // Files the pre-scan counted that the walk could not store, and their bytes.
  uint32_t NotStoredFiles() const { return notStoredFiles_; }
  int64_t NotStoredBytes() const { return notStoredBytes_; }
  // Items whose path is too long for a record.
  uint32_t Unrecordable() const { return unrecordable_; }

 private:
  int64_t WriteTree(SourceScanner& folder, int32_t level);
  bool WalkChildren(SourceScanner& folder, int32_t level);
  // Hands the files to be stored from entries[from] on to the prefetch, a
  // batch of them; the index after the last entry looked at.
  size_t PrefetchFiles(const SourceScanner& folder, const std::vector<platform::FindData>& entries,
                       size_t from);
  int64_t WriteFolder(SourceScanner& item, int32_t level, bool expand);
  int64_t StoreSourceFile(SourceScanner& item, int32_t level);
  // Stores the contents of a new or changed file, link or special file and
  // gives back where they lie, or marks the item not stored.
  void StoreContents(SourceScanner& item, int32_t level, int64_t* contentOffset);
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
  void Remember(SourceScanner& item, int64_t contentOffset, int64_t recordOffset);
  void Report(int level, const std::wstring& text);

  CatalogueFiles& files_;
  KeyIndexKeeper& keys_;
  SourcePrescan& prescan_;
  StoreContext& context_;
  std::unique_ptr<SourcePrefetch> prefetch_;  // made by the first walk that stores files
  int32_t snapshotTime_ = 0;
  int64_t sizeLimit_ = 0;
  bool contentsDirty_ = false;
  // Attribute lists this snapshot points at, by their bytes.
  std::unordered_map<std::string, int64_t> storedLists_;
  SnapshotFigures walked_;
  uint32_t notStoredFiles_ = 0;
  int64_t notStoredBytes_ = 0;
  uint32_t unrecordable_ = 0;
};

}  // namespace vaultline
