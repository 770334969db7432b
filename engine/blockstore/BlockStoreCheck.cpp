// Checking a store without changing it: content records as a restore reads
// them, and every block of the data file with the index against it.
#include <algorithm>

#include "blockstore/BlockIndexFile.h"
#include "blockstore/BlockStore.h"
#include "blockstore/ContentRecord.h"
#include "blockstore/DataFile.h"
#include "blockstore/IndexRecord.h"
#include "platform/File.h"
#include "platform/Format.h"
#include "platform/Text.h"
#include "vaultline/Vaultline.h"

namespace vaultline {

namespace {
constexpr int64_t kScanChunk = 4 << 20;
}  // namespace

bool BlockStore::CheckContent(int contentFd, int64_t contentOffset, const std::wstring& name,
                              int64_t size, bool readBlocks, std::wstring* why) {
  if (IsOpen()) FlushBlocks();  // what a cancelled backup left gathered
  ContentRecord record;
  const int64_t dataEnd = dataFile_ != nullptr ? dataFile_->LogicalEnd() : 0;
  switch (ContentRecord::Read(contentFd, contentOffset, name, size, dataEnd, &record, why)) {
    case ContentRecord::Check::kSound:
      break;
    case ContentRecord::Check::kReadError:
      *why = L"its record could not be read: " + platform::SystemErrorText(platform::LastError());
      return false;
    case ContentRecord::Check::kDamaged:
      damage_.Add(DamageMemory::Kind::kContent, contentOffset);
      return false;
  }
  if (!readBlocks) return true;
  for (const FpEntry& entry : record.entries) {
    auto found = checkedBlocks_.find(entry.dataPosition);
    if (found == checkedBlocks_.end() || found->second != entry.digest) {
      // A sound block that the piece names wrongly is the record's damage.
      if (found == checkedBlocks_.end())
        damage_.Add(DamageMemory::Kind::kBlock, entry.dataPosition);
      damage_.Add(DamageMemory::Kind::kContent, contentOffset);
      *why = platform::FormatWide(L"the block at %I64d of the data file", entry.dataPosition);
      return false;
    }
  }
  return true;
}

void BlockStore::CheckData(std::vector<std::wstring>* problems) {
  WaitForIndex();
  checkedBlocks_.clear();
  if (!IsOpen()) {
    problems->push_back(L"the data file cannot be opened: " +
                        platform::SystemErrorText(openError_));
    return;
  }
  FlushBlocks();  // what a cancelled backup left gathered
  const int64_t end = dataFile_->LogicalEnd();
  if (manager_->status != nullptr) manager_->cancelled = manager_->status->OnTotalSize(end);
  std::vector<uint8_t> chunk(
      static_cast<size_t>(kScanChunk + DataRecordHeader::kSize + DataRecordHeader::kMaxLength));
  int64_t chunkStart = 0;
  int64_t chunkLength = 0;
  int64_t reported = 0;
  for (int64_t p = 0; p < end && !manager_->cancelled;) {
    // Blocks are parsed from large reads; one that runs past the chunk
    // starts the next.
    const int64_t chunkEnd = chunkStart + chunkLength;
    if (p < chunkStart || p + DataRecordHeader::kSize > chunkEnd ||
        (chunkEnd < end && p + DataRecordHeader::kSize + DataRecordHeader::kMaxLength > chunkEnd)) {
      const int64_t want = std::min<int64_t>(static_cast<int64_t>(chunk.size()), end - p);
      chunkLength = dataFile_->Read(chunk.data(), p, want);
      chunkStart = p;
      if (chunkLength < 0) {
        problems->push_back(L"the data file could not be read: " +
                            platform::SystemErrorText(platform::LastError()));
        return;
      }
    }
    const uint8_t* at = chunk.data() + (p - chunkStart);
    const int64_t have = chunkStart + chunkLength - p;
    const DataRecordHeader header =
        have >= DataRecordHeader::kSize ? DataRecordHeader::Decode(at) : DataRecordHeader();
    const bool sound = have >= DataRecordHeader::kSize &&
                       header.magic == DataRecordHeader::kMagic && header.checksumMatches &&
                       header.position == p && header.length >= 1 &&
                       header.length <= DataRecordHeader::kMaxLength &&
                       header.length <= have - DataRecordHeader::kSize;
    if (!sound) {
      const int64_t next = dataFile_->FindSoundHeader(p + 1);
      problems->push_back(platform::FormatWide(L"the data file holds %I64d damaged bytes at %I64d",
                                               (next < 0 ? end : next) - p, p));
      if (next < 0) break;
      chunkLength = 0;
      p = next;
      continue;
    }
    if (Md5::Of(at + DataRecordHeader::kSize, static_cast<size_t>(header.length)) ==
        header.digest) {
      checkedBlocks_.emplace(p, header.digest);
    } else {
      damage_.Add(DamageMemory::Kind::kBlock, p);
      problems->push_back(
          platform::FormatWide(L"the block at %I64d of the data file is damaged", p));
    }
    p += DataRecordHeader::kSize + header.length;
    if (p - reported >= kProgressStep && manager_->status != nullptr) {
      manager_->cancelled = manager_->status->OnProgress(p, 0);
      reported = p;
    }
  }

  // A stopped scan has not seen the blocks behind it: they are not damage.
  if (manager_->cancelled) return;

  // The index against the blocks: a record must name a sound block with its
  // digest. Blocks the index lacks cost only de-duplication.
  // Read in pieces at their offsets: the index object keeps its own place in
  // the file, and a large index need not be in memory at once.
  const int64_t indexEnd = indexStream_->LogicalLength();
  constexpr size_t kIndexChunk = 4096 * IndexRecord::kSize;
  std::vector<uint8_t> records(kIndexChunk);
  int64_t wrong = 0;
  for (int64_t offset = 0; offset + IndexRecord::kSize <= indexEnd;) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(
        kIndexChunk, (indexEnd - offset) / IndexRecord::kSize * IndexRecord::kSize));
    if (indexStream_->ReadAt(offset, records.data(), want) != static_cast<int64_t>(want)) {
      problems->push_back(L"the index file could not be read: " +
                          platform::SystemErrorText(platform::LastError()));
      return;
    }
    for (size_t at = 0; at < want; at += IndexRecord::kSize) {
      const IndexRecord record = IndexRecord::Decode(records.data() + at);
      auto found = checkedBlocks_.find(record.position);
      if (!record.checksumMatches || found == checkedBlocks_.end() ||
          found->second != record.digest) {
        ++wrong;
      }
    }
    offset += static_cast<int64_t>(want);
  }
  if (wrong > 0) {
    problems->push_back(platform::FormatWide(
        L"%I64d record(s) of the index file name no sound block of the data file", wrong));
  }
}

}  // namespace vaultline
