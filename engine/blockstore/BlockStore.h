// The de-duplicating store of one Backup Selection: a data file of unique
// blocks with its index, and per-file records in the content file that the
// snapshot manager keeps open. Files are cut into blocks found again by a
// rolling weak checksum confirmed with MD5.
//
// One store per open selection, called from one thread, never shared. Where
// more than one processor is available it hashes new blocks, writes them and
// reads back stored ones on helper threads of its own; callers never see
// them: the status sink is called only on the caller's thread, and every
// call has finished with its helpers when it returns, but for a write of
// gathered blocks (see FlushBlocks). The store does not own the content file
// or the manager it is attached to.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "blockstore/BlockAnchor.h"
#include "blockstore/BlockMap.h"
#include "blockstore/DamageMemory.h"
#include "blockstore/FarCandidates.h"
#include "blockstore/FpRecordFile.h"
#include "blockstore/LookupFile.h"
#include "blockstore/MatchingScan.h"
#include "blockstore/Md5.h"
#include "blockstore/PieceRestore.h"
#include "blockstore/RingBuffer.h"
#include "blockstore/StoreContext.h"
#include "platform/File.h"
#include "util/RecordStream.h"
#include "util/SourceFile.h"
#include "util/ThreadPlan.h"

namespace vaultline {

class DataFile;
class BlockHasher;
class WindowDigests;
class SyncBehind;
class WorkerThread;
class BlockIndexFile;
class RestoreAhead;
class ScanAhead;
struct ContentRecord;

class BlockStore : private MatchingScan::Store {
 public:
  static constexpr int32_t kSmallFileLimit = 300;
  static constexpr int64_t kProgressStep = MatchingScan::kProgressStep;
  // Bytes of a stored block compared before a window is hashed.
  static constexpr int32_t kPrefixLength = 32;
  // New blocks gather until this many bytes go out with one write.
  static constexpr int64_t kAppendBatch = 1 << 20;
  // As do content records held for the records before them.
  static constexpr size_t kContentBatch = 1 << 16;

  // Opens (creating if missing) the data file at `basePath` and the index at
  // basePath + ".ind". The known blocks are loaded when first needed.
  // New blocks are hashed on the helpers of `threads` (a plan of its own
  // when none is given); the bytes written are the same with helper threads
  // or without.
  BlockStore(std::wstring basePath, int32_t readChunk, int32_t blockLength,
             std::shared_ptr<ThreadPlan> threads = nullptr);
  // `threaded` false keeps all the work on the caller's thread.
  BlockStore(std::wstring basePath, int32_t readChunk, int32_t blockLength, bool threaded);
  virtual ~BlockStore();
  BlockStore(const BlockStore&) = delete;
  BlockStore& operator=(const BlockStore&) = delete;

  bool IsOpen() const;  // both files opened

