#include "blockstore/DataFile.h"

#include <algorithm>
#include <vector>

#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/Format.h"

namespace vaultline {

using platform::SeekFrom;

DataFile::DataFile(int fd) : fd_(fd) {
  logicalEnd_ = platform::SeekFile(fd_, 0, SeekFrom::kEnd);
  if (logicalEnd_ < 0) logicalEnd_ = 0;
  platform::SeekFile(fd_, 0, SeekFrom::kStart);
}

DataFile::~DataFile() = default;

bool DataFile::HasRecords() const {
  return logicalEnd_ > DataRecordHeader::kSize;
}

bool DataFile::SeekToEnd() {
  platform::SeekFile(fd_, logicalEnd_, SeekFrom::kStart);
  return true;
}

bool DataFile::IsSound(const DataRecordHeader& header, int64_t position) const {
  return header.magic == DataRecordHeader::kMagic && header.length >= 1 &&
         header.length <= DataRecordHeader::kMaxLength &&
         position + DataRecordHeader::kSize + header.length <= logicalEnd_ &&
         header.position == position;
}

bool DataFile::ReadHeaderAt(int64_t position, DataRecordHeader* header) {
  if (position < 0 || position + DataRecordHeader::kSize > logicalEnd_) return false;
  if (platform::SeekFile(fd_, position, SeekFrom::kStart) != position ||
      platform::ReadFile(fd_, header_, sizeof header_) != DataRecordHeader::kSize) {
    return false;
  }
  *header = DataRecordHeader::Decode(header_);
  return IsSound(*header, position);
}

bool DataFile::ReadWholeBlock(int64_t position, uint8_t* buffer, DataRecordHeader* header) {
  if (position < 0 || position + DataRecordHeader::kSize > logicalEnd_) return false;
  int64_t wanted = std::min<int64_t>(DataRecordHeader::kSize + DataRecordHeader::kMaxLength,
                                     logicalEnd_ - position);
  if (platform::SeekFile(fd_, position, SeekFrom::kStart) != position ||
      platform::ReadFile(fd_, buffer, static_cast<size_t>(wanted)) != wanted) {
    return false;
  }
  *header = DataRecordHeader::Decode(buffer);
  return IsSound(*header, position);
}

int64_t DataFile::FindSoundHeader(int64_t from) {
  constexpr size_t kChunk = 65536;
  std::vector<uint8_t> chunk(kChunk + 1);
  // Every offset whose first two bytes are the magic, little-endian, is a
  // candidate; a chunk keeps one byte of overlap with the next.
  for (int64_t base = from; base + 1 < logicalEnd_; base += kChunk) {
    if (platform::SeekFile(fd_, base, SeekFrom::kStart) != base) return -1;
    int64_t got = platform::ReadFile(fd_, chunk.data(), chunk.size());
    if (got < 2) return -1;
    for (int64_t i = 0; i + 1 < got && i < static_cast<int64_t>(kChunk); ++i) {
      if (chunk[i] != (DataRecordHeader::kMagic & 0xFF) ||
          chunk[i + 1] != (DataRecordHeader::kMagic >> 8)) {
        continue;
      }
      DataRecordHeader header;
      if (ReadHeaderAt(base + i, &header)) return base + i;
      // ReadHeaderAt moved the file; the rest of this chunk is in memory.
    }
  }
  return -1;
}

bool DataFile::ReadNextHeader(int32_t* weakChecksum, Md5Digest* digest, int64_t* position) {
  int64_t p = scanPosition_;
  if (p >= logicalEnd_) return false;
  DataRecordHeader header;
  if (!ReadHeaderAt(p, &header)) {
    int64_t next = FindSoundHeader(p + 1);
    if (next < 0) {
      // A torn tail: the writer stopped in the middle of an append. Nothing
      // sound lies behind it, so the next block may take its place.
      platform::WriteDiagnostic(platform::FormatWide(
          L"\nData file ends in %I64d damaged bytes at offset %I64d", logicalEnd_ - p, p));
      platform::TruncateFile(fd_, p);
      logicalEnd_ = p;
      scanPosition_ = p;
      return false;
    }
    platform::WriteDiagnostic(platform::FormatWide(
        L"\nData file damaged: skipped %I64d bytes at offset %I64d", next - p, p));
    ReadHeaderAt(next, &header);
    p = next;
  }
  *weakChecksum = header.weakChecksum;
  *digest = header.digest;
  *position = header.position;
  scanPosition_ = p + DataRecordHeader::kSize + header.length;
  platform::SeekFile(fd_, scanPosition_, SeekFrom::kStart);
  return true;
}

bool DataFile::ReadBlock(void* buffer, int64_t position, int32_t length) {
  if (position + DataRecordHeader::kSize > logicalEnd_) {
    platform::WriteDiagnostic(L"\nmetadata file offset too high");
    return false;
  }
  int64_t got = -1;
  if (position >= 0 && length > 0 &&
      platform::SeekFile(fd_, position + DataRecordHeader::kSize, SeekFrom::kStart) >= 0) {
    got = platform::ReadFile(fd_, buffer, static_cast<size_t>(length));
  }
  if (got != length) {
    platform::WriteDiagnostic(
        platform::FormatWide(L"\n Failed to read data file data, size is %d\nfile position %I64d",
                             length, platform::TellFile(fd_)));
    return false;
  }
  return true;
}

bool DataFile::WriteHeader(int32_t weakChecksum, const Md5Digest& digest, int32_t length,
                           int64_t* position) {
  DataRecordHeader header;
  header.weakChecksum = weakChecksum;
  header.digest = digest;
  header.length = length;
  header.position = logicalEnd_;
  header.Encode(header_);
  if (platform::SeekFile(fd_, logicalEnd_, SeekFrom::kStart) != logicalEnd_ ||
      !platform::WriteFile(fd_, header_, sizeof header_)) {
    lastError_ = platform::LastError();
    platform::WriteDiagnostic(L"\n Failed to write data file header data");
    return false;
  }
  *position = header.position;
  logicalEnd_ += DataRecordHeader::kSize;
  return true;
}

bool DataFile::WriteBytes(const void* buffer, int32_t length) {
  if (!platform::WriteFile(fd_, buffer, static_cast<size_t>(length))) {
    lastError_ = platform::LastError();
    platform::WriteDiagnostic(L"\nfailed to wrtie data to data file");
    return false;
  }
  logicalEnd_ += length;
  return true;
}

void DataFile::DiscardFrom(int64_t position) {
  // Best effort: if the cut fails, the next append still starts at the
  // logical end and overwrites the partial block.
  platform::TruncateFile(fd_, position);
  logicalEnd_ = position;
  platform::SeekFile(fd_, position, SeekFrom::kStart);
}

}  // namespace vaultline
