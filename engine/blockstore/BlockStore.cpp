#include "blockstore/BlockStore.h"

#include <algorithm>
#include <cerrno>

#include "blockstore/BlockHasher.h"
#include "blockstore/BlockIndexFile.h"
#include "blockstore/ContentRecord.h"
#include "blockstore/DataFile.h"
#include "blockstore/DataRecordHeader.h"
#include "blockstore/FpRecordFile.h"
#include "blockstore/PieceRestore.h"
#include "blockstore/RecordFileOpener.h"
#include "blockstore/RestoreAhead.h"
#include "blockstore/ScanAhead.h"
#include "blockstore/StoredBlockReader.h"
#include "blockstore/SyncBehind.h"
#include "blockstore/WeakChecksum.h"
#include "blockstore/WindowDigests.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "util/WorkerThread.h"
#include "vaultline/Vaultline.h"

namespace vaultline {

using platform::SeekFrom;

BlockStore::BlockStore(std::wstring basePath, int32_t readChunk, int32_t blockLength, bool threaded)
    : BlockStore(std::move(basePath), readChunk, blockLength,
                 std::make_shared<ThreadPlan>(threaded)) {}

BlockStore::BlockStore(std::wstring basePath, int32_t readChunk, int32_t blockLength,
                       std::shared_ptr<ThreadPlan> threads)
    : threads_(threads != nullptr ? std::move(threads) : std::make_shared<ThreadPlan>()),
      basePath_(std::move(basePath)),
      indexPath_(basePath_ + L".ind"),
      readChunk_(readChunk),
      blockLength_(blockLength),
      ring_(3 * readChunk),
      lookup_(basePath_ + L".lookup", threads_.get()),
      far_(lookup_, blockLength),
      damage_(basePath_ + L".bad") {
  const RecordFileOpener opener;
  dataStream_ = opener.Open(basePath_, RecordFileOpener::Kind::kData, true, &openError_);
  indexStream_ = opener.Open(indexPath_, RecordFileOpener::Kind::kIndex, true, &openError_);
  if (!IsOpen()) return;
  dataFile_ = std::make_unique<DataFile>(*dataStream_);
  syncBehind_ =
      std::make_unique<SyncBehind>(dataStream_->PlainDescriptor(), *threads_, kSyncBehindStep);
  indexFile_ = std::make_unique<BlockIndexFile>(*indexStream_);
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
  if (lookup_.IsOpen()) {
    far_.ExpectBlocks(expectedBlocks_);
    lookup_.ExpectLookups(uint64_t{expectedBlocks_} * static_cast<uint64_t>(blockLength_) /
                          block_anchor::kMeanSpacing);
  }
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
  if (!Threaded() || indexLoaded_ || !IsOpen()) return;
  indexLoaded_ = true;
  // The writer has nothing to write before the first file is stored.
  indexLoad_ = Writer().Submit([this] { LoadOrRebuildIndex(); });
}

void BlockStore::WaitForIndex() {
  if (indexLoad_ == 0) return;
  Writer().WaitFor(indexLoad_);
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
    LoadListed(lookup_.TakeCrowded());
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
    // The blocks in memory are found in the lookup file from now on; what
    // it still lacks is written after they are let go of.
    blockMap_ = BlockMap();
    appendedPrefixes_ = {};
    lookup_.Save(IndexCoverage());
  } else {
    FinishRecords();
    CloseSources();
  }
  restoreAhead_.reset();
  pieceRestore_.reset();
  scanAhead_.reset();
  threads_->Settle(ThreadPlan::Helper::kScanAhead);
  ahead_.reset();
  hasher_.reset();
  threads_->Settle(ThreadPlan::Helper::kStoreHelper);
  threads_->Settle(ThreadPlan::Helper::kStoreWriter);
  syncBehind_.reset();
  damage_.Save();  // derived data: a failed save only loses the memory
  dataFile_.reset();
  indexFile_.reset();
  dataStream_.reset();
  indexStream_.reset();
}

bool BlockStore::IsOpen() const {
  return dataStream_ != nullptr && indexStream_ != nullptr;
}

void BlockStore::AttachManager(StoreContext* manager) {
  manager_ = manager != nullptr ? manager : &detached_;
}

bool BlockStore::Sync() {
  if (!IsOpen() || !FlushBlocks()) return false;
  const std::error_code behind = syncBehind_->Finish();
  const bool dataSynced = !behind && dataStream_->Sync();
  const bool indexSynced = indexStream_->Sync();
  // The caller reads the error of a failed sync as of any system call.
  if (behind && indexSynced) errno = behind.value();
  const bool synced = indexSynced && dataSynced;
  // A store stays open for as long as the desktop program runs: the blocks
  // of each published snapshot are entered now, or a program that is killed
  // leaves the next backup to read them back from the data file.
  // The lookup file then holds the backup's blocks that have an anchor:
  // they are found through it from now on.
  far_.ForgetBlocksOfThisBackup();
  if (!lookup_.Save(IndexCoverage())) blockMap_.FilterAll();  // derived: a failure costs a rebuild
  LoadListed(lookup_.TakeCrowded());
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
  LoadListed(lookup_.Anchorless());
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
  LoadListed(lookup_.TakeCrowded());
}

