// The snapshots a catalogue lists, oldest first, as its snapshot file holds
// them: each one's time, source and stretch of the directory file, damaged
// entries keeping their place. Reading the list also notes which stretches
// of the directory file hold extended records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/SnapshotFigures.h"
#include "catalogue/SourceRange.h"
#include "catalogue/SubtreeWalk.h"

namespace vaultline {

class CatalogueFiles;

class SnapshotList {
 public:
  static constexpr const wchar_t* kDamagedText = L"(damaged)\n";

  explicit SnapshotList(CatalogueFiles& files) : files_(files) {}

  // Reads the list again. One ctime text per snapshot ("Www Mmm dd hh:mm:ss
  // yyyy\n"); empty when the catalogue is empty or unreadable. A damaged
  // entry has kDamagedText.
  const std::vector<std::wstring>& Read();

  // What the last Read found.
  size_t Count() const { return names_.size(); }
  const std::vector<std::wstring>& Names() const { return names_; }
  const std::vector<int32_t>& Times() const { return times_; }
  bool IsDamaged(int index) const;
  // Whether `index` names an entry of the list.
  bool Holds(int index) const { return index >= 0 && static_cast<size_t>(index) < ranges_.size(); }
  // Source 0's stretch of entry `index`, which Holds.
  const SourceRange& Range(int index) const { return ranges_[static_cast<size_t>(index)]; }
  // The source path snapshot `index` was taken of (its first source). Empty
  // for a damaged entry or an index out of range.
  std::wstring SourceOf(int index) const;

  // The figures of each snapshot, in the list's order; none for a damaged
  // one. Those the sidecar does not hold are counted from the snapshot's
  // records (files and bytes only) and added to it.
  std::vector<std::optional<SnapshotFigures>> Figures();
  // Walks the tree of snapshot `index`; each damaged place is named in
  // `problems`, and remembered for the next backup. False when the snapshot
  // cannot be read at all (named too).
  bool Walk(int index, SubtreeWalk& walk, RecordVisitor& visitor,
            std::vector<std::wstring>* problems);
  // Root record offset of source 0 of entry `index` read from the file, or -1.
  int64_t RootOfEntry(int index);

 private:
  CatalogueFiles& files_;
  std::vector<std::wstring> names_;
  std::vector<int32_t> times_;
  std::vector<std::wstring> sources_;
  std::vector<SourceRange> ranges_;
  std::vector<bool> damaged_;
};

}  // namespace vaultline
