// Reads and appends the entries of a selection's snapshot file. Keeps the
// logical end up to which the file holds sound entries, so that a torn tail
// (an entry half written when the drive was pulled) is ignored and later
// overwritten, while damage in the middle is skipped and kept.
//
// An entry that cannot be read but has sound entries behind it is delivered
// as damaged, once for every entry its bytes held, so indices never shift.
//
// Does not own its stream. Results: 0 success, -1 read or write error,
// -2 no such entry (or the end of the sound entries), -3 no further source.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/SnapshotRecords.h"
#include "util/RecordStream.h"

namespace vaultline {

struct SnapSource {
  std::wstring path;
  int64_t rootOffset = 0;
  int64_t endOffset = 0;
};

struct SnapEntry {
  int32_t snapshotTime = 0;
  int32_t sourceCount = 0;
  SnapSource source;  // source 0
  bool extended = false;
  // An entry lost to damage in the middle of the file: it keeps its place,
  // so that later snapshots keep their index, and holds nothing else.
  bool damaged = false;
};

class SnapshotFile {
 public:
  SnapshotFile(RecordStream& stream, std::wstring ownPath);

  // Entry `index`, counted from the start of the file.
  int ReadEntry(int index, SnapEntry* entry);
  // The entry after the one read last.
  int ReadNextEntry(SnapEntry* entry);
  // The next source record of the entry read last.
  int ReadNextSource(SnapSource* source);

  // Appends an entry whose source 0 is (path, rootOffset, endOffset), then
  // AppendSource once for each further source, nothing else in between.
  int AppendEntry(int32_t snapshotTime, int32_t sourceCount, const std::wstring& path,
                  int64_t rootOffset, int64_t endOffset);
  int AppendSource(const std::wstring& path, int64_t rootOffset, int64_t endOffset);

  // Size of the directory file: a candidate entry found behind damage is taken
  // as sound only when its offsets lie inside it.
  void SetDirectorySize(int64_t size) { directorySize_ = size; }
  int64_t LogicalEnd() const { return logicalEnd_; }

 private:
  enum class Damage { kNone, kReadError, kDamaged };
  Damage ReadEntryAt(int64_t position, SnapEntry* entry);
  bool IsSoundAt(const std::vector<uint8_t>& bytes, size_t at) const;
  int64_t FindSoundEntryAfter(int64_t position);
  int ReadFrom(int64_t position, SnapEntry* entry);
  void DeliverDamaged(SnapEntry* entry);

  // Appends `bytes` at the logical end, first cutting off a torn tail.
  bool AppendAtLogicalEnd(const void* bytes, size_t length);

  RecordStream& stream_;
  std::wstring ownPath_;
  SnapEntryRecord record_{};
  int64_t logicalEnd_ = 0;
  int64_t directorySize_ = INT64_MAX;
  int64_t appendStart_ = 0;  // where the entry appended last begins
  int64_t nextEntry_ = 0;    // where the entry after the one read last begins
  bool tornTail_ = false;    // logicalEnd_ marks a torn entry the next append replaces
  std::vector<SnapSource> moreSources_;
  size_t nextSource_ = 0;
  int entryIndex_ = -1;
  int damagedPending_ = 0;  // further damaged entries before nextEntry_
};

}  // namespace vaultline
