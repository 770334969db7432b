#include "catalogue/SnapshotList.h"

#include "blockstore/BlockStore.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/DirectoryFile.h"
#include "catalogue/SnapshotFile.h"
#include "platform/Clock.h"
#include "platform/DiagnosticLog.h"
#include "platform/Format.h"
#include "platform/Text.h"

namespace vaultline {

namespace {

// Counts what a snapshot's tree holds, for figures its backup did not record.
class FileCounter : public RecordVisitor {
 public:
  explicit FileCounter(SnapshotFigures* figures) : figures_(figures) {}
  bool VisitFile(const DirEntry& entry, int64_t /*offset*/) override {
    ++figures_->files;
    figures_->bytes += entry.size;
    return true;
  }
  bool EnterFolder(const DirEntry& /*entry*/, int64_t /*offset*/) override { return true; }
  bool LeaveFolder(const DirEntry& /*entry*/) override { return true; }

 private:
  SnapshotFigures* figures_;
};

}  // namespace

const std::vector<std::wstring>& SnapshotList::Read() {
  names_.clear();
  times_.clear();
  sources_.clear();
  ranges_.clear();
  damaged_.clear();
  files_.Extended().Clear();
  SnapshotFile& snapshot = files_.Snapshot();
  snapshot.SetDirectorySize(files_.Directory().LogicalEnd());
  SnapEntry entry;
  int result = snapshot.ReadEntry(0, &entry);
  if (result == -2) platform::WriteDiagnostic(L"\nSnap file is empty already reached the end");
  while (result == 0) {
    names_.push_back(entry.damaged ? kDamagedText : platform::CtimeText(entry.snapshotTime));
    times_.push_back(entry.damaged ? 0 : entry.snapshotTime);
    sources_.push_back(entry.damaged ? std::wstring() : entry.source.path);
    ranges_.push_back(SourceRange{entry.source.rootOffset, entry.source.endOffset});
    damaged_.push_back(entry.damaged);
    if (!entry.damaged) files_.NoteEntry(entry);
    result = snapshot.ReadNextEntry(&entry);
  }
  if (result == -1) platform::WriteDiagnostic(L"\nError reading Snap file");
  return names_;
}

bool SnapshotList::IsDamaged(int index) const {
  return index >= 0 && static_cast<size_t>(index) < damaged_.size() &&
         damaged_[static_cast<size_t>(index)];
}

std::wstring SnapshotList::SourceOf(int index) const {
  return index >= 0 && static_cast<size_t>(index) < sources_.size()
             ? sources_[static_cast<size_t>(index)]
             : std::wstring();
}

int64_t SnapshotList::RootOfEntry(int index) {
  SnapEntry entry;
  const int result = files_.Snapshot().ReadEntry(index, &entry);
  if (result == -1) platform::WriteDiagnostic(L"\nproblem reading the root of file)");
  return result == 0 && !entry.damaged ? entry.source.rootOffset : -1;
}

std::vector<std::optional<SnapshotFigures>> SnapshotList::Figures() {
  const std::vector<SnapshotFigures> known = files_.Figures().Load();
  std::vector<std::optional<SnapshotFigures>> list(times_.size());
  std::vector<SnapshotFigures> counted;
  for (size_t i = 0; i < list.size(); ++i) {
    if (damaged_[i]) continue;
    const SourceRange& range = ranges_[i];
    if (const SnapshotFigures* found =
            SnapshotFiguresFile::Find(known, times_[i], range.rootOffset, range.endOffset)) {
      list[i] = *found;
      continue;
    }
    SnapshotFigures figures;
    figures.snapshotTime = times_[i];
    figures.rootOffset = range.rootOffset;
    figures.endOffset = range.endOffset;
    if (range.rootOffset != range.endOffset) {
      FileCounter counter(&figures);
      SubtreeWalk walk = files_.NewWalk();
      // A tree that cannot be read whole has no figures to keep.
      if (!walk.Walk(range.rootOffset, 1, counter)) continue;
    }
    list[i] = figures;
    counted.push_back(figures);
  }
  if (!counted.empty()) files_.Figures().Append(counted);
  return list;
}

bool SnapshotList::Walk(int index, SubtreeWalk& walk, RecordVisitor& visitor,
                        std::vector<std::wstring>* problems) {
  if (!Holds(index)) {
    problems->push_back(platform::FormatWide(L"There is no snapshot %d in this selection", index));
    return false;
  }
  if (IsDamaged(index)) {
    problems->push_back(platform::FormatWide(
        L"Snapshot %d is damaged on the drive and cannot be read; run a check of the selection",
        index));
    return false;
  }
  const SourceRange& range = Range(index);
  if (range.rootOffset == range.endOffset) return true;
  walk.Walk(range.rootOffset, 1, visitor);
  for (const DamagedFolder& damaged : walk.Damage()) {
    // The next backup writes such a folder anew instead of pointing at them.
    files_.Store().Damage().Add(DamageMemory::Kind::kChildren, damaged.firstChild);
    const std::wstring where =
        damaged.folder.empty() ? std::wstring(L"the top of the snapshot") : damaged.folder;
    problems->push_back(
        platform::FormatWide(L"Snapshot %d: %d damaged record(s) in the folder %ls; their files "
                             L"and folders cannot be shown",
                             index, damaged.records, where.c_str()));
  }
  return true;
}

}  // namespace vaultline
