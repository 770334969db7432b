#include "blockstore/BlockStore.h"

#include <algorithm>

#include "blockstore/BlockHasher.h"
#include "blockstore/BlockIndexFile.h"
#include "blockstore/ContentRecord.h"
#include "blockstore/DataFile.h"
#include "blockstore/DataRecordHeader.h"
#include "blockstore/FpRecordFile.h"
#include "blockstore/LiteralScan.h"
#include "blockstore/PieceRestore.h"
#include "blockstore/RestoreAhead.h"
#include "blockstore/ScanAhead.h"
#include "blockstore/SourceReadAhead.h"
#include "blockstore/StoredBlockReader.h"
#include "blockstore/SyncBehind.h"
#include "blockstore/WeakChecksum.h"
#include "blockstore/WindowDigests.h"
#include "blockstore/WorkerThread.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/Path.h"
#include "platform/Processors.h"
#include "platform/Text.h"
#include "vaultline/Vaultline.h"

namespace vaultline {

using platform::SeekFrom;

BlockStore::BlockStore(std::wstring basePath, int32_t readChunk, int32_t blockLength)
    : BlockStore(std::move(basePath), readChunk, blockLength, platform::AvailableProcessors() > 1) {
}

BlockStore::BlockStore(std::wstring basePath, int32_t readChunk, int32_t blockLength, bool threaded)
    : threaded_(threaded),
      basePath_(std::move(basePath)),
      indexPath_(basePath_ + L".ind"),
      readChunk_(readChunk),
      blockLength_(blockLength),
      ring_(3 * readChunk),
      lookup_(basePath_ + L".lookup"),
      far_(lookup_, blockLength),
      damage_(basePath_ + L".bad") {
  dataFd_ = platform::OpenFile(basePath_, platform::OpenMode::kReadWriteStore, &openError_);
  indexFd_ = platform::OpenFile(indexPath_, platform::OpenMode::kReadWriteStore, &openError_);
  if (!IsOpen()) return;
  dataFile_ = std::make_unique<DataFile>(dataFd_);
  syncBehind_ = std::make_unique<SyncBehind>(dataFd_, threaded_, kSyncBehindStep);
  indexFile_ = std::make_unique<BlockIndexFile>(indexFd_);
}

void BlockStore::EnsureIndex() {
  // Restores and backups of unchanged files never look a block up, so the
  // index is read only when the first file is cut into blocks.
  WaitForIndex();
  if (!indexLoaded_ && IsOpen()) {
    indexLoaded_ = true;
    LoadOrRebuildIndex();
  }
  if (expectedBlocks_ > 0 && blockMap_.BlockCount() == 0) blockMap_.ReserveBlocks(expectedBlocks_);
  expectedBlocks_ = 0;
}

void BlockStore::ExpectNewBytes(int64_t bytes) {
  // Past this the table is left to grow: a guess of a huge backup should
  // not take its memory before a block is stored.
  constexpr int64_t kMostReserved = int64_t{1} << 20;
  expectedBlocks_ =
      static_cast<size_t>(std::clamp<int64_t>(bytes / blockLength_, 0, kMostReserved));
}

void BlockStore::LoadIndexAhead() {
  if (!threaded_ || indexLoaded_ || !IsOpen()) return;
  indexLoaded_ = true;
  // The writer has nothing to write before the first file is stored.
  if (writer_ == nullptr) writer_ = std::make_unique<WorkerThread>(threaded_);
  indexLoad_ = writer_->Submit([this] { LoadOrRebuildIndex(); });
}

void BlockStore::WaitForIndex() {
  if (indexLoad_ == 0) return;
  writer_->WaitFor(indexLoad_);
  indexLoad_ = 0;
}

void BlockStore::LoadOrRebuildIndex() {
  if (indexFile_->HasRecords() && dataFile_->HasRecords()) {
    LoadIndex();
  } else {
    indexFile_->Reset();
    RebuildIndex();
    lookup_.Create(indexFile_->RecordCount());
    CatchUp(0);
  }
  writtenBlocks_ = blockMap_.BlockCount();
}

const BlockMap& BlockStore::Blocks() {
  EnsureIndex();
  return blockMap_;
}

BlockStore::~BlockStore() {
  // Blocks still gathered are sound and worth keeping; the manager may be
  // gone, so a failure goes to the diagnostic log alone.
  manager_ = &detached_;
  if (IsOpen()) {
    FlushBlocks();
    lookup_.Save(IndexCoverage());
  } else {
    FinishRecords();
    CloseSources();
  }
  restoreAhead_.reset();
  pieceRestore_.reset();
  scanAhead_.reset();
  scanHelper_.reset();
  ahead_.reset();
  hasher_.reset();
  helper_.reset();
  writer_.reset();
  syncBehind_.reset();
  damage_.Save();  // derived data: a failed save only loses the memory
  dataFile_.reset();
  indexFile_.reset();
  if (dataFd_ >= 0) platform::CloseFile(dataFd_);
  if (indexFd_ >= 0) platform::CloseFile(indexFd_);
}

bool BlockStore::IsOpen() const {
  return dataFd_ >= 0 && indexFd_ >= 0;
}

void BlockStore::AttachManager(StoreContext* manager) {
  manager_ = manager != nullptr ? manager : &detached_;
}

bool BlockStore::Sync() {
  if (!IsOpen() || !FlushBlocks()) return false;
  bool dataSynced = syncBehind_->Finish() && platform::SyncFile(dataFd_);
  const bool synced = platform::SyncFile(indexFd_) && dataSynced;
  lookup_.Save(IndexCoverage());  // derived: a failure costs a rebuild
  return synced;
}

void BlockStore::LoadIndex() {
  // Stored blocks are looked up through the lookup file; only those without
  // an anchor are held in memory. A file that no longer agrees with the
  // index is made again from it.
  const uint64_t records = indexFile_->RecordCount();
  const LookupFile::Coverage covered = lookup_.Open() ? lookup_.Covered() : LookupFile::Coverage{};
  IndexRecord last;
  uint32_t lastCrc = 0;
  const bool current =
      lookup_.IsOpen() && covered.records <= records &&
      (covered.records == 0 || (indexFile_->ReadRecord(covered.records - 1, &last, &lastCrc) &&
                                lastCrc == covered.lastRecordCrc));
  if (!current) lookup_.Create(records);
  const uint64_t first = current ? covered.records : 0;
  LoadAnchorless();
  CatchUp(first);
  if (indexFile_->Damaged()) {
    platform::WriteDiagnostic(L"\nIndex record damaged; rebuilding the index from the data file");
    blockMap_ = BlockMap();
    indexFile_->Reset();
    RebuildIndex();
    lookup_.Create(indexFile_->RecordCount());
    CatchUp(0);
  } else if (records > 0 && indexFile_->ReadRecord(records - 1, &last)) {
    lastKnownBlock_ = std::max(lastKnownBlock_, last.position);
  }
  if (first < indexFile_->RecordCount()) lookup_.Save(IndexCoverage());
}

void BlockStore::LoadAnchorless() {
  IndexRecord record;
  for (const uint32_t number : lookup_.Anchorless()) {
    if (indexFile_->ReadRecord(number, &record) && record.position >= 0 &&
        record.position + DataRecordHeader::kSize < dataFile_->LogicalEnd()) {
      AddKnownBlock(record.weakChecksum, record.digest, record.position);
    }
  }
}

void BlockStore::CatchUp(uint64_t first) {
  StoredBlockReader blocks(*dataFile_);
  indexFile_->SeekRecord(first);
  int32_t checksum;
  Md5Digest digest;
  int64_t position;
  for (uint64_t record = first; indexFile_->ReadNext(&checksum, &digest, &position); ++record) {
    // A record naming a block beyond the data file would hand out positions
    // that no restore can read.
    if (position < 0 || position + DataRecordHeader::kSize >= dataFile_->LogicalEnd()) continue;
    if (!lookup_.IsOpen()) {
      AddKnownBlock(checksum, digest, position);  // no room for the file: in memory
      continue;
    }
    lastKnownBlock_ = std::max(lastKnownBlock_, position);
    int32_t length;
    int32_t offset;
    uint32_t key;
    // A block that cannot be read is left to checks and restores to name.
    const uint8_t* bytes = blocks.Read(position, &length);
    if (bytes == nullptr) continue;
    if (block_anchor::FindInBlock(bytes, length, &offset, &key)) {
      lookup_.AddAnchored(
          {key, checksum, static_cast<uint32_t>(record), static_cast<uint16_t>(offset)});
    } else {
      lookup_.AddAnchorless(static_cast<uint32_t>(record));
      AddKnownBlock(checksum, digest, position);
    }
  }
}

LookupFile::Coverage BlockStore::IndexCoverage() const {
  const uint64_t records = static_cast<uint64_t>(indexFile_->LogicalEnd()) / IndexRecord::kSize;
  IndexRecord last;
  LookupFile::Coverage coverage;
  if (records > 0 && indexFile_->ReadRecord(records - 1, &last, &coverage.lastRecordCrc)) {
    coverage.records = records;
  }
  return coverage;
}

void BlockStore::RebuildIndex() {
  int32_t checksum;
  Md5Digest digest;
  int64_t position;
  while (dataFile_->ReadNextHeader(&checksum, &digest, &position)) {
    indexFile_->Append(checksum, digest, position);
  }
  indexFile_->Flush();
}

void BlockStore::AddKnownBlock(int32_t weakChecksum, const Md5Digest& digest, int64_t position) {
  // New content never goes into a block known to be damaged; a sound copy
  // of it, stored again, takes its place.
  lastKnownBlock_ = std::max(lastKnownBlock_, position);
  if (damage_.Has(DamageMemory::Kind::kBlock, position)) return;
  blockMap_.Add(weakChecksum, digest, position);
}

void BlockStore::DiscardTornTail() {
  tailChecked_ = true;
  if (lastKnownBlock_ >= 0 && dataFile_->DiscardIfCutShort(lastKnownBlock_)) {
    platform::WriteDiagnostic(platform::FormatWide(
        L"\nData file ends in a block cut short at offset %I64d; it is dropped", lastKnownBlock_));
  }
}

int64_t BlockStore::FindBlock(const RingBuffer& ring, int32_t weakChecksum, int32_t start,
                              int32_t length) {
  const bool digestReady = digestReady_;
  digestReady_ = false;
  if (!blockMap_.MayContain(weakChecksum)) return -1;
  // Blocks still being hashed are entered first: the lookup then sees what
  // it would have seen had they been stored at once.
  while (hasher_ != nullptr && hasher_->Holds(weakChecksum)) {
    if (!CommitPiece()) return -1;
  }
  int32_t known = blockMap_.First(weakChecksum);
  if (known < 0) return -1;
  // A window after a match was hashed ahead: its digest is at hand, and
  // reading each candidate's first bytes from the drive would cost more
  // than that hash (a drive out of the cache reads them from the disk).
  const bool hashedAhead =
      digestReady || (ahead_ != nullptr && ahead_->Take(start, length, &lookupDigest_));
  bool digested = hashedAhead;
  // Otherwise: equal weak checksums of different bytes are common enough
  // among many blocks that hashing the window for each costs more than
  // reading the first bytes of the stored block: bytes that differ there
  // cannot have the block's digest. MD5 still decides every match.
  uint8_t window[kPrefixLength];
  const int32_t prefix = std::min(length, kPrefixLength);
  if (!hashedAhead) {
    int32_t first = ring.Contiguous(start, prefix);
    std::copy(ring.Data() + start, ring.Data() + start + first, window);
    std::copy(ring.Data(), ring.Data() + (prefix - first), window + first);
  }
  for (; known >= 0; known = blockMap_.Next(known)) {
    const KnownBlock& block = blockMap_.At(known);
    if (damage_.Has(DamageMemory::Kind::kBlock, block.position)) continue;
    if (!hashedAhead) {
      uint8_t read[kPrefixLength];
      const uint8_t* stored = read;
      if (const Prefix* appended = AppendedPrefix(known)) {
        if (appended->length < prefix) continue;  // a shorter block
        stored = appended->bytes.data();
      } else if (!dataFile_->ReadPrefix(read, block.position, prefix, block.digest)) {
        continue;
      }
      if (!std::equal(window, window + prefix, stored)) continue;
    }
    if (!digested) {
      DigestOf(length, ring, start, &lookupDigest_);
      digested = true;
    }
    if (block.digest == lookupDigest_) return block.position;
  }
  return -1;
}

int64_t BlockStore::FindAnchored(const RingBuffer& ring, int32_t weakChecksum, int32_t start,
                                 int32_t length) {
  for (const FarCandidates::Candidate& candidate : far_.AtNext()) {
    if (candidate.weakChecksum != weakChecksum) continue;
    // The lookup file only points: the index says what is stored where.
    IndexRecord stored;
    if (!indexFile_->ReadRecord(candidate.record, &stored) || stored.weakChecksum != weakChecksum ||
        stored.position < 0 ||
        stored.position + DataRecordHeader::kSize >= dataFile_->LogicalEnd() ||
        damage_.Has(DamageMemory::Kind::kBlock, stored.position)) {
      continue;
    }
    if (!digestReady_) {
      if (ahead_ == nullptr || !ahead_->Take(start, length, &lookupDigest_)) {
        DigestOf(length, ring, start, &lookupDigest_);
      }
      digestReady_ = true;
    }
    if (stored.digest == lookupDigest_) {
      digestReady_ = false;
      return stored.position;
    }
  }
  return -1;
}

const BlockStore::Prefix* BlockStore::AppendedPrefix(int32_t index) const {
  const auto at = static_cast<size_t>(index);
  if (at < firstAppended_ || at - firstAppended_ >= appendedPrefixes_.size()) return nullptr;
  return &appendedPrefixes_[at - firstAppended_];
}

void BlockStore::RememberPrefix(const uint8_t* bytes, int32_t length) {
  if (appendedPrefixes_.empty()) firstAppended_ = blockMap_.BlockCount() - 1;
  if (appendedPrefixes_.size() == kAppendedPrefixes) return;
  // Pages are only taken as the list fills; growing it would copy it all.
  if (appendedPrefixes_.empty()) appendedPrefixes_.reserve(kAppendedPrefixes);
  Prefix& prefix = appendedPrefixes_.emplace_back();
  prefix.length = std::min(length, kPrefixLength);
  std::copy_n(bytes, prefix.length, prefix.bytes.data());
}

void BlockStore::DigestOf(int32_t length, const RingBuffer& ring, int32_t start,
                          Md5Digest* digest) {
  if (length > 0) *digest = DigestOfWindow(ring, start, length);
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
  if (writer_ == nullptr) writer_ = std::make_unique<WorkerThread>(threaded_);
  const uint64_t ticket = writer_->Submit([fds = std::move(closing_)] {
    for (const int fd : fds) platform::CloseFile(fd);
  });
  closing_.clear();
  return ticket;
}

void BlockStore::ReleaseSources() {
  if (const uint64_t closed = CloseSources()) writer_->WaitFor(closed);
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
  return dataFile_->FlushBehind(*writer_);
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
  blockMap_.Reserve(weakChecksum);
  int32_t anchorOffset = -1;
  uint32_t anchorKey = 0;
  if (lookup_.IsOpen() && !far_.AnchorOf(sourcePosition, blockLength, &anchorOffset, &anchorKey)) {
    anchorOffset = -1;
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
      lookup_.AddAnchored({piece.anchorKey, block.weakChecksum, recordNumber,
                           static_cast<uint16_t>(piece.anchorOffset)});
    } else {
      lookup_.AddAnchorless(recordNumber);
    }
    const size_t filterBits = blockMap_.FilterBits();
    const size_t known = blockMap_.BlockCount();
    // A scan ahead reads the filter that this would move.
    if (scanAhead_ != nullptr && blockMap_.AddGrowsFilter()) scanAhead_->Drop();
    AddKnownBlock(block.weakChecksum, block.digest, piece.dataPosition);
    if (blockMap_.BlockCount() > known) RememberPrefix(block.bytes, block.length);
    hasher_->DropOldest();
    // A grown filter was rebuilt from the known blocks alone.
    if (blockMap_.FilterBits() != filterBits) {
      hasher_->ForEachChecksum([this](int32_t checksum) { blockMap_.Reserve(checksum); });
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

void BlockStore::ReportError(const std::wstring& text) {
  ReportDamage(text);
  manager_->cancelled = true;
}

void BlockStore::ReportDamage(const std::wstring& text) {
  if (manager_->status != nullptr) manager_->status->OnMessage(kMessageError, text.c_str());
}

bool BlockStore::ReportProgress(int64_t done, int64_t current) {
  bool stop = manager_->status != nullptr && manager_->status->OnProgress(done, current);
  manager_->cancelled = stop;
  return stop;
}

void BlockStore::ReportWriteError(int error) {
  ReportError(platform::SystemErrorText(error));
}

void BlockStore::ReportHeaderWriteError(int error) {
  ReportError(L"Error writing backup idenifier ");
  // The system's reason (a full or failing drive) follows the record's name.
  ReportWriteError(error);
}

void BlockStore::ReportReadError(const std::wstring& fullPath) {
  ReportError(platform::FormatWide(L"Error reading file %ls", fullPath.c_str()));
  platform::WriteDiagnostic(L"\nCouldn't read  data from:" + fullPath);
}

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
  if (!tailChecked_) DiscardTornTail();
  PendingRecord& pending = QueueRecord(contentFd, contentOffset);
  if (!WriteFpHeader(*pending.file, fullPath, size, FpHeader::kLayoutBlocks)) {
    ReportHeaderWriteError(pending.file->LastError());
    platform::WriteDiagnostic(L"\nfailed to write identidier to " + fullPath);
    return dropRecord();
  }
  pending.headerHeld = pending.file->Held();
  if (hasher_ == nullptr) {
    // Woken once two tasks (up to 32 blocks) wait: each wake costs the
    // store's thread a system call. A task wanted sooner runs on the store's
    // thread, which also starts the next ones while it waits.
    helper_ = std::make_unique<WorkerThread>(threaded_, 2, true);
    if (writer_ == nullptr) writer_ = std::make_unique<WorkerThread>(threaded_);
    hasher_ = std::make_unique<BlockHasher>(*helper_);
    ahead_ = std::make_unique<WindowDigests>(*helper_);
    if (threaded_) {
      scanHelper_ = std::make_unique<WorkerThread>(true);
      scanAhead_ = std::make_unique<ScanAhead>(*scanHelper_, blockMap_, ring_, blockLength_);
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
  const bool stored = RunMatchingLoop(*pending.file, source, fullPath, size) == 0;
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

int BlockStore::RunMatchingLoop(FpRecordFile& record, SourceFile& source,
                                const std::wstring& fullPath, int64_t size) {
  const RingBuffer& ring = ring_;
  const int32_t n0 = blockLength_;
  const int32_t refillBelow = readChunk_ - blockLength_;

  int32_t w = 0;   // window start
  int32_t n = n0;  // window length
  int32_t fill = 0;
  int32_t lastRead = 0;
  int64_t unconsumed = 0;  // bytes read from w onward
  bool endOfFile = false;
  int64_t p = 0;  // source position of w
  int32_t literalStart = 0;
  int32_t literalChecksum = 0;
  WeakChecksum sum;
  bool atBoundary = true;
  bool takeLiteralChecksum = true;
  bool finalWindow = false;
  bool computeAfresh = true;  // first window, and the one after each match
  bool afterCut = false;      // the last span ended as a new block
  int64_t progressPosition = 0;
  int64_t bytesRead = 0;
  // The helper reads among its hashing, and wakes for it no sooner.
  // Blocks stored before are looked for only where the file's anchors
  // place them, found as the file is read.
  anchorFinder_.Reset();
  far_.Reset();
  SourceReadAhead readAhead(threaded_ ? helper_.get() : nullptr, source,
                            lookup_.IsOpen() ? &anchorFinder_ : nullptr);
  // Only the size the header gives is stored: bytes a growing file gained
  // meanwhile belong to the next snapshot.
  auto nextChunk = [&] {
    return static_cast<size_t>(std::min<int64_t>(readChunk_, size - bytesRead));
  };
  // Spans scanned ahead read the ring and the filter: neither may change
  // under them once this file is done with.
  struct DropScanAhead {
    ScanAhead* scan;
    ~DropScanAhead() {
      if (scan != nullptr) scan->Drop();
    }
  } dropScanAhead{scanAhead_.get()};

  for (;;) {
    bool rolled = false;
    // Literal bytes that the filter rejects: no lookup, no block, no read and
    // no progress report is due, so only the checksum moves.
    if (!computeAfresh && !atBoundary) {
      const int32_t offset = ring.Distance(w, literalStart);
      int64_t passed;
      // A span scanned ahead lies in the ring already; its progress is
      // reported as it ends.
      // A stored block placed in this span is looked up by this thread.
      const int64_t nextFar = far_.NextAt(p);
      if (scanAhead_ != nullptr && nextFar < p - offset + n0 && scanAhead_->Busy()) {
        scanAhead_->Drop();
      }
      if (scanAhead_ == nullptr || !scanAhead_->Pass(p - offset, offset, &passed, &sum, &rolled)) {
        int64_t turns =
            std::min<int64_t>(n0 - 1 - offset, progressPosition + kProgressStep - p - 1);
        if (!endOfFile) {
          turns = std::min<int64_t>(turns, ring.Distance(lastRead, w) - refillBelow + 1);
        }
        turns = std::min(turns, nextFar - p);
        passed = turns > 0 ? PassLiterals(blockMap_, ring, w, n, turns, &sum, &rolled) : 0;
      }
      w = ring.Wrap(static_cast<int64_t>(w) + passed);
      p += passed;
      unconsumed -= passed;
    }

    if (!rolled) {
      if (!endOfFile && ring.Distance(lastRead, w) < refillBelow) {
        // Windows hashed ahead that were dropped lie where a read lands; one
        // read ahead was settled for when it started.
        if (!readAhead.Started()) ahead_->Settle();
        if (scanAhead_ != nullptr && scanAhead_->TakenBack()) scanAhead_->Drop();
        int64_t got = readAhead.Read(ring_.Data() + fill, nextChunk());
        if (got < 0) {
          ReportReadError(fullPath);
          return -1;
        }
        anchorFinder_.Take(&anchors_);
        far_.Add(&anchors_);
        bytesRead += got;
        fill = ring.Wrap(static_cast<int64_t>(fill) + got);
        lastRead = ring.Wrap(static_cast<int64_t>(fill) - 1);
        unconsumed += got;
        if (got < readChunk_) endOfFile = true;
        if (endOfFile && bytesRead < size) {
          // The header already says how long the file is; a shorter file
          // cannot be described by it.
          platform::WriteDiagnostic(L"\nFile shrank while being stored: " + fullPath);
          return -1;
        }
        if (!endOfFile) {
          // The chunk after it lands where nothing left to scan lies: the
          // ring holds two chunks besides the one being read.
          ahead_->Settle();
          readAhead.Start(ring_.Data() + fill, nextChunk());
        }
      }
      if (atBoundary && unconsumed < 2 * static_cast<int64_t>(n0)) {
        n = static_cast<int32_t>(unconsumed);
        finalWindow = true;
      }
      if (atBoundary && scanAhead_ != nullptr) {
        scanAhead_->Passed(p);
        // New data goes on being new: the spans after the next few are
        // handed over once a span has ended as a new block.
        if (afterCut && !finalWindow && !scanAhead_->Busy() &&
            unconsumed >= scanAhead_->BytesNeeded()) {
          scanAhead_->Start(w, p);
        }
      }
      if (computeAfresh || finalWindow) {
        sum = WeakChecksum::Of(ring, w, n);
        computeAfresh = false;
      } else {
        sum.Roll(ring.ByteAt(static_cast<int64_t>(w) - 1),
                 ring.ByteAt(static_cast<int64_t>(w) + n - 1), n);
      }
    }
    int32_t checksum = sum.Value();
    if (takeLiteralChecksum) {
      literalChecksum = checksum;
      takeLiteralChecksum = false;
    }
    atBoundary = false;

    int64_t matched = far_.NextAt(p) == p ? FindAnchored(ring, checksum, w, n) : -1;
    if (matched < 0) matched = FindBlock(ring, checksum, w, n);
    if (commitFailed_) return -1;
    if (matched >= 0) {
      // The spans handed over were scanned as if this span ended as a new block.
      if (scanAhead_ != nullptr) scanAhead_->Drop();
      afterCut = false;
      if (!RecordMatch(ring, literalChecksum, checksum, w, n, literalStart, p, matched, record)) {
        return -1;
      }
      if (finalWindow) return 0;
      unconsumed -= n;
      p += n;
      w = ring.Wrap(static_cast<int64_t>(w) + n);
      // The window after a match starts a fresh checksum: the same value as
      // rolling through the matched window, at the cost of one pass.
      computeAfresh = true;
      literalStart = w;
      atBoundary = true;
      takeLiteralChecksum = true;
      // The next windows are likely matches too; those that are whole
      // windows before the file's last one are hashed ahead. Without a
      // helper that would only be work done early, or for nothing.
      const int64_t whole = unconsumed - 2 * static_cast<int64_t>(n0);
      const int64_t ahead = whole >= 0 ? whole / n0 + 1 : 0;
      if (threaded_ && ahead > 0) {
        ahead_->HandOver(ring, w, n0,
                         static_cast<int32_t>(std::min<int64_t>(ahead, WindowDigests::kAhead)));
      }
      continue;
    }
    if (finalWindow) return StoreNewBlock(ring, literalChecksum, n, w, p, record) ? 0 : -1;

    --unconsumed;
    w = ring.Next(w);
    ++p;
    if (ring.Distance(w, literalStart) == n0) {
      if (!StoreNewBlock(ring, literalChecksum, n0, literalStart, p - n0, record)) return -1;
      literalStart = w;
      atBoundary = true;
      takeLiteralChecksum = true;
      afterCut = true;
    }
    if (p - progressPosition >= kProgressStep) {
      progressPosition = p;
      if (ReportProgress(manager_->bytesDone + p, p)) return -1;
    }
  }
}

bool BlockStore::RestoreFile(int contentFd, int outputFd, int64_t contentOffset,
                             const std::wstring& expectedName, int64_t expectedSize) {
  // Blocks a cancelled backup left gathered are read from the drive.
  if (IsOpen()) FlushBlocks();
  RestoreAhead::File* ahead =
      restoreAhead_ != nullptr
          ? restoreAhead_->Take(contentFd, contentOffset, expectedName, expectedSize)
          : nullptr;
  ContentRecord ownRecord;
  std::wstring ownWhy;
  const ContentRecord& record = ahead != nullptr ? ahead->record : ownRecord;
  const std::wstring& why = ahead != nullptr ? ahead->why : ownWhy;
  ContentRecord::Check check;
  int readError;
  if (ahead != nullptr) {
    check = ahead->check;
    readError = ahead->readError;
  } else {
    const int64_t dataEnd = dataFile_ != nullptr ? dataFile_->LogicalEnd() : 0;
    check = ContentRecord::Read(contentFd, contentOffset, expectedName, expectedSize, dataEnd,
                                &ownRecord, &ownWhy);
    readError = platform::LastError();
  }
  bool restored = false;
  if (check == ContentRecord::Check::kReadError) {
    ReportDamage(platform::FormatWide(L"The stored contents of %ls could not be read: %ls",
                                      expectedName.c_str(),
                                      platform::SystemErrorText(readError).c_str()));
  } else if (check == ContentRecord::Check::kDamaged) {
    damage_.Add(DamageMemory::Kind::kContent, contentOffset);
    ReportDamage(platform::FormatWide(L"The stored contents of %ls are damaged: %ls",
                                      expectedName.c_str(), why.c_str()));
  } else if (record.header.layout == FpHeader::kLayoutRaw) {
    restored = platform::WriteFile(outputFd, record.raw.data(), record.raw.size());
    if (!restored) ReportError(L"Error restoring file");
  } else {
    restored = RestorePieces(record, contentOffset, outputFd,
                             ahead != nullptr && ahead->runChecked ? &ahead->run : nullptr);
  }
  return restored;
}

void BlockStore::ExpectRestore(int contentFd, int64_t contentOffset, const std::wstring& name,
                               int64_t size) {
  // Without a second thread there is nothing to overlap.
  if (!threaded_ || dataFile_ == nullptr) return;
  // What a cancelled backup left gathered must be on the drive before a
  // block of it is read.
  if (IsOpen()) FlushBlocks();
  if (restoreAhead_ == nullptr) {
    restoreAhead_ = std::make_unique<RestoreAhead>(Pieces(), Pieces().Helper());
  }
  restoreAhead_->Expect(contentFd, contentOffset, name, size, dataFile_->LogicalEnd());
}

void BlockStore::ForgetExpectedRestores() {
  if (restoreAhead_ != nullptr) restoreAhead_->Clear();
}

PieceRestore& BlockStore::Pieces() {
  if (pieceRestore_ == nullptr) {
    pieceRestore_ = std::make_unique<PieceRestore>(*dataFile_, threaded_);
  }
  return *pieceRestore_;
}

bool BlockStore::CloseRestoredFile(int outputFd, bool restored) {
  if (platform::CloseFile(outputFd) || !restored) return restored;
  ReportError(L"Error restoring file");
  return false;
}

bool BlockStore::RestorePieces(const ContentRecord& record, int64_t contentOffset, int outputFd,
                               const PieceRestore::Run* checked) {
  int64_t reported = 0;
  auto pieceWritten = [&](int64_t written) {
    if (written - reported >= kProgressStep) {
      // A stop request does not cut this file short; the caller sees it.
      ReportProgress(manager_->restoredBytes + written, written);
      reported = written;
    }
  };
  int64_t damagedAt = -1;
  const PieceRestore::Result result =
      checked != nullptr ? Pieces().RestoreChecked(*checked, outputFd, pieceWritten, &damagedAt)
                         : Pieces().Restore(record.entries, outputFd, pieceWritten, &damagedAt);
  switch (result) {
    case PieceRestore::Result::kRestored:
      return true;
    case PieceRestore::Result::kBlockDamaged:
    case PieceRestore::Result::kWrongBlock:
      // A sound block that the piece names wrongly is the record's damage.
      if (result == PieceRestore::Result::kBlockDamaged) {
        damage_.Add(DamageMemory::Kind::kBlock, damagedAt);
      }
      damage_.Add(DamageMemory::Kind::kContent, contentOffset);
      ReportDamage(platform::FormatWide(
          L"The stored contents of %ls are damaged: the block at %I64d of the data file",
          record.header.name.c_str(), damagedAt));
      return false;
    case PieceRestore::Result::kWriteFailed:
      ReportError(L"Error restoring file ");
      return false;
  }
  return false;
}

}  // namespace vaultline
