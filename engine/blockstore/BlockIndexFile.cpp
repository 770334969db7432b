#include "blockstore/BlockIndexFile.h"

#include "platform/DiagnosticLog.h"
#include "platform/File.h"

namespace vaultline {

using platform::SeekFrom;

BlockIndexFile::BlockIndexFile(int fd) : fd_(fd) {
  int64_t size = platform::SeekFile(fd_, 0, SeekFrom::kEnd);
  logicalEnd_ = size < 0 ? 0 : size - size % IndexRecord::kSize;
  platform::SeekFile(fd_, 0, SeekFrom::kStart);
}

BlockIndexFile::~BlockIndexFile() {
  Flush();
}

bool BlockIndexFile::HasRecords() const {
  return logicalEnd_ > IndexRecord::kSize;
}

bool BlockIndexFile::ReadNext(int32_t* weakChecksum, Md5Digest* digest, int64_t* position) {
  if (readPosition_ >= logicalEnd_) return false;
  if (platform::SeekFile(fd_, readPosition_, SeekFrom::kStart) != readPosition_ ||
      platform::ReadFile(fd_, record_, sizeof record_) != IndexRecord::kSize) {
    logicalEnd_ = readPosition_;
    return false;
  }
  IndexRecord record = IndexRecord::Decode(record_);
  if (!record.checksumMatches) {
    damaged_ = true;
    return false;
  }
  readPosition_ += IndexRecord::kSize;
  *weakChecksum = record.weakChecksum;
  *digest = record.digest;
  *position = record.position;
  return true;
}

bool BlockIndexFile::Append(int32_t weakChecksum, const Md5Digest& digest, int64_t position) {
  constexpr size_t kBatchBytes = 256 * IndexRecord::kSize;
  IndexRecord record;
  record.weakChecksum = weakChecksum;
  record.digest = digest;
  record.position = position;
  record.Encode(record_);
  pending_.insert(pending_.end(), record_, record_ + sizeof record_);
  return pending_.size() < kBatchBytes || Flush();
}

bool BlockIndexFile::Flush() {
  if (pending_.empty()) return true;
  bool written = platform::SeekFile(fd_, logicalEnd_, SeekFrom::kStart) == logicalEnd_ &&
                 platform::WriteFile(fd_, pending_.data(), pending_.size());
  if (written) {
    logicalEnd_ += static_cast<int64_t>(pending_.size());
  } else {
    lastError_ = platform::LastError();
    platform::WriteDiagnostic(L"\n Failed to write data file header data");
    platform::TruncateFile(fd_, logicalEnd_);
  }
  pending_.clear();
  return written;
}

void BlockIndexFile::Reset() {
  pending_.clear();
  platform::TruncateFile(fd_, 0);
  platform::SeekFile(fd_, 0, SeekFrom::kStart);
  logicalEnd_ = 0;
  readPosition_ = 0;
  damaged_ = false;
}

}  // namespace vaultline