  virtual void RebuildIndex();
  virtual void AddKnownBlock(int32_t weakChecksum, const Md5Digest& digest, int64_t position);
  // Position of a stored block with the same `length` bytes as the ring from
  // `start`, or -1. On a hit the window's digest is left in the lookup buffer.
  virtual int64_t FindBlock(const RingBuffer& ring, int32_t weakChecksum, int32_t start,
                            int32_t length);
  // Stores the file at `path` as a record at ContentEnd; returns that
  // position (contentOffset), or -1 when the file was not stored. Errors that
  // must end the backup set `cancelled` and are reported through the sink.
  // The record may still wait for its blocks' digests when this returns; it
  // is written after the records before it, at the latest by FinishRecords.
  // The content file descriptor stays the caller's, and must stay open until
  // FinishRecords, FlushBlocks or the store's end. `source`, when opened,
  // is the file at `path` as the caller opened it; the store closes it.
  virtual int64_t StoreFile(const std::wstring& path, int contentFd, SourceFile source = {});
  // Stores `bytes` as what `path` holds (a link's target; nothing for a
  // fifo, socket or device), raw behind its header whatever their length.
  // As StoreFile otherwise.
  int64_t StoreBytes(const std::wstring& path, int contentFd, const std::string& bytes);
  // Where the next record goes: the content file's position once the
  // records still waiting are written.
  int64_t ContentEnd(int contentFd);
  // Writes every record still waiting (and with them their blocks' index
  // entries); false when a write failed (reported). Records that could not
  // be written are remembered as damaged.
  bool FinishRecords();
  // The size of the file the last StoreFile stored.
  int64_t LastStoredSize() const { return lastStoredSize_; }
  // Writes the stored file to outputFd, which stays the caller's to close
  // with CloseRestoredFile. Its record is checked whole (against
  // expectedName and, when not negative, expectedSize) before a byte is
  // written. True when the file came back whole and verified; false when
  // damage or an error was reported (errors of the output also set
  // cancelled). Damage found is remembered.
  virtual bool RestoreFile(int contentFd, int outputFd, int64_t contentOffset,
                           const std::wstring& expectedName, int64_t expectedSize = -1);
  // The bytes StoreBytes stored, checked as RestoreFile checks a file; false
  // when they could not be read or are damaged (reported, and remembered).
  bool RestoreBytes(int contentFd, int64_t contentOffset, const std::wstring& expectedName,
                    int64_t expectedSize, std::string* bytes);
  // The record of a stored file, checked as RestoreFile checks it before
  // reading its blocks; false (`why` says) when unreadable or damaged.
  bool ReadRecord(int contentFd, int64_t contentOffset, const std::wstring& expectedName,
                  int64_t expectedSize, ContentRecord* record, std::wstring* why);
  // As RestoreBytes, reporting nothing: `why` says what is wrong.
  bool ReadBytes(int contentFd, int64_t contentOffset, const std::wstring& expectedName,
                 int64_t expectedSize, std::string* bytes, std::wstring* why);
  // Names a file that RestoreFile will be asked for after those named
  // before it, so that its record and blocks are read and checked ahead on
  // another thread. A file named and not restored costs only that work.
  void ExpectRestore(int contentFd, int64_t contentOffset, const std::wstring& name, int64_t size);
  // Forgets the files named: a restore that stops.
  void ForgetExpectedRestores();
  // Closes a file RestoreFile wrote. A write the system reports only at
  // close fails the restore too: then, when `restored`, it is reported and
  // the operation ends. Returns whether the file came back.
  bool CloseRestoredFile(int outputFd, bool restored);
  // As CloseRestoredFile, for a file another thread closed: `closed` tells
  // whether the close succeeded.
  bool RestoredFileClosed(bool closed, bool restored);
  virtual bool WriteFpHeader(FpRecordFile& record, const std::wstring& name, int64_t size,
                             uint16_t layout);
  virtual bool WriteFpEntry(int32_t weakChecksum, const Md5Digest& digest, int32_t length,
                            int64_t sourcePosition, int64_t dataPosition, FpRecordFile& record);
  // False when a write failed (already reported).
  virtual bool RecordMatch(const RingBuffer& ring, int32_t literalChecksum, int32_t windowChecksum,
                           int32_t windowStart, int32_t windowLength, int32_t literalStart,
                           int64_t sourcePosition, int64_t matchedPosition, FpRecordFile& record);
  virtual bool StoreNewBlock(const RingBuffer& ring, int32_t weakChecksum, int32_t length,
                             int32_t start, int64_t sourcePosition, FpRecordFile& record);
  virtual void DigestOf(int32_t length, const RingBuffer& ring, int32_t start, Md5Digest* digest);
  virtual void AttachManager(StoreContext* manager);
  // The helpers of the operations on this store.
  const std::shared_ptr<ThreadPlan>& Threads() const { return threads_; }
  virtual void LoadIndex();
  // Loads the index, or resets it and rebuilds it from the data file when
  // either file holds no records; once per store. Waits for a load begun
  // ahead.
  void EnsureIndex();
  // Begins loading the index on a helper thread, for a caller that knows a
  // file will be cut into blocks soon; until a call that needs the blocks
  // waits for it, only IsDamaged may be called meanwhile. Nothing where only
  // one processor is available.
  void LoadIndexAhead();
  // About how many bytes of new files the running backup will store. An
  // empty store makes room for their blocks once, instead of growing its
  // table as they come.
  void ExpectNewBytes(int64_t bytes);
  // Closes, before it returns, every file StoreFile was given: they are
  // closed a batch at a time on another thread. FlushBlocks does this too.
  void ReleaseSources();

