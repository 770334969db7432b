// The data file of a store: a log of blocks, each behind a DataRecordHeader.
// Does not own its stream.
//
// The logical end starts as the file's size. Appended blocks gather in memory
// and go out together with Flush, or with FlushBehind on a worker thread
// while the caller goes on; the logical end moves on only when they were
// written whole. A scan that meets damage resynchronises on the
// next sound header; only a torn tail (damage with no sound header behind
// it) pulls the logical end back, so that the next append overwrites it.
#pragma once

#include <cstdint>

#include "blockstore/DataRecordHeader.h"
#include "blockstore/Md5.h"
#include "util/WriteBehind.h"

namespace vaultline {

class WorkerThread;

class DataFile {
 public:
  explicit DataFile(RecordStream& stream);
  // A write handed to a worker must have been finished (FinishFlush) first.
  virtual ~DataFile();
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  // The next sound block of a scan from the start of the file; false at the
  // logical end. Bytes skipped over damage are reported in the diagnostic log.
  virtual bool ReadNextHeader(int32_t* weakChecksum, Md5Digest* digest, int64_t* position);
  // The first `length` bytes of the block whose header is at `position`;
  // false unless all of them were read.
  virtual bool ReadBlock(void* buffer, int64_t position, int32_t length);
  virtual bool HasRecords() const;

  // The header at `position` if it is sound: the right magic, a length of 1
  // to 16383 that fits before the logical end, and its own position.
  bool ReadHeaderAt(int64_t position, DataRecordHeader* header);
  // The first `length` (at most kMaxPrefix) bytes of the block at
  // `position`, when its header is sound and names `digest`: a block found
  // through the index is matched only when it is wholly there. Blocks not yet
  // flushed are read from memory. Writes nothing to the diagnostic log.
  static constexpr int32_t kMaxPrefix = 64;
  bool ReadPrefix(void* buffer, int64_t position, int32_t length, const Md5Digest& digest);
  // Room for `bytes` of blocks in each of the two buffers that take turns,
  // so that gathering never grows them: each growth copies what was
  // gathered into pages touched for the first time.
  void ReserveGathered(size_t bytes);
  // Gathers a whole block, header and bytes, behind the blocks not yet
  // flushed; `position` is where its header will be. The bytes may come in
  // two pieces.
  void AppendBlock(int32_t weakChecksum, const Md5Digest& digest, const void* first,
                   int32_t firstLength, const void* second, int32_t secondLength,
                   int64_t* position);
  // Writes the gathered blocks with one write, after any write in flight.
  // On failure the file is cut back to the logical end and the gathered
  // blocks are dropped.
  bool Flush();
  // Hands the gathered blocks to `worker` to be written with one write while
  // the caller goes on. One write is in flight at a time: this first
  // finishes the one before, and is false (handing nothing over) when that
  // failed.
  bool FlushBehind(WorkerThread& worker);
  // Waits for the write in flight, if any. When it failed, the file is cut
  // back to the logical end and the blocks gathered since are dropped too,
  // as their positions assumed it; false then.
  bool FinishFlush() { return writes_.Finish(); }
  int64_t UnflushedBytes() const { return writes_.GatheredBytes(); }
  // Bytes of blocks appended but not yet known to be on the drive.
  int64_t PendingBytes() const { return writes_.PendingBytes(); }
  // The sound block at `position`, header and bytes: the bytes start at
  // buffer + DataRecordHeader::kSize, and the buffer must have room for a
  // header and the longest block. Reading `expectedLength` bytes is one read
  // when that is the block's length.
  bool ReadWholeBlock(int64_t position, int32_t expectedLength, uint8_t* buffer,
                      DataRecordHeader* header);
  // Up to `length` bytes from `position` with one read, so that a run of
  // adjacent blocks costs one call, and another thread may read while
  // nothing appends. Bytes read (fewer at the logical end), or -1.
  int64_t ReadRun(uint8_t* buffer, int64_t position, int64_t length) const;
  // The header at the start of `bytes`, read from `position`, if it is sound.
  bool DecodeSound(const uint8_t* bytes, int64_t position, DataRecordHeader* header) const;
  // Offset of the first sound header at or after `from`, or -1. Reads only.
  int64_t FindSoundHeader(int64_t from);
  // When the block at `position` has a sound header but runs past the end of
  // the file, cuts the file back to it and answers true.
  bool DiscardIfCutShort(int64_t position);
  // Cuts the file back to `position` (the start of a block that could not be
  // written whole).
  void DiscardFrom(int64_t position);
  int64_t LogicalEnd() const { return writes_.WrittenEnd(); }
  // Bytes read at `position`, or -1.
  int64_t Read(void* buffer, int64_t position, int64_t length) const;
  // errno of the last failed write.
  int LastError() const { return writes_.LastError(); }

 private:
  bool IsSound(const DataRecordHeader& header, int64_t position) const;
  void FillHeader(int32_t weakChecksum, const Md5Digest& digest, int32_t length, int64_t position);

  RecordStream& stream_;
  int64_t scanPosition_ = 0;
  uint8_t header_[DataRecordHeader::kSize] = {};
  // Blocks from the logical end on: the logical end is its written end.
  WriteBehind writes_;
};

}  // namespace vaultline