void BlockStore::LoadListed(const std::vector<uint32_t>& records) {
  // Small files are mostly blocks without an anchor: their records are read
  // a run of the index at a time, not one read each.
  constexpr size_t kRun = 2048;
  std::vector<uint8_t> run;
  uint64_t runFirst = 0;
  size_t runRecords = 0;
  for (const uint32_t number : records) {
    if (number < runFirst || number >= runFirst + runRecords) {
      runFirst = number;
      runRecords = indexFile_->ReadRecords(number, kRun, &run);
      if (runRecords == 0) continue;
    }
    const IndexRecord record =
        IndexRecord::Decode(&run[static_cast<size_t>(number - runFirst) * IndexRecord::kSize]);
    if (record.checksumMatches && record.position >= 0 &&
        record.position + DataRecordHeader::kSize < dataFile_->LogicalEnd()) {
      AddKnownBlock(record.weakChecksum, record.digest, record.position);
    }
  }
}

void BlockStore::CatchUp(uint64_t first) {
  // Blocks are entered a batch at a time in the order of their keys, their
  // slots written a window at a time: one write per slot would make a file
  // of millions of blocks again in hours, not seconds.
  constexpr uint64_t kBatch = uint64_t{1} << 20;
  StoredBlockReader blocks(*dataFile_);
  indexFile_->SeekRecord(first);
  int32_t checksum;
  Md5Digest digest;
  int64_t position;
  uint64_t record = first;
  for (; indexFile_->ReadNext(&checksum, &digest, &position); ++record) {
    if (record > first && (record - first) % kBatch == 0 && lookup_.IsOpen()) {
      lookup_.Save(CoverageOf(record));
    }
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
      lookup_.AddStored(
          {key, checksum, static_cast<uint32_t>(record), static_cast<uint16_t>(offset)});
    } else {
      lookup_.AddAnchorless(static_cast<uint32_t>(record));
      AddKnownBlock(checksum, digest, position);
    }
  }
  if (record > first && lookup_.IsOpen()) lookup_.Save(CoverageOf(record));
}

LookupFile::Coverage BlockStore::IndexCoverage() const {
  return CoverageOf(static_cast<uint64_t>(indexFile_->LogicalEnd()) / IndexRecord::kSize);
}

LookupFile::Coverage BlockStore::CoverageOf(uint64_t records) const {
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
  EnterBlock(weakChecksum, digest, position, true);
}

void BlockStore::EnterBlock(int32_t weakChecksum, const Md5Digest& digest, int64_t position,
                            bool filtered) {
  // New content never goes into a block known to be damaged; a sound copy
  // of it, stored again, takes its place.
  lastKnownBlock_ = std::max(lastKnownBlock_, position);
  if (damage_.Has(DamageMemory::Kind::kBlock, position)) return;
  blockMap_.Add(weakChecksum, digest, position, filtered);
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
  return FindInMap(ring, weakChecksum, start, length, false);
}

int64_t BlockStore::FindInMap(const RingBuffer& ring, int32_t weakChecksum, int32_t start,
                              int32_t length, bool placedByAnchor) {
  const bool digestReady = digestReady_;
  digestReady_ = false;
  // Blocks of this backup that have an anchor are not in the filter: they
  // are looked up only where their anchor places them.
  if (!placedByAnchor && !blockMap_.MayContain(weakChecksum)) return -1;
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

int64_t BlockStore::Lookup(const RingBuffer& ring, int32_t checksum, int32_t start, int32_t length,
                           bool anchored) {
  bool ofThisBackup = false;
  const int64_t found = anchored ? FindAnchored(ring, checksum, start, length, &ofThisBackup) : -1;
  return found >= 0 ? found : FindInMap(ring, checksum, start, length, ofThisBackup);
}

int64_t BlockStore::FindAnchored(const RingBuffer& ring, int32_t weakChecksum, int32_t start,
                                 int32_t length, bool* ofThisBackup) {
  for (const FarCandidates::Candidate& candidate : far_.AtNext()) {
    if (candidate.record == FarCandidates::kThisBackup) {
      // In the map, by weak checksum.
      if (candidate.weakChecksum == FarCandidates::ThisBackupCheck(weakChecksum)) {
        *ofThisBackup = true;
      }
      continue;
    }
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

}  // namespace vaultline
