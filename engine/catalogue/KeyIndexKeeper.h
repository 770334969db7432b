// Keeps the key index of a catalogue: the key of every item earlier
// snapshots recorded, which a backup looks its sources up in to find what it
// need not store again. It is loaded only when a snapshot needs it, mostly
// from its sidecar (location + ".keys"), and kept up to date with each
// snapshot published.
//
// The keys of a snapshot being published are read back on the thread plan's
// key-reading helper while its files sync (ReadAhead); AddToSidecar or
// DropReadAhead waits for it. Everything else runs on the operation's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "catalogue/KeyIndex.h"
#include "catalogue/KeyIndexFile.h"
#include "catalogue/SnapshotFile.h"
#include "catalogue/SourceRange.h"

namespace vaultline {

class CatalogueFiles;
class DirectoryFile;
class SourceScanner;
struct StoreContext;

class KeyIndexKeeper {
 public:
  KeyIndexKeeper(CatalogueFiles& files, const StoreContext& context);
  ~KeyIndexKeeper();
  KeyIndexKeeper(const KeyIndexKeeper&) = delete;
  KeyIndexKeeper& operator=(const KeyIndexKeeper&) = delete;

  // Loads the index of every listed snapshot, once; false (reported as
  // "Problem Initializing Data") when the catalogue cannot be read. The index
  // comes from the sidecar while it agrees with the catalogue; only
  // snapshots it does not cover are read from the directory file, and the
  // sidecar is brought up to date or rebuilt.
  bool Load();
  // Records handed out since the last publication may be lost (a failed
  // write or sync of gathered records): the keys are loaded again from what
  // was published before the next backup builds on them.
  void Forget();
  const KeyIndex& Keys() const { return index_; }

  // The earlier record of a source item, unless what it points at was found
  // damaged: that is stored again, whatever its key says, so that the new
  // snapshot is whole while the source still holds it.
  const KeyIndex::Offsets* Lookup(SourceScanner& item) const;
  // Remembers the record written for `item` by the snapshot taken at
  // `snapshotTime`, unless the item may still change within that second.
  void Remember(SourceScanner& item, int64_t contentOffset, int64_t recordOffset,
                int32_t snapshotTime);
  // The listing of a folder just written ends at `end`.
  void EndListing(SourceScanner& folder, int64_t recordOffset, int64_t end);

  // Starts reading back the keys of the snapshot being published for the
  // sidecar; its records must have been written.
  void ReadAhead(int32_t snapshotTime, const SourceRange& range);
  // Adds what ReadAhead found to the sidecar, once the snapshot is listed.
  void AddToSidecar(int32_t snapshotTime, const std::vector<SourceRange>& ranges);
  // Waits for a read ahead whose snapshot was not published, and drops it.
  void DropReadAhead();
  // An index made of records since found damaged would still point at them.
  void RemoveSidecar() { keyFile_.Remove(); }

 private:
  int LoadCatalogue();
  bool SidecarAgrees() const;
  void SaveSidecar(size_t known, const std::vector<KeyIndex::Entry>& added);
  // The keys of the records from `start` to `end` as a load indexes them;
  // reads only `directory` and the extended ranges.
  int IndexRange(DirectoryFile& directory, int64_t start, int64_t end, int32_t snapshotTime,
                 std::vector<KeyIndex::Entry>* found);

  CatalogueFiles& files_;
  const StoreContext& context_;
  KeyIndex index_;
  KeyIndexFile keyFile_;
  bool indexed_ = false;
  std::vector<SnapEntry> indexedEntries_;  // the sound entries the index was made of
  // What ReadAhead found, once the ticket of its task is done.
  uint64_t keysAhead_ = 0;  // the ticket of the kKeyReading helper, or 0
  std::vector<KeyIndex::Entry> keysFound_;
  int keysResult_ = 0;
};

}  // namespace vaultline