  // Checks of a store that change nothing in it (only the damage memory).
  // CheckContent: the record at contentOffset as a restore would read it;
  // with readBlocks, also that every piece names a block that CheckData found
  // sound with the piece's digest (CheckData must have run). False with `why`
  // when damaged.
  bool CheckContent(int contentFd, int64_t contentOffset, const std::wstring& name, int64_t size,
                    bool readBlocks, std::wstring* why);
  // Every block of the data file (header and MD5) and every index record
  // against the blocks; appends a text for each problem. Progress goes to the
  // sink as bytes of the data file read.
  void CheckData(std::vector<std::wstring>* problems);

  // The blocks of stored files may still be gathered or being written when
  // StoreFile returns. FlushBlocks writes them after those in flight, then
  // their index records. When blocks cannot be written they are forgotten
  // again and the records naming them remembered as damaged; false then
  // (reported).
  bool FlushBlocks();
  // FlushBlocks, then fsync of the data and index files, so that what a
  // published snapshot names is on the drive.
  bool Sync();

  // The blocks held in memory (those of this backup and stored ones without
  // an anchor), loaded first if they are not yet.
  const BlockMap& Blocks();
  // Every block a lookup may find: those in memory and in the lookup file.
  size_t KnownBlockCount() {
    EnsureIndex();
    return blockMap_.BlockCount() + lookup_.Table().Used();
  }
  // Damage that restores and checks found, kept beside the store.
  DamageMemory& Damage() {
    WaitForIndex();
    return damage_;
  }
  // Damage().Has, callable while the index loads ahead.
  bool IsDamaged(DamageMemory::Kind kind, int64_t position) const {
    return damage_.Has(kind, position);
  }

