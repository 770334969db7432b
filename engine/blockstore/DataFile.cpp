#include "blockstore/DataFile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/Format.h"
#include "platform/GatherWrite.h"

namespace vaultline {

using platform::SeekFrom;

DataFile::DataFile(int fd) : fd_(fd) {
  logicalEnd_ = platform::SeekFile(fd_, 0, SeekFrom::kEnd);
  if (logicalEnd_ < 0) logicalEnd_ = 0;
  SeekTo(0);
}

DataFile::~DataFile() = default;

bool DataFile::SeekTo(int64_t position) {
  if (position == filePosition_) return true;
  filePosition_ = platform::SeekFile(fd_, position, SeekFrom::kStart);
  return filePosition_ == position;
}

int64_t DataFile::Read(void* buffer, int64_t position, int64_t length) {
  if (!SeekTo(position)) return -1;
  int64_t got = platform::ReadFile(fd_, buffer, static_cast<size_t>(length));
  filePosition_ = got == length ? position + got : -1;
  return got;
}

bool DataFile::HasRecords() const {
  return logicalEnd_ > DataRecordHeader::kSize;
}

bool DataFile::SeekToEnd() {
  SeekTo(logicalEnd_);
  return true;
}

bool DataFile::IsSound(const DataRecordHeader& header, int64_t position) const {
  return header.magic == DataRecordHeader::kMagic && header.checksumMatches && header.length >= 1 &&
         header.length <= DataRecordHeader::kMaxLength &&
         position + DataRecordHeader::kSize + header.length <= logicalEnd_ &&
         header.position == position;
}

bool DataFile::ReadHeaderAt(int64_t position, DataRecordHeader* header) {
  if (position < 0 || position + DataRecordHeader::kSize > logicalEnd_ ||
      Read(header_, position, DataRecordHeader::kSize) != DataRecordHeader::kSize) {
    return false;
  }
  *header = DataRecordHeader::Decode(header_);
  return IsSound(*header, position);
}

bool DataFile::ReadWholeBlock(int64_t position, int32_t expectedLength, uint8_t* buffer,
                              DataRecordHeader* header) {
  if (position < 0 || position + DataRecordHeader::kSize > logicalEnd_) return false;
  int64_t wanted =
      std::min<int64_t>(DataRecordHeader::kSize +
                            std::clamp<int32_t>(expectedLength, 0, DataRecordHeader::kMaxLength),
                        logicalEnd_ - position);
  if (Read(buffer, position, wanted) != wanted) return false;
  *header = DataRecordHeader::Decode(buffer);
  if (!IsSound(*header, position)) return false;
  // The block is longer than expected: the rest follows directly.
  int64_t have = wanted - DataRecordHeader::kSize;
  return have >= header->length ||
         Read(buffer + wanted, position + wanted, header->length - have) == header->length - have;
}

int64_t DataFile::FindSoundHeader(int64_t from) {
  constexpr size_t kChunk = 65536;
  std::vector<uint8_t> chunk(kChunk + 1);
  // Every offset whose first two bytes are the magic, little-endian, is a
  // candidate; a chunk keeps one byte of overlap with the next.
  for (int64_t base = from; base + 1 < logicalEnd_; base += kChunk) {
    int64_t got = Read(chunk.data(), base, std::min<int64_t>(chunk.size(), logicalEnd_ - base));
    if (got < 2) return -1;
    for (int64_t i = 0; i + 1 < got && i < static_cast<int64_t>(kChunk); ++i) {
      if (chunk[i] != (DataRecordHeader::kMagic & 0xFF) ||
          chunk[i + 1] != (DataRecordHeader::kMagic >> 8)) {
        continue;
      }
      DataRecordHeader header;
      if (ReadHeaderAt(base + i, &header)) return base + i;
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
  return true;
}

bool DataFile::ReadBlock(void* buffer, int64_t position, int32_t length) {
  if (position + DataRecordHeader::kSize > logicalEnd_) {
    platform::WriteDiagnostic(L"\nmetadata file offset too high");
    return false;
  }
  int64_t got = -1;
  if (position >= 0 && length > 0) got = Read(buffer, position + DataRecordHeader::kSize, length);
  if (got != length) {
    platform::WriteDiagnostic(
        platform::FormatWide(L"\n Failed to read data file data, size is %d\nfile position %I64d",
                             length, platform::TellFile(fd_)));
    return false;
  }
  return true;
}

bool DataFile::ReadPrefix(void* buffer, int64_t position, int32_t length, const Md5Digest& digest) {
  uint8_t bytes[DataRecordHeader::kSize + kMaxPrefix];
  if (position < 0 || length < 0 || length > kMaxPrefix ||
      position + DataRecordHeader::kSize + length > logicalEnd_ ||
      Read(bytes, position, DataRecordHeader::kSize + length) != DataRecordHeader::kSize + length) {
    return false;
  }
  const DataRecordHeader header = DataRecordHeader::Decode(bytes);
  if (!IsSound(header, position) || header.digest != digest || header.length < length) {
    return false;
  }
  std::memcpy(buffer, bytes + DataRecordHeader::kSize, static_cast<size_t>(length));
  return true;
}

bool DataFile::WriteHeader(int32_t weakChecksum, const Md5Digest& digest, int32_t length,
                           int64_t* position) {
  FillHeader(weakChecksum, digest, length);
  if (!SeekTo(logicalEnd_) || !platform::WriteFile(fd_, header_, sizeof header_)) {
    WriteFailed(L"\n Failed to write data file header data");
    return false;
  }
  *position = logicalEnd_;
  logicalEnd_ += DataRecordHeader::kSize;
  filePosition_ = logicalEnd_;
  return true;
}

bool DataFile::WriteBytes(const void* buffer, int32_t length) {
  if (!platform::WriteFile(fd_, buffer, static_cast<size_t>(length))) {
    WriteFailed(L"\nfailed to wrtie data to data file");
    return false;
  }
  logicalEnd_ += length;
  filePosition_ = logicalEnd_;
  return true;
}

bool DataFile::AppendBlock(int32_t weakChecksum, const Md5Digest& digest, const void* first,
                           int32_t firstLength, const void* second, int32_t secondLength,
                           int64_t* position) {
  FillHeader(weakChecksum, digest, firstLength + secondLength);
  const platform::WritePiece pieces[] = {{header_, sizeof header_},
                                         {first, static_cast<size_t>(firstLength)},
                                         {second, static_cast<size_t>(secondLength)}};
  if (!SeekTo(logicalEnd_) || !platform::WriteFileGather(fd_, pieces, 3)) {
    WriteFailed(L"\nfailed to wrtie data to data file");
    DiscardFrom(logicalEnd_);
    return false;
  }
  *position = logicalEnd_;
  logicalEnd_ += DataRecordHeader::kSize + firstLength + secondLength;
  filePosition_ = logicalEnd_;
  return true;
}

void DataFile::FillHeader(int32_t weakChecksum, const Md5Digest& digest, int32_t length) {
  DataRecordHeader header;
  header.weakChecksum = weakChecksum;
  header.digest = digest;
  header.length = length;
  header.position = logicalEnd_;
  header.Encode(header_);
}

void DataFile::WriteFailed(const wchar_t* text) {
  lastError_ = platform::LastError();
  filePosition_ = -1;
  platform::WriteDiagnostic(text);
}

bool DataFile::DiscardIfCutShort(int64_t position) {
  uint8_t bytes[DataRecordHeader::kSize];
  if (position < 0 || position + DataRecordHeader::kSize > logicalEnd_ ||
      Read(bytes, position, DataRecordHeader::kSize) != DataRecordHeader::kSize) {
    return false;
  }
  const DataRecordHeader header = DataRecordHeader::Decode(bytes);
  const bool cutShort = header.magic == DataRecordHeader::kMagic && header.checksumMatches &&
                        header.position == position && header.length >= 1 &&
                        header.length <= DataRecordHeader::kMaxLength &&
                        position + DataRecordHeader::kSize + header.length > logicalEnd_;
  if (cutShort) DiscardFrom(position);
  return cutShort;
}

void DataFile::DiscardFrom(int64_t position) {
  // Best effort: if the cut fails, the next append still starts at the
  // logical end and overwrites the partial block.
  platform::TruncateFile(fd_, position);
  logicalEnd_ = position;
  filePosition_ = -1;
}

}  // namespace vaultline
