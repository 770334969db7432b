#include "blockstore/BlockIndexFile.h"

#include <algorithm>

namespace vaultline {

namespace {

int64_t WholeRecordsEnd(const RecordStream& stream) {
  const int64_t size = stream.LogicalLength();
  return size - size % IndexRecord::kSize;
}

}  // namespace

BlockIndexFile::BlockIndexFile(RecordStream& stream)
    : stream_(stream),
      writes_(stream, WholeRecordsEnd(stream), L"\n Failed to write data file header data",
              platform::GrowingFileWriteBack::kStep) {}

BlockIndexFile::~BlockIndexFile() {
  Flush();
}

bool BlockIndexFile::HasRecords() const {
  return LogicalEnd() > IndexRecord::kSize;
}

bool BlockIndexFile::ReadNext(int32_t* weakChecksum, Md5Digest* digest, int64_t* position) {
  if (readPosition_ >= LogicalEnd()) return false;
  // Records are read a batch at a time: a store of a million blocks loads
  // with a few hundred reads.
  constexpr int64_t kBatchBytes = 2048 * IndexRecord::kSize;
  if (readAt_ == readBuffer_.size()) {
    const int64_t wanted = std::min(kBatchBytes, LogicalEnd() - readPosition_);
    readBuffer_.resize(static_cast<size_t>(wanted));
    readAt_ = 0;
    if (stream_.ReadAt(readPosition_, readBuffer_.data(), readBuffer_.size()) != wanted) {
      readBuffer_.clear();
      writes_.AssumeEnd(readPosition_);
      return false;
    }
  }
  IndexRecord record = IndexRecord::Decode(&readBuffer_[readAt_]);
  if (!record.checksumMatches) {
    damaged_ = true;
    return false;
  }
  readPosition_ += IndexRecord::kSize;
  readAt_ += IndexRecord::kSize;
  *weakChecksum = record.weakChecksum;
  *digest = record.digest;
  *position = record.position;
  return true;
}

void BlockIndexFile::SeekRecord(uint64_t number) {
  readPosition_ = std::min(static_cast<int64_t>(number) * IndexRecord::kSize, LogicalEnd());
  readBuffer_.clear();
  readAt_ = 0;
}

bool BlockIndexFile::ReadRecord(uint64_t number, IndexRecord* record, uint32_t* crc) const {
  const int64_t at = static_cast<int64_t>(number) * IndexRecord::kSize;
  uint8_t bytes[IndexRecord::kSize];
  if (at + IndexRecord::kSize > LogicalEnd() ||
      stream_.ReadAt(at, bytes, sizeof bytes) != IndexRecord::kSize) {
    return false;
  }
  *record = IndexRecord::Decode(bytes);
  if (crc != nullptr) *crc = Crc32(bytes, sizeof bytes);
  return record->checksumMatches;
}

size_t BlockIndexFile::ReadRecords(uint64_t first, size_t count,
                                   std::vector<uint8_t>* bytes) const {
  const int64_t at = static_cast<int64_t>(first) * IndexRecord::kSize;
  const int64_t wanted = std::min(static_cast<int64_t>(count) * IndexRecord::kSize,
                                  std::max<int64_t>(LogicalEnd() - at, 0));
  bytes->resize(static_cast<size_t>(wanted));
  const int64_t got = wanted > 0 ? stream_.ReadAt(at, bytes->data(), bytes->size()) : 0;
  return got > 0 ? static_cast<size_t>(got) / IndexRecord::kSize : 0;
}

bool BlockIndexFile::Append(int32_t weakChecksum, const Md5Digest& digest, int64_t position) {
  IndexRecord record;
  record.weakChecksum = weakChecksum;
  record.digest = digest;
  record.position = position;
  record.Encode(record_);
  writes_.Append(record_, sizeof record_);
  return true;
}

bool BlockIndexFile::Flush(size_t records) {
  return writes_.Flush(records * IndexRecord::kSize);
}

void BlockIndexFile::Reset() {
  writes_.DropGathered();
  writes_.CutBack(0);
  readPosition_ = 0;
  readBuffer_.clear();
  readAt_ = 0;
  damaged_ = false;
}

}  // namespace vaultline
