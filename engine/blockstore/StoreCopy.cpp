#include "blockstore/StoreCopy.h"

#include <algorithm>

#include "blockstore/BlockIndexFile.h"
#include "blockstore/BlockStore.h"
#include "blockstore/DataFile.h"
#include "blockstore/FpRecordFile.h"
#include "platform/File.h"

namespace vaultline {

namespace {

constexpr int64_t kRawChunk = 163840;

}  // namespace

int64_t StoreCopy::BlockBytes(int32_t length) {
  return DataRecordHeader::kSize + length;
}

int64_t StoreCopy::IndexBytes() {
  return IndexRecord::kSize;
}

int64_t StoreCopy::MeasureContent(int64_t offset, int64_t contentEnd,
                                  std::map<int64_t, int32_t>* blocks, std::wstring* owner) {
  FpRecordFile content(contentFd_);
  std::wstring name, secondName;
  int64_t size = 0;
  uint16_t layout = 0;
  if (offset < 0 || platform::SeekFile(contentFd_, offset, platform::SeekFrom::kStart) != offset ||
      !content.ReadHeader(&name, &size, &layout, &secondName) || size < 0) {
    return -1;
  }
  int64_t length = FpHeader::kSize;
  if (layout == FpHeader::kLayoutRaw) {
    length += size;
  } else {
    // As a restore reads it: pieces until they cover the size.
    for (int64_t covered = 0; covered < size; length += FpEntry::kSize) {
      int32_t weakChecksum, pieceLength;
      Md5Digest digest;
      int64_t sourcePosition, dataPosition;
      if (!content.ReadEntry(&weakChecksum, &digest, &pieceLength, &sourcePosition,
                             &dataPosition) ||
          pieceLength <= 0) {
        *owner = name;
        return -2;
      }
      blocks->emplace(dataPosition, 0);
      covered += pieceLength;
    }
  }
  if (offset + length > contentEnd) {
    *owner = name;
    return -2;
  }
  return length;
}

int32_t StoreCopy::BlockLength(int64_t position) {
  DataFile data(data_);
  DataRecordHeader header;
  return data.ReadHeaderAt(position, &header) ? header.length : -1;
}

StoreCopy::BlocksCopied StoreCopy::CopyBlocks(const std::map<int64_t, int32_t>& blocks,
                                              const std::vector<int64_t>& newPositions,
                                              RecordStream& newData, RecordStream& newIndex,
                                              const Progress& progress, int64_t* damagedAt) {
  DataFile oldBlocks(data_);
  std::vector<uint8_t> buffer(DataRecordHeader::kSize + DataRecordHeader::kMaxLength);
  DataFile target(newData);
  BlockIndexFile index(newIndex);
  size_t i = 0;
  for (const auto& [position, length] : blocks) {
    DataRecordHeader header;
    int64_t newPosition = -1;
    if (!oldBlocks.ReadWholeBlock(position, length, buffer.data(), &header)) {
      *damagedAt = position;
      return BlocksCopied::kDamaged;
    }
    target.AppendBlock(header.weakChecksum, header.digest, buffer.data() + DataRecordHeader::kSize,
                       header.length, nullptr, 0, &newPosition);
    if (newPosition != newPositions[i] ||
        !index.Append(header.weakChecksum, header.digest, newPosition) ||
        (target.UnflushedBytes() >= BlockStore::kAppendBatch &&
         !(target.Flush() && index.Flush()))) {
      error_ = platform::LastError();
      return BlocksCopied::kDataNotWritten;
    }
    ++i;
    if (!progress(BlockBytes(length) + IndexBytes())) return BlocksCopied::kStopped;
  }
  if (!target.Flush()) {
    error_ = platform::LastError();
    return BlocksCopied::kDataNotWritten;
  }
  if (!index.Flush()) {
    error_ = platform::LastError();
    return BlocksCopied::kIndexNotWritten;
  }
  return BlocksCopied::kAll;
}

bool StoreCopy::CopyContents(const std::map<int64_t, int64_t>& contents, int newContent,
                             const std::function<int64_t(int64_t)>& newBlock,
                             const Progress& progress) {
  FpRecordFile source(contentFd_);
  FpRecordFile target(newContent);
  std::vector<uint8_t> raw(kRawChunk);
  bool written = true;
  for (const auto& [offset, length] : contents) {
    // The whole header goes across, extensions and all: a small file's
    // digest is what lets a restore check it.
    FpHeader header;
    platform::SeekFile(contentFd_, offset, platform::SeekFrom::kStart);
    if (!source.ReadHeader(&header) || !target.WriteHeader(header)) {
      written = false;
      break;
    }
    const int64_t size = header.size;
    if (header.layout == FpHeader::kLayoutRaw) {
      for (int64_t left = size; written && left > 0;) {
        const int64_t chunk = std::min(left, kRawChunk);
        written = source.ReadRaw(raw.data(), chunk) && target.WriteRaw(raw.data(), chunk);
        left -= chunk;
      }
    } else {
      for (int64_t covered = 0; written && covered < size;) {
        int32_t weakChecksum, pieceLength;
        Md5Digest digest;
        int64_t sourcePosition, dataPosition;
        written = source.ReadEntry(&weakChecksum, &digest, &pieceLength, &sourcePosition,
                                   &dataPosition) &&
                  target.WriteEntry(weakChecksum, digest, pieceLength, sourcePosition,
                                    newBlock(dataPosition));
        covered += pieceLength;
      }
    }
    if (!written || !progress(length)) break;
  }
  return written && target.Flush();
}

}  // namespace vaultline