 private:
  // Queues the record of `size` bytes that follow their header raw, at
  // `contentOffset`; that offset, or -1 when it could not be written.
  int64_t StoreRaw(const std::wstring& fullPath, int contentFd, int64_t contentOffset,
                   const uint8_t* bytes, int64_t size);
  // What the scan of a file asks of the store.
  int64_t Lookup(const RingBuffer& ring, int32_t checksum, int32_t start, int32_t length,
                 bool anchored) override;
  bool Failed() const override { return commitFailed_; }
  bool Match(const RingBuffer& ring, int32_t literalChecksum, int32_t windowChecksum,
             int32_t windowStart, int32_t windowLength, int32_t literalStart,
             int64_t sourcePosition, int64_t matchedPosition, FpRecordFile& record) override {
    return RecordMatch(ring, literalChecksum, windowChecksum, windowStart, windowLength,
                       literalStart, sourcePosition, matchedPosition, record);
  }
  bool NewBlock(const RingBuffer& ring, int32_t weakChecksum, int32_t length, int32_t start,
                int64_t sourcePosition, FpRecordFile& record) override {
    return StoreNewBlock(ring, weakChecksum, length, start, sourcePosition, record);
  }
  bool Progress(int64_t position) override {
    return ReportProgress(manager_->bytesDone + position, position);
  }
  void ReadFailed(const std::wstring& fullPath) override { ReportReadError(fullPath); }
  // Appends the `blockLength` bytes of the ring from `start` as a new block
  // and records its first `pieceLength` bytes as the piece at
  // `sourcePosition`.
  bool StorePiece(const RingBuffer& ring, int32_t weakChecksum, int32_t blockLength, int32_t start,
                  int32_t pieceLength, int64_t sourcePosition, FpRecordFile& record);
  // The content record of a stored file, from its header until it is
  // written whole. Records reach the content file in the order their files
  // were stored; all but the oldest are held (FpRecordFile::Hold), so that a
  // file's scan need not wait for the digests of the file before.
  struct PendingRecord {
    std::unique_ptr<FpRecordFile> file;
    int64_t offset = 0;
    int64_t end = -1;         // known once its file is scanned
    size_t entries = 0;       // pieces of its file
    size_t uncommitted = 0;   // of those, pieces whose entry waits
    int64_t blocksEnd = 0;    // the end of the data file its blocks need
    bool headerHeld = false;  // its header was gathered, not yet written
  };
  // Queues the record of a file about to be stored at `offset`.
  PendingRecord& QueueRecord(int contentFd, int64_t offset);
  // Writes the oldest records that are whole, gathered into writes of
  // kContentBatch; false when a write failed (reported).
  bool WriteFinishedRecords();
  // Writes the records gathered whole; false when that failed (reported).
  bool WriteContentBatch();
  // Ends the hold of the oldest record, for one that grew large while its
  // file is stored: it writes its entries as they come from then on.
  bool ReleaseOldest();
  // On a failed write of records: the error, and nothing written after.
  bool RecordsNotWritten(const PendingRecord* record, int error);
  // After a failed write: records not yet written never will be, and the
  // files that name them must not be built on.
  void AbandonRecords();
  // WriteFinishedRecords, abandoning them all when a write failed.
  bool SettleRecords();
  // A piece of a stored file, in file order, whose entry is not yet
  // written: a match, or a new block whose digest is being computed.
  struct Piece {
    bool newBlock;
    int32_t weakChecksum;
    Md5Digest digest;  // of a match; a new block's comes from the hasher
    int32_t length;
    int64_t sourcePosition;
    int64_t dataPosition;  // of a match
    PendingRecord* record;
    int32_t anchorOffset;  // of a new block's anchor, -1 for none
    uint32_t anchorKey;
  };
  void QueuePiece(const Piece& piece);
  // Writes the oldest piece: a new block is appended, indexed and entered
  // among the known blocks, then its entry is written. False when a write
  // failed (reported); nothing is written after that.
  bool CommitPiece();
  // Writes pieces as long as the oldest one needs no waiting.
  bool CommitReady();
  bool CommitAll();
  // Hands the gathered blocks to the writer to be written while the scan
  // goes on, once those in flight are known to be on the drive.
  bool WriteBlocksBehind();
  // Waits for the blocks in flight; once they are on the drive their index
  // records follow. False when they or the records failed (reported).
  bool FinishBlocksInFlight();
  // Blocks appended since the last that is on the drive were lost to a
  // failed write: nothing may find them, and the records of stored files
  // that name them are remembered as damaged, so that no later snapshot
  // builds on them.
  void BlocksLost();
  void ReportError(const std::wstring& text);
  // Damage met while reading the store costs the file being restored, not
  // the rest of the restore.
  void ReportDamage(const std::wstring& text);
  // OnProgress through the sink; its answer becomes `cancelled`.
  bool ReportProgress(int64_t done, int64_t current);
  void ReportWriteError(int error);
  void ReportHeaderWriteError(int error);
  void ReportReadError(const std::wstring& fullPath);
  // `checked`: the file's one run, read and checked ahead.
  bool RestorePieces(const ContentRecord& record, int64_t contentOffset, int outputFd,
                     const PieceRestore::Run* checked);
  PieceRestore& Pieces();
  // Before the first append: a last block cut short by the end of the file
  // (a torn write, or a cut) is dropped, so that new blocks never land inside
  // what its header claims.
  void DiscardTornTail();
  // The load begun by LoadIndexAhead, once it is done.
  void WaitForIndex();
  struct Prefix;
  // The first bytes of the block at `index` among the known blocks, when
  // it was appended since the store opened; null otherwise.
  const Prefix* AppendedPrefix(int32_t index) const;
  void RememberPrefix(const uint8_t* bytes, int32_t length);
  void LoadOrRebuildIndex();
  // Enters stored index records from `first` on in the lookup file and
  // their blocks without an anchor among the known blocks.
  void CatchUp(uint64_t first);
  // The known blocks of these index records, held by weak checksum: the
  // lookup file's records without an anchor, or crowded out of its table.
  void LoadListed(const std::vector<uint32_t>& records);
  // What of the index the lookup file covers once it is written.
  LookupFile::Coverage IndexCoverage() const;
  // The first `records` records of the index, as a lookup file covers them.
  LookupFile::Coverage CoverageOf(uint64_t records) const;
  // A stored block found through its anchor at source position `position`
  // whose `length` bytes are those of the ring from `start`, or -1.
  // The stored block a candidate of the lookup file names at this window;
  // `ofThisBackup` is set when a block of this backup may start here too.
  int64_t FindAnchored(const RingBuffer& ring, int32_t weakChecksum, int32_t start, int32_t length,
                       bool* ofThisBackup);
  // FindBlock, past the filter where an anchor placed a block of this backup.
  int64_t FindInMap(const RingBuffer& ring, int32_t weakChecksum, int32_t start, int32_t length,
                    bool placedByAnchor);
  // AddKnownBlock; a block of this backup with an anchor stays out of the
  // filter (`filtered` false).
  void EnterBlock(int32_t weakChecksum, const Md5Digest& digest, int64_t position, bool filtered);
  // A file the store has read is closed on the writer's thread, a batch at
  // a time: the close costs the store's thread a system call that does
  // nothing for what it stores.
  void CloseSource(int fd);
  // The writer's ticket of the batch handed over, or 0.
  uint64_t CloseSources();

