#include "blockstore/DataFile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/DiagnosticLog.h"
#include "platform/Format.h"

namespace vaultline {

// Each batch of blocks is started out to the disk as soon as it is written:
// they are most of what the sync before publishing would wait for.
DataFile::DataFile(RecordStream& stream)
    : stream_(stream),
      writes_(stream, stream.LogicalLength(), L"\nfailed to wrtie data to data file", 0) {}

DataFile::~DataFile() = default;

int64_t DataFile::Read(void* buffer, int64_t position, int64_t length) const {
  if (position < 0) return -1;
  const int64_t got = stream_.ReadAt(position, buffer, static_cast<size_t>(length));
  return got < 0 ? -1 : got;
}

bool DataFile::HasRecords() const {
  return LogicalEnd() > DataRecordHeader::kSize;
}

bool DataFile::IsSound(const DataRecordHeader& header, int64_t position) const {
  return header.magic == DataRecordHeader::kMagic && header.checksumMatches && header.length >= 1 &&
         header.length <= DataRecordHeader::kMaxLength &&
         position + DataRecordHeader::kSize + header.length <= LogicalEnd() &&
         header.position == position;
}

bool DataFile::ReadHeaderAt(int64_t position, DataRecordHeader* header) {
  if (position < 0 || position + DataRecordHeader::kSize > LogicalEnd() ||
      Read(header_, position, DataRecordHeader::kSize) != DataRecordHeader::kSize) {
    return false;
  }
  *header = DataRecordHeader::Decode(header_);
  return IsSound(*header, position);
}

bool DataFile::ReadWholeBlock(int64_t position, int32_t expectedLength, uint8_t* buffer,
                              DataRecordHeader* header) {
  if (position < 0 || position + DataRecordHeader::kSize > LogicalEnd()) return false;
  int64_t wanted =
      std::min<int64_t>(DataRecordHeader::kSize +
                            std::clamp<int32_t>(expectedLength, 0, DataRecordHeader::kMaxLength),
                        LogicalEnd() - position);
  if (Read(buffer, position, wanted) != wanted) return false;
  *header = DataRecordHeader::Decode(buffer);
  if (!IsSound(*header, position)) return false;
  // The block is longer than expected: the rest follows directly.
  int64_t have = wanted - DataRecordHeader::kSize;
  return have >= header->length ||
         Read(buffer + wanted, position + wanted, header->length - have) == header->length - have;
}

int64_t DataFile::ReadRun(uint8_t* buffer, int64_t position, int64_t length) const {
  if (position < 0) return -1;
  const int64_t wanted = std::min(length, LogicalEnd() - position);
  return wanted <= 0 ? 0 : Read(buffer, position, wanted);
}

bool DataFile::DecodeSound(const uint8_t* bytes, int64_t position, DataRecordHeader* header) const {
  *header = DataRecordHeader::Decode(bytes);
  return IsSound(*header, position);
}

int64_t DataFile::FindSoundHeader(int64_t from) {
  constexpr size_t kChunk = 65536;
  std::vector<uint8_t> chunk(kChunk + 1);
  // Every offset whose first two bytes are the magic, little-endian, is a
  // candidate; a chunk keeps one byte of overlap with the next.
  for (int64_t base = from; base + 1 < LogicalEnd(); base += kChunk) {
    int64_t got = Read(chunk.data(), base, std::min<int64_t>(chunk.size(), LogicalEnd() - base));
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
  if (p >= LogicalEnd()) return false;
  DataRecordHeader header;
  if (!ReadHeaderAt(p, &header)) {
    int64_t next = FindSoundHeader(p + 1);
    if (next < 0) {
      // A torn tail: the writer stopped in the middle of an append. Nothing
      // sound lies behind it, so the next block may take its place.
      platform::WriteDiagnostic(platform::FormatWide(
          L"\nData file ends in %I64d damaged bytes at offset %I64d", LogicalEnd() - p, p));
      DiscardFrom(p);
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
  if (position + DataRecordHeader::kSize > LogicalEnd()) {
    platform::WriteDiagnostic(L"\nmetadata file offset too high");
    return false;
  }
  int64_t got = -1;
  if (position >= 0 && length > 0) got = Read(buffer, position + DataRecordHeader::kSize, length);
  if (got != length) {
    platform::WriteDiagnostic(
        platform::FormatWide(L"\n Failed to read data file data, size is %d\nfile position %I64d",
                             length, position + DataRecordHeader::kSize));
    return false;
  }
  return true;
}

bool DataFile::ReadPrefix(void* buffer, int64_t position, int32_t length, const Md5Digest& digest) {
  uint8_t bytes[DataRecordHeader::kSize + kMaxPrefix];
  const uint8_t* read = bytes;
  if (position < 0 || length < 0 || length > kMaxPrefix) return false;
  DataRecordHeader header;
  if (position >= LogicalEnd()) {
    // A block being written or gathered is read from memory; it is whole
    // there, as appends only gather whole blocks.
    const std::span<const uint8_t> held = writes_.HeldFrom(position);
    const auto heldBytes = static_cast<int64_t>(held.size());
    if (DataRecordHeader::kSize + length > heldBytes) return false;
    read = held.data();
    header = DataRecordHeader::Decode(read);
    if (header.position != position || header.length < length || header.digest != digest ||
        DataRecordHeader::kSize + header.length > heldBytes) {
      return false;
    }
  } else {
    if (position + DataRecordHeader::kSize + length > LogicalEnd() ||
        Read(bytes, position, DataRecordHeader::kSize + length) !=
            DataRecordHeader::kSize + length) {
      return false;
    }
    header = DataRecordHeader::Decode(bytes);
    if (!IsSound(header, position) || header.digest != digest || header.length < length) {
      return false;
    }
  }
  std::memcpy(buffer, read + DataRecordHeader::kSize, static_cast<size_t>(length));
  return true;
}

void DataFile::ReserveGathered(size_t bytes) {
  writes_.Reserve(bytes);
}

void DataFile::AppendBlock(int32_t weakChecksum, const Md5Digest& digest, const void* first,
                           int32_t firstLength, const void* second, int32_t secondLength,
                           int64_t* position) {
  *position = writes_.End();
  FillHeader(weakChecksum, digest, firstLength + secondLength, *position);
  writes_.Append(header_, sizeof header_);
  writes_.Append(first, static_cast<size_t>(firstLength));
  writes_.Append(second, static_cast<size_t>(secondLength));
}

bool DataFile::Flush() {
  return writes_.Flush();
}

bool DataFile::FlushBehind(WorkerThread& worker) {
  return writes_.FlushBehind(worker);
}

void DataFile::FillHeader(int32_t weakChecksum, const Md5Digest& digest, int32_t length,
                          int64_t position) {
  DataRecordHeader header;
  header.weakChecksum = weakChecksum;
  header.digest = digest;
  header.length = length;
  header.position = position;
  header.Encode(header_);
}

bool DataFile::DiscardIfCutShort(int64_t position) {
  uint8_t bytes[DataRecordHeader::kSize];
  if (position < 0 || position + DataRecordHeader::kSize > LogicalEnd() ||
      Read(bytes, position, DataRecordHeader::kSize) != DataRecordHeader::kSize) {
    return false;
  }
  const DataRecordHeader header = DataRecordHeader::Decode(bytes);
  const bool cutShort = header.magic == DataRecordHeader::kMagic && header.checksumMatches &&
                        header.position == position && header.length >= 1 &&
                        header.length <= DataRecordHeader::kMaxLength &&
                        position + DataRecordHeader::kSize + header.length > LogicalEnd();
  if (cutShort) DiscardFrom(position);
  return cutShort;
}

void DataFile::DiscardFrom(int64_t position) {
  writes_.CutBack(position);
}

}  // namespace vaultline
