#include "catalogue/KeyIndexFile.h"

#include <algorithm>

#include "catalogue/DirRecord.h"
#include "catalogue/SidecarBytes.h"
#include "catalogue/SidecarStamp.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "util/ByteOrder.h"
#include "util/Crc32.h"

namespace vaultline {

namespace {

// "KEYS" in the file. Version 1 had no listing ends, 2 no tail states: both
// are rebuilt.
constexpr SidecarStamp kSegmentStamp{0x5359454B, 3, 32};
constexpr size_t kHeaderSize = 40;
constexpr size_t kRecordSize = 64;
constexpr size_t kEntryPrintSize = 24;
// Far beyond any index of a drive's catalogue; a larger file is not ours.
constexpr int64_t kMaxFileSize = int64_t{1} << 30;

void PutRecord(const KeyIndex::Entry& key, uint8_t* at) {
  StoreLe64(key.digest.high, at);
  StoreLe64(key.digest.low, at + 8);
  StoreLe64(static_cast<uint64_t>(key.offsets.recordOffset), at + 16);
  StoreLe64(static_cast<uint64_t>(key.offsets.contentOffset), at + 24);
  StoreLe16(key.offsets.state.extension, at + 32);
  StoreLe16(0, at + 34);
  StoreLe32(key.offsets.state.timeExtra, at + 36);
  StoreLe64(static_cast<uint64_t>(key.offsets.listingEnd), at + 40);
  StoreLe32(key.offsets.state.tailState, at + 48);
  StoreLe32(0, at + 52);
  StoreLe64(static_cast<uint64_t>(key.offsets.state.attributesOffset), at + 56);
}

KeyIndex::Entry GetRecord(const uint8_t* at) {
  KeyIndex::Entry key;
  key.digest.high = LoadLe64(at);
  key.digest.low = LoadLe64(at + 8);
  key.offsets.recordOffset = static_cast<int64_t>(LoadLe64(at + 16));
  key.offsets.contentOffset = static_cast<int64_t>(LoadLe64(at + 24));
  key.offsets.state.extension = LoadLe16(at + 32);
  key.offsets.state.timeExtra = LoadLe32(at + 36);
  key.offsets.listingEnd = static_cast<int64_t>(LoadLe64(at + 40));
  key.offsets.state.tailState = LoadLe32(at + 48);
  key.offsets.state.attributesOffset = static_cast<int64_t>(LoadLe64(at + 56));
  return key;
}

bool WriteWhole(int fd, const std::vector<uint8_t>& bytes) {
  return fd >= 0 && platform::WriteFile(fd, bytes.data(), bytes.size());
}

}  // namespace

KeyIndexFile::Coverage KeyIndexFile::Describe(const std::vector<SnapEntry>& entries, size_t count,
                                              RecordStream& directory, int64_t length) {
  Coverage coverage;
  count = std::min(count, entries.size());
  coverage.entryCount = static_cast<uint32_t>(count);
  std::vector<uint8_t> prints(count * kEntryPrintSize);
  for (size_t i = 0; i < count; ++i) {
    uint8_t* at = prints.data() + i * kEntryPrintSize;
    StoreLe32(static_cast<uint32_t>(entries[i].snapshotTime), at);
    StoreLe32(entries[i].extended ? 1 : 0, at + 4);
    StoreLe64(static_cast<uint64_t>(entries[i].source.rootOffset), at + 8);
    StoreLe64(static_cast<uint64_t>(entries[i].source.endOffset), at + 16);
  }
  coverage.entriesCrc = Crc32(prints.data(), prints.size());
  coverage.directoryLength = length;
  // The record before the end notices a file cut back and grown again, or
  // replaced, by a writer that knew nothing of this index.
  const int64_t start = std::max<int64_t>(0, length - kDirRecordSize);
  std::vector<uint8_t> tail(static_cast<size_t>(length - start));
  if (directory.ReadAt(start, tail.data(), tail.size()) != static_cast<int64_t>(tail.size())) {
    tail.assign(1, 0xFF);  // unreadable: matches no recorded tail
  }
  coverage.tailCrc = Crc32(tail.data(), tail.size());
  return coverage;
}

bool KeyIndexFile::Load(KeyIndex* index) {
  *index = KeyIndex();
  covered_ = Coverage();
  soundLength_ = 0;
  records_ = 0;
  current_ = false;
  const std::vector<uint8_t> bytes = ReadSidecar(path_, kMaxFileSize);

  size_t at = 0;
  while (bytes.size() - at >= kHeaderSize) {
    const uint8_t* header = bytes.data() + at;
    const uint32_t count = LoadLe32(header + 8);
    if (!kSegmentStamp.Opens(header) || count > (bytes.size() - at - kHeaderSize) / kRecordSize) {
      break;
    }
    const size_t length = kHeaderSize + count * kRecordSize;
    if (!kSegmentStamp.IsSealed(header, length)) break;
    for (size_t i = 0; i < count; ++i) {
      index->Remember(GetRecord(header + kHeaderSize + i * kRecordSize));
    }
    covered_.entryCount = LoadLe32(header + 12);
    covered_.entriesCrc = LoadLe32(header + 16);
    covered_.tailCrc = LoadLe32(header + 20);
    covered_.directoryLength = static_cast<int64_t>(LoadLe64(header + 24));
    records_ += count;
    at += length;
  }
  soundLength_ = static_cast<int64_t>(at);
  current_ = at > 0;
  if (!current_) *index = KeyIndex();
  return current_;
}

std::vector<uint8_t> KeyIndexFile::Segment(const std::vector<KeyIndex::Entry>& keys,
                                           const Coverage& coverage) const {
  std::vector<uint8_t> bytes(kHeaderSize + keys.size() * kRecordSize, 0);
  uint8_t* header = bytes.data();
  kSegmentStamp.Open(header);
  StoreLe32(static_cast<uint32_t>(keys.size()), header + 8);
  StoreLe32(coverage.entryCount, header + 12);
  StoreLe32(coverage.entriesCrc, header + 16);
  StoreLe32(coverage.tailCrc, header + 20);
  StoreLe64(static_cast<uint64_t>(coverage.directoryLength), header + 24);
  for (size_t i = 0; i < keys.size(); ++i) {
    PutRecord(keys[i], header + kHeaderSize + i * kRecordSize);
  }
  kSegmentStamp.Seal(header, bytes.size());
  return bytes;
}

bool KeyIndexFile::Rewrite(const KeyIndex& index, const Coverage& coverage) {
  current_ = false;
  const std::vector<KeyIndex::Entry> keys = index.SortedEntries();
  const std::vector<uint8_t> bytes = Segment(keys, coverage);
  if (!ReplaceSidecar(path_, bytes)) return false;
  covered_ = coverage;
  soundLength_ = static_cast<int64_t>(bytes.size());
  records_ = keys.size();
  current_ = true;
  return true;
}

bool KeyIndexFile::Append(const std::vector<KeyIndex::Entry>& keys, const Coverage& coverage) {
  if (!current_) return false;
  current_ = false;
  const std::vector<uint8_t> bytes = Segment(keys, coverage);
  const int fd = platform::OpenFile(path_, platform::OpenMode::kReadWriteStore);
  if (fd < 0) return false;
  // Whatever lies behind the sound segments is a torn or damaged one.
  bool written = platform::TruncateFile(fd, soundLength_) &&
                 platform::SeekFile(fd, soundLength_, platform::SeekFrom::kStart) == soundLength_ &&
                 WriteWhole(fd, bytes);
  if (!written) platform::TruncateFile(fd, soundLength_);
  written = platform::CloseFile(fd) && written;
  if (!written) return false;
  covered_ = coverage;
  soundLength_ += static_cast<int64_t>(bytes.size());
  records_ += keys.size();
  current_ = true;
  return true;
}

void KeyIndexFile::Remove() {
  platform::DeleteFile(path_);
  current_ = false;
}

}  // namespace vaultline
