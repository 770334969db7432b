// Storing a file and the store's writes: new blocks and matches queued as
// pieces in file order, committed once their digests are known; blocks appended and
// written behind the scan, their index records after them; content records
// held and written in the order their files were stored.
#include <algorithm>

#include "blockstore/BlockHasher.h"
#include "blockstore/BlockIndexFile.h"
#include "blockstore/BlockStore.h"
#include "blockstore/DataFile.h"
#include "blockstore/DataRecordHeader.h"
#include "blockstore/FpHeader.h"
#include "blockstore/FpRecordFile.h"
#include "blockstore/Md5.h"
#include "blockstore/ScanAhead.h"
#include "blockstore/SyncBehind.h"
#include "blockstore/WindowDigests.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "util/WorkerThread.h"

namespace vaultline {

int64_t BlockStore::StoreFile(const std::wstring& path, int contentFd, SourceFile source) {
  auto fail = [&] {
    CloseSource(source.fd);
    return int64_t{-1};
  };
  // Records go to one content file at a time.
  if (contentFd != recordsFd_ && !FinishRecords()) return fail();
  const int64_t contentOffset = ContentEnd(contentFd);
  std::wstring fullPath = platform::FullPath(path);
  if (fullPath.empty()) {
    ReportError(L"Error getting file to backup ");
    return fail();
  }
  if (platform::Utf16Length(fullPath) >= FpHeader::kNameCapacity) {
    platform::WriteDiagnostic(L"\nName too long to store: " + fullPath);
    return fail();
  }
  if (source.fd < 0) {
    source = SourceFile{};
    source.fd = platform::OpenFile(fullPath, platform::OpenMode::kRead);
  }
  if (source.fd < 0) return -1;
  // A record that failed as it was written leaves only what it wrote: the
  // next record goes after that.
  auto dropRecord = [&] {
    records_.pop_back();
    return fail();
  };
  // The size of what was opened, not of what the path names by now.
  const int64_t size = source.size >= 0 ? source.size : platform::FileSizeOf(source.fd);
  if (size < 0) return fail();
  source.size = size;
  if (contentOffset < 0) {
    ReportError(L"Error writing backup idenifier ");
    return fail();
  }
  lastStoredSize_ = size;

  if (size < kSmallFileLimit) {
    // Read before anything is written: a file that shrank leaves no record.
    int64_t got = source.Read(ring_.Data(), static_cast<size_t>(size));
    if (got < 0) {
      ReportReadError(fullPath);
      return fail();
    }
    if (got < size) {
      platform::WriteDiagnostic(L"\nFile shrank while being stored: " + fullPath);
      return fail();
    }
    CloseSource(source.fd);
    return StoreRaw(fullPath, contentFd, contentOffset, ring_.Data(), size);
  }

  if (!IsOpen()) {
    ReportWriteError(openError_);
    return fail();
  }
  EnsureIndex();
  lookup_.ExpectLookups(static_cast<uint64_t>(size) / block_anchor::kMeanSpacing);
  if (!tailChecked_) DiscardTornTail();
  PendingRecord& pending = QueueRecord(contentFd, contentOffset);
  if (!WriteFpHeader(*pending.file, fullPath, size, FpHeader::kLayoutBlocks)) {
    ReportHeaderWriteError(pending.file->LastError());
    platform::WriteDiagnostic(L"\nfailed to write identidier to " + fullPath);
    return dropRecord();
  }
  pending.headerHeld = pending.file->Held();
  if (hasher_ == nullptr) {
    WorkerThread& helper = threads_->Get(ThreadPlan::Helper::kStoreHelper);
    hasher_ = std::make_unique<BlockHasher>(helper);
    ahead_ = std::make_unique<WindowDigests>(helper);
    if (Threaded()) {
      scanAhead_ = std::make_unique<ScanAhead>(threads_->Get(ThreadPlan::Helper::kScanAhead),
                                               blockMap_, ring_, blockLength_);
    }
    // A batch is written once it reaches kAppendBatch: at most one block
    // more than that is gathered, and a file's last block may be almost
    // two blocks long.
    dataFile_->ReserveGathered(static_cast<size_t>(kAppendBatch + DataRecordHeader::kSize) +
                               2 * static_cast<size_t>(blockLength_));
  }
  storing_ = &pending;
  // Blocks gathered by a file that fails are written all the same: they are
  // sound and found again by the next file. So is its record, as far as it
  // got, though no snapshot names it.
  MatchingScan scan(*this, {ring_, blockMap_, far_, lookup_.IsOpen() ? &anchorFinder_ : nullptr,
                            *ahead_, scanAhead_.get(),
                            Threaded() ? &threads_->Get(ThreadPlan::Helper::kStoreHelper) : nullptr,
                            readChunk_, blockLength_, Threaded()});
  const bool stored = scan.Run(*pending.file, source, fullPath, size) == 0;
  storing_ = nullptr;
  ahead_->Clear();
  pending.end =
      contentOffset + FpHeader::kSize + static_cast<int64_t>(pending.entries) * FpEntry::kSize;
  // The file's last blocks are still being hashed, and with them its record
  // waits; the next file's scan goes on meanwhile.
  const bool written = SettleRecords();
  if (!stored || !written) return fail();
  CloseSource(source.fd);
  return contentOffset;
}

bool BlockStore::WriteFpHeader(FpRecordFile& record, const std::wstring& name, int64_t size,
                               uint16_t layout) {
  return record.WriteHeader(name, size, layout, std::wstring());
}

bool BlockStore::WriteFpEntry(int32_t weakChecksum, const Md5Digest& digest, int32_t length,
                              int64_t sourcePosition, int64_t dataPosition, FpRecordFile& record) {
  return record.WriteEntry(weakChecksum, digest, length, sourcePosition, dataPosition);
}

void BlockStore::CloseSource(int fd) {
  if (fd < 0) return;
  closing_.push_back(fd);
  if (closing_.size() >= kCloseBatch) CloseSources();
}

uint64_t BlockStore::CloseSources() {
  if (closing_.empty()) return 0;
  const uint64_t ticket = Writer().Submit([fds = std::move(closing_)] {
    for (const int fd : fds) platform::CloseFile(fd);
  });
  closing_.clear();
  return ticket;
}

void BlockStore::ReleaseSources() {
  if (const uint64_t closed = CloseSources()) Writer().WaitFor(closed);
}

bool BlockStore::FlushBlocks() {
  ReleaseSources();
  WaitForIndex();
  const bool recorded = FinishRecords();
  if (!FinishBlocksInFlight()) return false;
  if (!dataFile_->Flush()) {
    BlocksLost();
    return false;
  }
  writtenBlocks_ = blockMap_.BlockCount();
  unsettled_.clear();
  if (!indexFile_->Flush()) {
    ReportWriteError(indexFile_->LastError());
    return false;
  }
  return recorded;
}

bool BlockStore::WriteBlocksBehind() {
  if (!FinishBlocksInFlight()) return false;
  syncBehind_->Grown(dataFile_->LogicalEnd());
  blocksInFlight_ = true;
  inFlightBlocks_ = blockMap_.BlockCount();
  inFlightRecords_ = indexFile_->PendingRecords();
  return dataFile_->FlushBehind(Writer());
}

bool BlockStore::FinishBlocksInFlight() {
  if (!blocksInFlight_) return true;
  blocksInFlight_ = false;
  if (!dataFile_->FinishFlush()) {
    BlocksLost();
    return false;
  }
  writtenBlocks_ = inFlightBlocks_;
  while (!unsettled_.empty() && unsettled_.front().blocksEnd <= dataFile_->LogicalEnd()) {
    unsettled_.pop_front();
  }
  if (!indexFile_->Flush(inFlightRecords_)) {
    ReportWriteError(indexFile_->LastError());
    return false;
  }
  return true;
}

void BlockStore::BlocksLost() {
  blockMap_.DropFrom(writtenBlocks_);
  if (!appendedPrefixes_.empty()) {
    appendedPrefixes_.resize(
        writtenBlocks_ > firstAppended_
            ? std::min(appendedPrefixes_.size(), writtenBlocks_ - firstAppended_)
            : 0);
  }
  indexFile_->DropUnflushed();
  for (const UnsettledFile& file : unsettled_) {
    damage_.Add(DamageMemory::Kind::kContent, file.contentOffset);
  }
  unsettled_.clear();
  ReportWriteError(dataFile_->LastError());
}

bool BlockStore::StorePiece(const RingBuffer& ring, int32_t weakChecksum, int32_t blockLength,
                            int32_t start, int32_t pieceLength, int64_t sourcePosition,
                            FpRecordFile& record) {
  (void)record;  // entries go to the record of the file being stored
  while (hasher_->Full()) {
    if (!CommitPiece()) return false;
  }
  hasher_->Add(ring, start, blockLength, weakChecksum);
  int32_t anchorOffset = -1;
  uint32_t anchorKey = 0;
  const bool anchored =
      lookup_.IsOpen() && far_.AnchorOf(sourcePosition, blockLength, &anchorOffset, &anchorKey);
  if (!anchored || !far_.AddBlockOfThisBackup(anchorKey, anchorOffset, weakChecksum,
                                              sourcePosition + blockLength)) {
    // Under a common key it is held by weak checksum like a block without
    // an anchor, and the scan probes the windows that key begins.
    if (anchored) lookup_.AddCommonKey(anchorKey);
    anchorOffset = -1;
    blockMap_.Reserve(weakChecksum);
  }
  QueuePiece(Piece{true, weakChecksum, Md5Digest{}, pieceLength, sourcePosition, -1, storing_,
                   anchorOffset, anchorKey});
  return CommitReady();
}

void BlockStore::QueuePiece(const Piece& piece) {
  pieces_.push_back(piece);
  ++piece.record->entries;
  ++piece.record->uncommitted;
}

bool BlockStore::CommitPiece() {
  if (commitFailed_) return false;
  Piece piece = pieces_.front();
  pieces_.pop_front();
  PendingRecord& record = *piece.record;
  if (piece.newBlock) {
    const BlockHasher::Block& block = hasher_->Oldest();
    piece.digest = block.digest;
    dataFile_->AppendBlock(block.weakChecksum, block.digest, block.bytes, block.length, block.bytes,
                           0, &piece.dataPosition);
    record.blocksEnd = dataFile_->LogicalEnd() + dataFile_->PendingBytes();
    const auto recordNumber = static_cast<uint32_t>(indexFile_->RecordCount());
    indexFile_->Append(block.weakChecksum, block.digest, piece.dataPosition);
    if (piece.anchorOffset >= 0) {
      lookup_.AddStored({piece.anchorKey, block.weakChecksum, recordNumber,
                         static_cast<uint16_t>(piece.anchorOffset)});
    } else {
      lookup_.AddAnchorless(recordNumber);
    }
    const size_t filterBits = blockMap_.FilterBits();
    const size_t known = blockMap_.BlockCount();
    // A scan ahead reads the filter that this would move.
    if (scanAhead_ != nullptr && blockMap_.AddGrowsFilter()) scanAhead_->Drop();
    EnterBlock(block.weakChecksum, block.digest, piece.dataPosition, piece.anchorOffset < 0);
    if (blockMap_.BlockCount() > known) RememberPrefix(block.bytes, block.length);
    hasher_->DropOldest();
    // A grown filter was rebuilt from the known blocks alone; blocks with an
    // anchor stay out of it.
    if (blockMap_.FilterBits() != filterBits) {
      for (const Piece& waiting : pieces_) {
        if (waiting.newBlock && waiting.anchorOffset < 0) blockMap_.Reserve(waiting.weakChecksum);
      }
    }
  }
  bool written = WriteFpEntry(piece.weakChecksum, piece.digest, piece.length, piece.sourcePosition,
                              piece.dataPosition, *record.file);
  if (!written) {
    ReportWriteError(record.file->LastError());
  } else if (piece.newBlock && dataFile_->UnflushedBytes() >= kAppendBatch) {
    written = WriteBlocksBehind();
  }
  if (written && --record.uncommitted == 0 && record.end >= 0) {
    written = WriteFinishedRecords();
  } else if (written && record.file->HeldBytes() >= kContentBatch && &record == &records_.front()) {
    written = ReleaseOldest();
  }
  commitFailed_ = !written;
  return written;
}

BlockStore::PendingRecord& BlockStore::QueueRecord(int contentFd, int64_t offset) {
  records_.push_back(PendingRecord{});
  PendingRecord& record = records_.back();
  record.file = std::make_unique<FpRecordFile>(contentFd);
  record.offset = offset;
  if (contentFd != recordsFd_) contentWriteBack_ = platform::GrowingFileWriteBack();
  recordsFd_ = contentFd;
  if (records_.size() > 1 || !contentBatch_.empty()) record.file->Hold();
  return record;
}

bool BlockStore::RecordsNotWritten(const PendingRecord* record, int error) {
  // A header among what failed is the likelier loss to name.
  if (record == nullptr || record->headerHeld) {
    ReportHeaderWriteError(error);
  } else {
    ReportWriteError(error);
  }
  commitFailed_ = true;
  return false;
}

bool BlockStore::WriteContentBatch() {
  if (commitFailed_) return false;
  if (contentBatch_.empty()) return true;
  if (!platform::WriteFile(recordsFd_, contentBatch_.data(), contentBatch_.size())) {
    // AbandonRecords remembers the batch's records as damaged.
    const int error = platform::LastError();
    platform::WriteDiagnostic(L"\ntrying to write FP records failed");
    return RecordsNotWritten(nullptr, error);
  }
  contentBatch_.clear();
  batchedRecords_.clear();
  contentWriteBack_.Grown(recordsFd_, batchEnd_);
  return true;
}

bool BlockStore::ReleaseOldest() {
  PendingRecord& oldest = records_.front();
  if (!WriteContentBatch()) return false;
  if (!oldest.file->Release()) return RecordsNotWritten(&oldest, oldest.file->LastError());
  return true;
}

bool BlockStore::WriteFinishedRecords() {
  while (!records_.empty() && !commitFailed_) {
    PendingRecord& oldest = records_.front();
    if (oldest.end < 0 || oldest.uncommitted > 0) {
      // Still being stored or waiting for digests.
      if (oldest.file->HeldBytes() >= kContentBatch) return ReleaseOldest();
      break;
    }
    if (oldest.file->Held()) {
      oldest.file->MoveHeldTo(&contentBatch_);
      batchedRecords_.push_back(oldest.offset);
      batchEnd_ = oldest.end;
    } else if (!oldest.file->Flush()) {
      return RecordsNotWritten(&oldest, oldest.file->LastError());
    } else {
      contentWriteBack_.Grown(recordsFd_, oldest.end);
    }
    // A file counts as stored once its record is written; writing its
    // blocks may fail later, and then its record must not be built on.
    if (oldest.blocksEnd > 0 && oldest.blocksEnd > dataFile_->LogicalEnd()) {
      unsettled_.push_back(UnsettledFile{oldest.offset, oldest.blocksEnd});
    }
    records_.pop_front();
  }
  if (contentBatch_.size() >= kContentBatch && !WriteContentBatch()) return false;
  return !commitFailed_;
}

void BlockStore::AbandonRecords() {
  WaitForIndex();  // which reads the damage memory
  for (const PendingRecord& record : records_) {
    damage_.Add(DamageMemory::Kind::kContent, record.offset);
  }
  for (int64_t offset : batchedRecords_) damage_.Add(DamageMemory::Kind::kContent, offset);
  records_.clear();
  contentBatch_.clear();
  batchedRecords_.clear();
  pieces_.clear();
  if (hasher_ != nullptr) hasher_->Clear();
  commitFailed_ = false;
}

bool BlockStore::SettleRecords() {
  const bool written = WriteFinishedRecords();
  if (commitFailed_) AbandonRecords();
  return written;
}

bool BlockStore::FinishRecords() {
  if (records_.empty() && contentBatch_.empty()) return true;
  const bool written = CommitAll() && WriteFinishedRecords() && WriteContentBatch();
  if (commitFailed_) AbandonRecords();
  return written;
}

int64_t BlockStore::ContentEnd(int contentFd) {
  if (contentFd == recordsFd_) {
    if (!records_.empty()) return records_.back().end;
    if (!contentBatch_.empty()) return batchEnd_;
  }
  return platform::TellFile(contentFd);
}

bool BlockStore::CommitReady() {
  while (!pieces_.empty() && (!pieces_.front().newBlock || hasher_->OldestReady())) {
    if (!CommitPiece()) return false;
  }
  return true;
}

bool BlockStore::CommitAll() {
  while (!pieces_.empty()) {
    if (!CommitPiece()) return false;
  }
  return true;
}

bool BlockStore::StoreNewBlock(const RingBuffer& ring, int32_t weakChecksum, int32_t length,
                               int32_t start, int64_t sourcePosition, FpRecordFile& record) {
  return StorePiece(ring, weakChecksum, length, start, length, sourcePosition, record);
}

bool BlockStore::RecordMatch(const RingBuffer& ring, int32_t literalChecksum,
                             int32_t windowChecksum, int32_t windowStart, int32_t windowLength,
                             int32_t literalStart, int64_t sourcePosition, int64_t matchedPosition,
                             FpRecordFile& record) {
  if (literalStart != windowStart) {
    // The pending literals are stored as a full window from their start, so
    // that the new block can be matched later; this file uses its first L.
    int32_t literals = ring.Distance(windowStart, literalStart);
    int32_t length = std::min(literals + windowLength, blockLength_);
    if (!StorePiece(ring, literalChecksum, length, literalStart, literals,
                    sourcePosition - literals, record)) {
      return false;
    }
  }
  QueuePiece(Piece{false, windowChecksum, lookupDigest_, windowLength, sourcePosition,
                   matchedPosition, storing_, -1, 0});
  return CommitReady();
}
}  // namespace vaultline
