#include "catalogue/DirectoryFile.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "blockstore/Crc32.h"
#include "catalogue/SourceScanner.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/Text.h"

namespace vaultline {

namespace {

constexpr size_t kRecordsPerRead = 256;
constexpr size_t kChecksumOffset = offsetof(DirRecord, checksum);

uint32_t ChecksumOf(const DirRecord& record) {
  return Crc32Without(&record, sizeof(record), kChecksumOffset);
}

// Damage visible in the record alone. Folder children lie inside the file,
// and at least `count` records of them fit there. (Not always on a multiple
// of the record size: appends after a torn record continue behind it.)
RecordDamage Examine(const DirRecord& record, int64_t logicalEnd) {
  if (record.magic != kDirRecordMagic) return RecordDamage::kMagic;
  if ((record.extension & kDirExtended) != 0 && record.checksum != ChecksumOf(record)) {
    return RecordDamage::kChecksum;
  }
  if (record.nameLength >= kDirNameUnits) return RecordDamage::kInconsistent;
  if (record.nameLength == 0) return RecordDamage::kNone;  // skipped by every reader
  if ((record.attributes & kFolderAttribute) != 0) {
    const bool childrenInside =
        record.count >= 0 && record.contentOffset >= 0 &&
        (record.count == 0 || record.contentOffset + record.count * kDirRecordSize <= logicalEnd);
    return childrenInside && record.size == 0 ? RecordDamage::kNone : RecordDamage::kInconsistent;
  }
  if (record.count == -1) return RecordDamage::kNone;  // nothing stored: nothing to read
  return record.count == 1 && record.size >= 0 && record.contentOffset >= 0
             ? RecordDamage::kNone
             : RecordDamage::kInconsistent;
}

}  // namespace

DirectoryFile::DirectoryFile(int fd) : fd_(fd) {
  const int64_t size = fd_ < 0 ? -1 : platform::FileSizeOf(fd_);
  logicalEnd_ = size < 0 ? 0 : size;
  position_ = logicalEnd_;
}

int64_t DirectoryFile::WriteRecord(SourceScanner& item, int32_t level, int64_t* contentOffset,
                                   bool childrenFollow) {
  const int64_t recordOffset = logicalEnd_;
  std::memset(&record_, 0, sizeof(record_));
  record_.magic = kDirRecordMagic;
  record_.level = level;
  if (!item.IsRecordable() ||
      !platform::PutFixedUtf16(item.FullPath(), record_.name, kDirNameUnits, &record_.nameLength)) {
    std::memset(record_.name, 0, sizeof(record_.name));
    record_.nameLength = 0;
  }
  record_.attributes = item.Attributes();
  record_.modifyTime = item.ModifyTime();
  record_.size = static_cast<int64_t>(item.Size());
  if (item.IsFolder()) {
    record_.count = item.EntryCount();
    if (childrenFollow) *contentOffset = recordOffset + kDirRecordSize;
  } else {
    record_.count = item.IsNotStored() ? -1 : item.EntryCount();
  }
  record_.contentOffset = *contentOffset;
  record_.extension |= kDirExtended;
  record_.checksum = ChecksumOf(record_);
  // Anything cached may hold a short tail that this write extends.
  buffer_.clear();
  if (platform::SeekFile(fd_, recordOffset, platform::SeekFrom::kStart) != recordOffset ||
      !platform::WriteFile(fd_, &record_, sizeof(record_))) {
    platform::WriteDiagnostic(L"\nErrot trying to write directory file");
    // Drop a partial record so that later records stay where offsets say.
    platform::TruncateFile(fd_, recordOffset);
    return -1;
  }
  logicalEnd_ = recordOffset + kDirRecordSize;
  position_ = logicalEnd_;
  return recordOffset;
}

int64_t DirectoryFile::ReadRecordAt(int64_t offset, DirEntry* entry) {
  position_ = offset;
  return ReadNextRecord(entry);
}

int64_t DirectoryFile::ReadNextRecord(DirEntry* entry) {
  const int64_t offset = position_;
  if (offset < 0 || offset + kDirRecordSize > logicalEnd_) return -2;
  const int64_t bufferEnd = bufferStart_ + static_cast<int64_t>(buffer_.size());
  if (offset < bufferStart_ || offset + kDirRecordSize > bufferEnd) {
    const int64_t want = std::min<int64_t>(kRecordsPerRead * kDirRecordSize, logicalEnd_ - offset);
    buffer_.resize(static_cast<size_t>(want));
    bufferStart_ = offset;
    int64_t got = -1;
    if (platform::SeekFile(fd_, offset, platform::SeekFrom::kStart) == offset) {
      got = platform::ReadFile(fd_, buffer_.data(), buffer_.size());
    }
    if (got < kDirRecordSize) {
      buffer_.clear();
      platform::WriteDiagnostic(L"\nfailed to read from next dir file");
      return -1;
    }
    buffer_.resize(static_cast<size_t>(got));
  }
  std::memcpy(&record_, buffer_.data() + (offset - bufferStart_), sizeof(record_));
  entry->damage = Examine(record_, logicalEnd_);
  entry->extension = record_.extension;
  entry->timeExtra = record_.timeExtra;
  entry->name = entry->damage == RecordDamage::kNone
                    ? platform::GetFixedUtf16(record_.name, kDirNameUnits, record_.nameLength)
                    : std::wstring();
  entry->attributes = record_.attributes;
  entry->modifyTime = record_.modifyTime;
  entry->size = record_.size;
  entry->count = record_.count;
  entry->contentOffset = record_.contentOffset;
  position_ = offset + kDirRecordSize;
  return position_;
}

bool DirectoryFile::Sync() {
  return platform::SyncFile(fd_);
}

}  // namespace vaultline
