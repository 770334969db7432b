#include "catalogue/KeyIndexKeeper.h"

#include <climits>

#include "blockstore/BlockStore.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/DirectoryFile.h"
#include "catalogue/SourceScanner.h"
#include "catalogue/StatusReport.h"
#include "platform/Clock.h"
#include "platform/DiagnosticLog.h"
#include "util/ThreadPlan.h"

namespace vaultline {

namespace {

// A file changed in the second its snapshot began, or while it ran, may have
// changed again within the same second after it was read: its key cannot
// tell, so it is never taken as unchanged. A time more than a day past the
// present (a clock ahead of this one aside) was set by hand and is no such
// change. Full times are compared: the low 32 bits alone would mistake other
// eras for the present. A folder needs no such care: it is reused only while
// every child it lists now is known.
constexpr int64_t kClockAhead = 24 * 3600;
bool IsSettled(bool folder, int64_t modifySeconds, int32_t snapshotTime) {
  return folder || modifySeconds < snapshotTime ||
         modifySeconds > int64_t{platform::CurrentTime()} + kClockAhead;
}

ItemKey KeyOf(const DirEntry& entry) {
  return ItemKey(entry.name, entry.modifyTime, entry.size, entry.attributes, entry.count);
}

ItemKey KeyOf(SourceScanner& item) {
  return ItemKey(item.FullPath(), item.ModifyTime(), static_cast<int64_t>(item.Size()),
                 item.Attributes(), item.EntryCount());
}

// A sidecar holding many more records than keys is written anew.
bool WorthRewriting(size_t records, size_t keys) {
  return records > 2 * keys + 256;
}

}  // namespace

KeyIndexKeeper::KeyIndexKeeper(CatalogueFiles& files, const StoreContext& context)
    : files_(files), context_(context), keyFile_(files.Location() + L".keys") {}

// The keys read ahead go first: they read the directory file and fill this.
KeyIndexKeeper::~KeyIndexKeeper() {
  files_.Threads().Settle(ThreadPlan::Helper::kKeyReading);
}

void KeyIndexKeeper::Forget() {
  index_ = KeyIndex();
  indexed_ = false;
}

bool KeyIndexKeeper::Load() {
  if (indexed_) return true;
  if (!files_.IsOpen() || LoadCatalogue() != 0) {
    ReportLoadFailure(context_);
    return false;
  }
  indexed_ = true;
  return true;
}

int KeyIndexKeeper::LoadCatalogue() {
  DirectoryFile& directory = files_.Directory();
  SnapshotFile& snapshot = files_.Snapshot();
  snapshot.SetDirectorySize(directory.LogicalEnd());
  files_.Extended().Clear();
  indexedEntries_.clear();
  SnapEntry entry;
  int result = snapshot.ReadEntry(0, &entry);
  while (result == 0) {
    if (!entry.damaged) {
      files_.NoteEntry(entry);
      indexedEntries_.push_back(entry);
    }
    result = snapshot.ReadNextEntry(&entry);
  }
  if (result == -1) {
    platform::WriteDiagnostic(L"\nError reading Snap file");
    return -1;
  }
  // The sidecar spares reading the snapshots it covers; the rest are read
  // in order after them, so the newest record of a key still wins.
  const size_t known =
      keyFile_.Load(&index_) && SidecarAgrees() ? keyFile_.Covered().entryCount : 0;
  if (known == 0) index_ = KeyIndex();
  std::vector<KeyIndex::Entry> added;
  for (size_t i = known; i < indexedEntries_.size(); ++i) {
    const SnapSource& range = indexedEntries_[i].source;
    const size_t before = added.size();
    if (IndexRange(directory, range.rootOffset, range.endOffset, indexedEntries_[i].snapshotTime,
                   &added) != 0) {
      return -1;
    }
    for (size_t k = before; k < added.size(); ++k) index_.Remember(added[k]);
    // A rebuild writes the index as a whole: its parts need not be kept.
    if (known == 0) added.clear();
  }
  SaveSidecar(known, added);
  return 0;
}

bool KeyIndexKeeper::SidecarAgrees() const {
  const KeyIndexFile::Coverage& covered = keyFile_.Covered();
  if (covered.entryCount > indexedEntries_.size() ||
      covered.directoryLength > files_.Directory().LogicalEnd()) {
    return false;
  }
  if (KeyIndexFile::Describe(indexedEntries_, covered.entryCount, files_.DirectoryStream(),
                             covered.directoryLength) != covered) {
    return false;
  }
  // Later snapshots must lie behind what it covers, or their records would
  // have been judged against other extended ranges than the sidecar's.
  for (size_t i = covered.entryCount; i < indexedEntries_.size(); ++i) {
    if (indexedEntries_[i].source.rootOffset < covered.directoryLength) return false;
  }
  return true;
}

void KeyIndexKeeper::SaveSidecar(size_t known, const std::vector<KeyIndex::Entry>& added) {
  if (known == indexedEntries_.size() && known != 0) {
    // Up to date. Each snapshot appends its records, superseded keys and
    // all; here the index is exactly what the file replays, so a file grown
    // well past it is written anew and a load stays as cheap as the index.
    if (WorthRewriting(keyFile_.RecordCount(), index_.Size())) {
      keyFile_.Rewrite(index_, keyFile_.Covered());
    }
    return;
  }
  const int64_t directoryEnd = files_.Directory().LogicalEnd();
  // A range cut short was indexed without its folders; once the file grows
  // back, a load would index them: such an index is not kept.
  for (const SnapEntry& entry : indexedEntries_) {
    if (entry.source.endOffset > directoryEnd) {
      keyFile_.Remove();
      return;
    }
  }
  const KeyIndexFile::Coverage coverage = KeyIndexFile::Describe(
      indexedEntries_, indexedEntries_.size(), files_.DirectoryStream(), directoryEnd);
  if (known != 0 && !WorthRewriting(keyFile_.RecordCount() + added.size(), index_.Size())) {
    keyFile_.Append(added, coverage);
  } else {
    keyFile_.Rewrite(index_, coverage);
  }
}

void KeyIndexKeeper::ReadAhead(int32_t snapshotTime, const SourceRange& range) {
  if (!indexed_ || !keyFile_.IsCurrent()) return;
  keysFound_.clear();
  // Records of the snapshot are extended ones, so the extended ranges that
  // AddToSidecar adds to do not bear on them.
  keysAhead_ = files_.Threads()
                   .Get(ThreadPlan::Helper::kKeyReading)
                   .Submit(
                       [this, snapshotTime, range] {
                         DirectoryFile reader(files_.DirectoryStream());
                         keysResult_ = IndexRange(reader, range.rootOffset, range.endOffset,
                                                  snapshotTime, &keysFound_);
                       },
                       true);
}

void KeyIndexKeeper::AddToSidecar(int32_t snapshotTime, const std::vector<SourceRange>& ranges) {
  if (keysAhead_ == 0) return;
  files_.Threads().Get(ThreadPlan::Helper::kKeyReading).WaitFor(keysAhead_);
  keysAhead_ = 0;
  // The snapshot's records as a load would index them once it is listed.
  SnapEntry published;
  published.snapshotTime = snapshotTime;
  published.sourceCount = static_cast<int32_t>(ranges.size());
  published.source.rootOffset = ranges[0].rootOffset;
  published.source.endOffset = ranges[0].endOffset;
  published.extended = true;
  files_.NoteEntry(published);
  if (keysResult_ != 0) {
    keyFile_.Remove();
    return;
  }
  indexedEntries_.push_back(published);
  keyFile_.Append(keysFound_, KeyIndexFile::Describe(indexedEntries_, indexedEntries_.size(),
                                                     files_.DirectoryStream(),
                                                     files_.Directory().LogicalEnd()));
}

void KeyIndexKeeper::DropReadAhead() {
  if (keysAhead_ != 0) files_.Threads().Get(ThreadPlan::Helper::kKeyReading).WaitFor(keysAhead_);
  keysAhead_ = 0;
}

int KeyIndexKeeper::IndexRange(DirectoryFile& directory, int64_t start, int64_t end,
                               int32_t snapshotTime, std::vector<KeyIndex::Entry>* found) {
  // A range that runs past the end of the directory file lost records: its
  // folders may miss children, so only its files are trusted.
  const bool whole = end <= directory.LogicalEnd();
  directory.SeekTo(start);
  // Folders whose listing follows them, innermost last: a listing ends at
  // the next record that is not deeper than its folder.
  struct OpenListing {
    int32_t level;
    size_t found;  // its place in `found`
  };
  std::vector<OpenListing> open;
  auto closeListings = [&](int32_t level, int64_t at) {
    while (!open.empty() && open.back().level >= level) {
      (*found)[open.back().found].offsets.listingEnd = at;
      open.pop_back();
    }
  };
  const ExtendedRanges& extended = files_.Extended();
  DirEntry entry;
  while (directory.Position() < end) {
    const int64_t offset = directory.Position();
    const int64_t next = directory.ReadNextRecord(&entry);
    if (next == -2) break;
    if (next < 0) {
      platform::WriteDiagnostic(L"\neror readin directory file in building index");
      return -1;
    }
    // Damaged records, nameless ones and files that were not stored describe
    // nothing that a later snapshot could point at.
    if (!entry.IsSound() || (!entry.IsExtended() && extended.Covers(offset))) {
      open.clear();  // where the listings around it end is not known
      continue;
    }
    closeListings(entry.level, offset);
    if (entry.name.empty() || (!entry.IsFolder() && entry.count == -1)) continue;
    if (!IsSettled(entry.IsFolder(), DecodeTime(entry).seconds, snapshotTime)) continue;
    if (whole || !entry.IsFolder()) {
      found->push_back(KeyIndex::Entry{KeyOf(entry).Digest(),
                                       {offset, entry.contentOffset, StateOf(entry), -1}});
      if (entry.IsFolder() && entry.contentOffset == offset + kDirRecordSize) {
        open.push_back({entry.level, found->size() - 1});
      }
    }
  }
  if (whole) closeListings(INT32_MIN, directory.Position());
  return 0;
}

const KeyIndex::Offsets* KeyIndexKeeper::Lookup(SourceScanner& item) const {
  const KeyIndex::Offsets* known = index_.Find(KeyOf(item));
  const DamageMemory::Kind kind =
      item.IsFolder() ? DamageMemory::Kind::kChildren : DamageMemory::Kind::kContent;
  if (known != nullptr && files_.Store().IsDamaged(kind, known->contentOffset)) return nullptr;
  return known;
}

void KeyIndexKeeper::Remember(SourceScanner& item, int64_t contentOffset, int64_t recordOffset,
                              int32_t snapshotTime) {
  if (!IsSettled(item.IsFolder(), item.ExactModifyTime().seconds, snapshotTime)) return;
  index_.Remember(KeyOf(item), recordOffset, contentOffset, item.Extension());
}

void KeyIndexKeeper::EndListing(SourceScanner& folder, int64_t recordOffset, int64_t end) {
  index_.EndListing(KeyOf(folder).Digest(), recordOffset, end);
}

}  // namespace vaultline