  bool Threaded() const { return threads_->Threaded(); }
  WorkerThread& Writer() const { return threads_->Get(ThreadPlan::Helper::kStoreWriter); }

  // Declared first: the helpers outlive everything that hands them work.
  std::shared_ptr<ThreadPlan> threads_;
  std::wstring basePath_;
  std::wstring indexPath_;
  std::unique_ptr<RecordStream> dataStream_;
  std::unique_ptr<RecordStream> indexStream_;
  std::unique_ptr<DataFile> dataFile_;
  // Every 64 MiB written: a first backup's final sync would otherwise wait
  // for all of it.
  static constexpr int64_t kSyncBehindStep = int64_t{64} << 20;
  std::unique_ptr<SyncBehind> syncBehind_;
  std::unique_ptr<BlockIndexFile> indexFile_;
  std::unique_ptr<PieceRestore> pieceRestore_;  // made by the first restore of blocks
  std::unique_ptr<RestoreAhead> restoreAhead_;  // made by the first file named
  // Made by the first file stored in blocks: the helper thread and what
  // runs on it, and a thread of their own for writes of the data file: a
  // wait for a hashed block waits for every task before it, and a write
  // there would hold it up.
  std::unique_ptr<BlockHasher> hasher_;
  std::unique_ptr<WindowDigests> ahead_;
  std::unique_ptr<ScanAhead> scanAhead_;  // with a second processor
  std::deque<Piece> pieces_;
  static constexpr size_t kCloseBatch = 64;
  std::vector<int> closing_;  // files read and not yet handed over to close
  std::deque<PendingRecord> records_;
  int recordsFd_ = -1;  // the content file they go to
  // Whole records that were held, in order, for one write; and their offsets.
  std::vector<uint8_t> contentBatch_;
  std::vector<int64_t> batchedRecords_;
  int64_t batchEnd_ = 0;  // the end of the last of them
  platform::GrowingFileWriteBack contentWriteBack_;
  PendingRecord* storing_ = nullptr;  // the record of the file being stored
  bool commitFailed_ = false;
  int32_t readChunk_;
  int32_t blockLength_;
  RingBuffer ring_;
  BlockMap blockMap_;
  // The first bytes of the blocks appended since the store opened, up to
  // kAppendedPrefixes of them, from the known block firstAppended_ on: a
  // window whose weak checksum meets one is told apart without a read of
  // the data file.
  static constexpr size_t kAppendedPrefixes = 1 << 18;
  struct Prefix {
    std::array<uint8_t, kPrefixLength> bytes;
    int32_t length;  // of those bytes: the block's, up to kPrefixLength
  };
  std::vector<Prefix> appendedPrefixes_;
  size_t firstAppended_ = 0;
  Md5Digest lookupDigest_{};
  bool digestReady_ = false;  // lookupDigest_ is of the window FindBlock is given
  LookupFile lookup_;
  AnchorFinder anchorFinder_;
  FarCandidates far_;
  int openError_ = 0;
  bool indexLoaded_ = false;
  size_t expectedBlocks_ = 0;  // for ExpectNewBytes, once the index is there
  uint64_t indexLoad_ = 0;     // the writer's ticket of a load begun ahead
  size_t writtenBlocks_ = 0;   // known blocks that are on the drive
  // The write in flight: known blocks and index records once it is done.
  bool blocksInFlight_ = false;
  size_t inFlightBlocks_ = 0;
  size_t inFlightRecords_ = 0;
  // Files stored while some of their blocks were not yet on the drive: the
  // content offset of each, and the end of the data file its blocks need.
  // A file counts as stored when StoreFile returns; writing its blocks may
  // fail later, and then its record must not be built on.
  struct UnsettledFile {
    int64_t contentOffset;
    int64_t blocksEnd;
  };
  std::deque<UnsettledFile> unsettled_;
  int64_t lastStoredSize_ = 0;
  int64_t lastKnownBlock_ = -1;  // the highest position the index named
  bool tailChecked_ = false;
  DamageMemory damage_;
  // Sound blocks that CheckData read, by position: their digests.
  std::unordered_map<int64_t, Md5Digest> checkedBlocks_;
  StoreContext detached_;  // stands in until a manager is attached
  StoreContext* manager_ = &detached_;
};

}  // namespace vaultline
