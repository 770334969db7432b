#include "catalogue/SnapshotFile.h"

#include <cstddef>
#include <cstring>

#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/Format.h"
#include "platform/Text.h"
#include "util/Crc32.h"

namespace vaultline {

namespace {

constexpr int64_t kEntrySize = sizeof(SnapEntryRecord);
constexpr int64_t kSourceSize = sizeof(SnapSourceRecord);
constexpr uint32_t kMaxTextUnits = kRecordTextUnits - 1;

int64_t EntryLength(int32_t sourceCount) {
  return kEntrySize + (sourceCount - 1) * kSourceSize;
}

constexpr size_t kEntryChecksumOffset =
    offsetof(SnapEntryRecord, source) + offsetof(SnapSourceRecord, checksum);
constexpr size_t kSourceChecksumOffset = offsetof(SnapSourceRecord, checksum);

uint32_t EntryChecksum(const SnapEntryRecord& record) {
  return Crc32Without(&record, sizeof(record), kEntryChecksumOffset);
}

uint32_t SourceChecksum(const SnapSourceRecord& record) {
  return Crc32Without(&record, sizeof(record), kSourceChecksumOffset);
}

bool IsExtended(const SnapEntryRecord& record) {
  return (record.extension & kSnapExtended) != 0;
}

// How many entries the damaged bytes between two sound ones held: entries
// are 2088 bytes plus 1048 for each further source, and every writer gives
// most entries one source.
int EntriesIn(int64_t length) {
  for (int64_t entries = length / kEntrySize; entries >= 1; --entries) {
    if ((length - entries * kEntrySize) % kSourceSize == 0) return static_cast<int>(entries);
  }
  return 1;
}

SnapSource Deliver(const SnapSourceRecord& record) {
  SnapSource source;
  source.path = platform::GetFixedUtf16(record.path, kRecordTextUnits, record.pathLength);
  source.rootOffset = record.rootOffset;
  source.endOffset = record.endOffset;
  return source;
}

bool FillSource(SnapSourceRecord* record, const std::wstring& path, int64_t rootOffset,
                int64_t endOffset) {
  std::memset(record, 0, sizeof(*record));
  record->rootOffset = rootOffset;
  record->endOffset = endOffset;
  return platform::PutFixedUtf16(path, record->path, kRecordTextUnits, &record->pathLength);
}

}  // namespace

SnapshotFile::SnapshotFile(RecordStream& stream, std::wstring ownPath)
    : stream_(stream), ownPath_(std::move(ownPath)), logicalEnd_(stream.LogicalLength()) {}

SnapshotFile::Damage SnapshotFile::ReadEntryAt(int64_t position, SnapEntry* entry) {
  const int64_t got = stream_.ReadAt(position, &record_, sizeof(record_));
  if (got == RecordStream::kReadError) {
    platform::WriteDiagnostic(L"\n Failed to read data from Snap file");
    return Damage::kReadError;
  }
  if (got == 0 || got == RecordStream::kDamaged) {
    platform::WriteDiagnostic(L"\n Failed to read data from Snap file");
    return Damage::kDamaged;
  }
  if (got < 2 || record_.magic != kSnapEntryMagic) {
    platform::WriteDiagnostic(L"\n Snap is probably currupted set last entry to last known good");
    return Damage::kDamaged;
  }
  // An entry cut short by the end of the file is torn, whatever its first
  // bytes say: the rest of the working record would be stale.
  if (got < kEntrySize) {
    platform::WriteDiagnostic(L"\n Failed to read data from Snap file");
    return Damage::kDamaged;
  }
  const int64_t physicalEnd = stream_.LogicalLength();
  if (record_.sourceCount < 1 || record_.fileNameLength > kMaxTextUnits ||
      record_.source.pathLength > kMaxTextUnits ||
      position + EntryLength(record_.sourceCount) > physicalEnd) {
    platform::WriteDiagnostic(L"\n Failed to read snap entry data from snap file");
    return Damage::kDamaged;
  }
  if (IsExtended(record_) && record_.source.checksum != EntryChecksum(record_)) {
    platform::WriteDiagnostic(L"\n Snap entry checksum does not match");
    return Damage::kDamaged;
  }
  entry->snapshotTime = record_.snapshotTime;
  entry->sourceCount = record_.sourceCount;
  entry->source = Deliver(record_.source);
  entry->extended = IsExtended(record_);
  entry->damaged = false;
  moreSources_.clear();
  nextSource_ = 0;
  for (int32_t k = 1; k < record_.sourceCount; ++k) {
    SnapSourceRecord source;
    const int64_t read =
        stream_.ReadAt(position + kEntrySize + (k - 1) * kSourceSize, &source, sizeof(source));
    if (read != kSourceSize || source.pathLength > kMaxTextUnits ||
        (IsExtended(record_) && source.checksum != SourceChecksum(source))) {
      platform::WriteDiagnostic(L"\n Failed to read snap entry data from snap file");
      return read == RecordStream::kReadError ? Damage::kReadError : Damage::kDamaged;
    }
    moreSources_.push_back(Deliver(source));
  }
  nextEntry_ = position + EntryLength(record_.sourceCount);
  return Damage::kNone;
}

bool SnapshotFile::IsSoundAt(const std::vector<uint8_t>& bytes, size_t at) const {
  SnapEntryRecord candidate;
  if (at + sizeof(candidate) > bytes.size()) return false;
  std::memcpy(&candidate, bytes.data() + at, sizeof(candidate));
  if (candidate.magic != kSnapEntryMagic || candidate.sourceCount < 1 ||
      candidate.fileNameLength > kMaxTextUnits) {
    return false;
  }
  const int64_t length = EntryLength(candidate.sourceCount);
  if (length > static_cast<int64_t>(bytes.size() - at)) return false;
  const bool extended = IsExtended(candidate);
  if (extended && candidate.source.checksum != EntryChecksum(candidate)) return false;
  for (int32_t k = 0; k < candidate.sourceCount; ++k) {
    SnapSourceRecord source;
    std::memcpy(&source, bytes.data() + at + kEntrySize - kSourceSize + k * kSourceSize,
                sizeof(source));
    if (source.pathLength > kMaxTextUnits || source.rootOffset < 0 ||
        source.rootOffset > source.endOffset || source.endOffset > directorySize_ ||
        (extended && k > 0 && source.checksum != SourceChecksum(source))) {
      return false;
    }
  }
  return true;
}

int64_t SnapshotFile::FindSoundEntryAfter(int64_t position) {
  const int64_t physicalEnd = stream_.LogicalLength();
  const int64_t start = position + 1;
  if (physicalEnd - start < kEntrySize) return -1;
  std::vector<uint8_t> rest(static_cast<size_t>(physicalEnd - start));
  if (stream_.ReadAt(start, rest.data(), rest.size()) != static_cast<int64_t>(rest.size())) {
    return -1;
  }
  for (size_t at = 0; at + kEntrySize <= rest.size(); ++at) {
    if (rest[at] == (kSnapEntryMagic & 0xFF) && rest[at + 1] == (kSnapEntryMagic >> 8) &&
        IsSoundAt(rest, at)) {
      return start + static_cast<int64_t>(at);
    }
  }
  return -1;
}

void SnapshotFile::DeliverDamaged(SnapEntry* entry) {
  *entry = SnapEntry();
  entry->damaged = true;
  moreSources_.clear();
  nextSource_ = 0;
  ++entryIndex_;
}

int SnapshotFile::ReadFrom(int64_t position, SnapEntry* entry) {
  if (position >= logicalEnd_) return -2;
  switch (ReadEntryAt(position, entry)) {
    case Damage::kNone:
      ++entryIndex_;
      return 0;
    case Damage::kReadError:
      return -1;
    case Damage::kDamaged:
      break;
  }
  const int64_t sound = FindSoundEntryAfter(position);
  if (sound < 0) {
    // A torn tail: the writer died mid-append. The next entry replaces it.
    logicalEnd_ = position;
    tornTail_ = true;
    return -2;
  }
  // Damage in the middle: kept on the drive, its entries listed as damaged.
  platform::WriteDiagnostic(platform::FormatWide(
      L"\n Snap file damaged: skipped %I64d bytes at offset %I64d", sound - position, position));
  damagedPending_ = EntriesIn(sound - position) - 1;
  nextEntry_ = sound;
  DeliverDamaged(entry);
  return 0;
}

int SnapshotFile::ReadEntry(int index, SnapEntry* entry) {
  if (logicalEnd_ == 0 || index < 0) return -2;
  entryIndex_ = -1;
  damagedPending_ = 0;
  int result = ReadFrom(0, entry);
  while (result == 0 && entryIndex_ < index) result = ReadNextEntry(entry);
  return result;
}

int SnapshotFile::ReadNextEntry(SnapEntry* entry) {
  if (entryIndex_ < 0) return ReadEntry(0, entry);
  if (damagedPending_ > 0) {
    --damagedPending_;
    DeliverDamaged(entry);
    return 0;
  }
  return ReadFrom(nextEntry_, entry);
}

int SnapshotFile::ReadNextSource(SnapSource* source) {
  if (nextSource_ >= moreSources_.size()) return -3;
  *source = moreSources_[nextSource_++];
  return 0;
}

int SnapshotFile::AppendEntry(int32_t snapshotTime, int32_t sourceCount, const std::wstring& path,
                              int64_t rootOffset, int64_t endOffset) {
  std::memset(&record_, 0, sizeof(record_));
  record_.magic = kSnapEntryMagic;
  record_.extension = kSnapExtended;
  if (!platform::PutFixedUtf16(ownPath_, record_.fileName, kRecordTextUnits,
                               &record_.fileNameLength)) {
    record_.fileNameLength = 0;  // read by nobody; a long drive path must not stop a backup
  }
  record_.snapshotTime = snapshotTime;
  record_.sourceCount = sourceCount;
  const bool filled = FillSource(&record_.source, path, rootOffset, endOffset);
  record_.source.checksum = EntryChecksum(record_);
  if (!tornTail_) logicalEnd_ = stream_.LogicalLength();
  const int64_t at = logicalEnd_;
  if (!filled || !AppendAtLogicalEnd(&record_, sizeof(record_))) {
    platform::WriteDiagnostic(L"\n error trying to write to snap file ");
    return -1;
  }
  appendStart_ = at;
  logicalEnd_ = at + kEntrySize;
  tornTail_ = false;
  return 0;
}

int SnapshotFile::AppendSource(const std::wstring& path, int64_t rootOffset, int64_t endOffset) {
  SnapSourceRecord source;
  const bool filled = FillSource(&source, path, rootOffset, endOffset);
  source.checksum = SourceChecksum(source);
  if (!filled || !AppendAtLogicalEnd(&source, sizeof(source))) {
    platform::WriteDiagnostic(L"\n error trying to write to new snap entry in the file ");
    // The entry just begun is torn; the next append replaces it.
    logicalEnd_ = appendStart_;
    tornTail_ = true;
    return -1;
  }
  logicalEnd_ += kSourceSize;
  return 0;
}

bool SnapshotFile::AppendAtLogicalEnd(const void* bytes, size_t length) {
  return stream_.AppendAt(logicalEnd_, {static_cast<const uint8_t*>(bytes), length});
}

}  // namespace vaultline
