#include "catalogue/DirectoryFile.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "catalogue/SourceScanner.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/Text.h"
#include "util/Crc32.h"
#include "util/ThreadPlan.h"

namespace vaultline {

namespace {

constexpr size_t kRecordsPerRead = 256;
constexpr size_t kRecordsPerWrite = 64;
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
  if (record.nameLength >= kRecordTextUnits) return RecordDamage::kInconsistent;
  if ((record.extension & kDirHasTail) != 0) {
    ItemTail tail;
    if (record.nameLength > kMaxTailedNameUnits ||
        !ItemTail::Decode(record.name + kItemTailInName, &tail)) {
      return RecordDamage::kInconsistent;
    }
  }
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

DirectoryFile::DirectoryFile(RecordStream& stream, ThreadPlan* threads)
    : stream_(stream),
      position_(stream.LogicalLength()),
      writes_(stream, position_, L"\nErrot trying to write directory file",
              platform::GrowingFileWriteBack::kStep),
      threads_(threads) {}

DirectoryFile::~DirectoryFile() {
  Flush();
}

bool DirectoryFile::FlushBehind() {
  if (threads_ == nullptr || !threads_->Threaded()) return Flush();
  return writes_.FlushBehind(threads_->Get(ThreadPlan::Helper::kDirectoryWriter));
}

bool DirectoryFile::Flush() {
  return writes_.Flush();
}

int64_t DirectoryFile::WriteRecord(SourceScanner& item, int32_t level, int64_t* contentOffset,
                                   bool childrenFollow) {
  DirEntry entry;
  if (item.IsRecordable()) entry.name = item.FullPath();
  entry.level = level;
  entry.attributes = item.Attributes();
  entry.modifyTime = item.ModifyTime();
  entry.size = static_cast<int64_t>(item.Size());
  if (item.IsFolder()) {
    entry.count = item.EntryCount();
    if (childrenFollow) *contentOffset = LogicalEnd() + kDirRecordSize;
  } else {
    entry.count = item.IsNotStored() ? -1 : item.EntryCount();
  }
  entry.contentOffset = *contentOffset;
  const RecordExtension extension = item.Extension();
  entry.extension = extension.extension;
  entry.timeExtra = extension.timeExtra;
  if (item.HasTail()) entry.tail = item.Tail();
  return AppendRecord(entry);
}

int64_t DirectoryFile::AppendRecord(const DirEntry& entry) {
  const int64_t recordOffset = LogicalEnd();
  std::memset(&record_, 0, sizeof(record_));
  record_.magic = kDirRecordMagic;
  record_.level = entry.level;
  if (!platform::PutFixedUtf16(entry.name, record_.name, kRecordTextUnits, &record_.nameLength)) {
    std::memset(record_.name, 0, sizeof(record_.name));
    record_.nameLength = 0;
  }
  // The extensions a copied record carries go with it; its checksum is
  // made anew, over what it holds now.
  record_.extension = entry.extension;
  record_.timeExtra = entry.timeExtra;
  if (entry.HasTail()) {
    // Only a short name leaves the tail's bytes free.
    if (record_.nameLength <= kMaxTailedNameUnits) {
      entry.tail.Encode(record_.name + kItemTailInName);
    } else {
      record_.extension &= ~kDirHasTail;
    }
  }
  record_.attributes = entry.attributes;
  record_.modifyTime = entry.modifyTime;
  record_.size = entry.size;
  record_.count = entry.count;
  record_.contentOffset = entry.contentOffset;
  record_.extension |= kDirExtended;
  record_.checksum = ChecksumOf(record_);
  // Anything cached may hold a short tail that this write extends.
  buffer_.clear();
  writes_.Append(&record_, sizeof(record_));
  position_ = LogicalEnd();
  if (writes_.GatheredBytes() >= static_cast<int64_t>(kRecordsPerWrite * kDirRecordSize) &&
      !FlushBehind()) {
    return -1;
  }
  return recordOffset;
}

int64_t DirectoryFile::ReadRecordAt(int64_t offset, DirEntry* entry) {
  position_ = offset;
  return ReadNextRecord(entry);
}

int64_t DirectoryFile::ReadNextRecord(DirEntry* entry) {
  if (!Flush()) return -1;
  const int64_t offset = position_;
  if (offset < 0 || offset + kDirRecordSize > LogicalEnd()) return -2;
  const int64_t bufferEnd = bufferStart_ + static_cast<int64_t>(buffer_.size());
  if (offset < bufferStart_ || offset + kDirRecordSize > bufferEnd) {
    const int64_t want = std::min<int64_t>(kRecordsPerRead * kDirRecordSize, LogicalEnd() - offset);
    buffer_.resize(static_cast<size_t>(want));
    bufferStart_ = offset;
    // At an offset of its own: a second reader of the file may share the
    // stream.
    const int64_t got = stream_.ReadAt(offset, buffer_.data(), buffer_.size());
    if (got < kDirRecordSize) {
      buffer_.clear();
      platform::WriteDiagnostic(L"\nfailed to read from next dir file");
      return -1;
    }
    buffer_.resize(static_cast<size_t>(got));
  }
  std::memcpy(&record_, buffer_.data() + (offset - bufferStart_), sizeof(record_));
  entry->damage = Examine(record_, LogicalEnd());
  entry->level = record_.level;
  entry->extension = record_.extension;
  entry->timeExtra = record_.timeExtra;
  entry->name = entry->damage == RecordDamage::kNone
                    ? platform::GetFixedUtf16(record_.name, kRecordTextUnits, record_.nameLength)
                    : std::wstring();
  entry->attributes = record_.attributes;
  entry->modifyTime = record_.modifyTime;
  entry->size = record_.size;
  entry->count = record_.count;
  entry->contentOffset = record_.contentOffset;
  entry->tail = ItemTail{};
  if (entry->HasTail() && entry->damage == RecordDamage::kNone) {
    ItemTail::Decode(record_.name + kItemTailInName, &entry->tail);
  }
  position_ = offset + kDirRecordSize;
  return position_;
}

bool DirectoryFile::Sync() {
  return Flush() && stream_.Sync();
}

}  // namespace vaultline
