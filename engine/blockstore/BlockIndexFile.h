// The index file of a store: one IndexRecord per block of the data file, so
// that the known blocks load without reading the data. Does not own its
// stream.
#pragma once

#include <cstdint>
#include <vector>

#include "blockstore/IndexRecord.h"
#include "util/WriteBehind.h"

namespace vaultline {

class BlockIndexFile {
 public:
  // The logical end is the stream's length cut down to whole records: a
  // record torn by a failed append is dropped rather than shifting every
  // later one.
  explicit BlockIndexFile(RecordStream& stream);
  virtual ~BlockIndexFile();  // flushes
  BlockIndexFile(const BlockIndexFile&) = delete;
  BlockIndexFile& operator=(const BlockIndexFile&) = delete;

  virtual bool ReadNext(int32_t* weakChecksum, Md5Digest* digest, int64_t* position);
  // Gathers a record for the logical end. Records are written by Flush, so
  // that none goes out before the block it names.
  virtual bool Append(int32_t weakChecksum, const Md5Digest& digest, int64_t position);
  virtual bool HasRecords() const;
  // Records on the drive, and those gathered after them.
  uint64_t RecordCount() const {
    return static_cast<uint64_t>(LogicalEnd()) / IndexRecord::kSize + PendingRecords();
  }
  // Reads on from record `number`.
  void SeekRecord(uint64_t number);
  // Record `number` of those on the drive, and its bytes' CRC-32; false when
  // it cannot be read or fails its checksum. Reads nothing else.
  bool ReadRecord(uint64_t number, IndexRecord* record, uint32_t* crc = nullptr) const;
  // The bytes of up to `count` records on the drive from record `first`,
  // with one read; how many records were read.
  size_t ReadRecords(uint64_t first, size_t count, std::vector<uint8_t>* bytes) const;
  virtual void Reset();  // empties the file

  // Writes the gathered records; false when that failed (they are cut off
  // again and dropped).
  bool Flush() { return Flush(PendingRecords()); }
  // The same for the first `records` gathered; the rest stay gathered.
  bool Flush(size_t records);
  size_t PendingRecords() const {
    return static_cast<size_t>(writes_.GatheredBytes()) / IndexRecord::kSize;
  }
  // Forgets the gathered records (their blocks were not written).
  void DropUnflushed() { writes_.DropGathered(); }
  int64_t LogicalEnd() const { return writes_.WrittenEnd(); }
  int LastError() const { return writes_.LastError(); }
  // A record read since the last Reset failed its checksum: the index no
  // longer describes the data file and must be rebuilt.
  bool Damaged() const { return damaged_; }

 private:
  RecordStream& stream_;
  WriteBehind writes_;  // written by the caller only
  int64_t readPosition_ = 0;
  bool damaged_ = false;
  uint8_t record_[IndexRecord::kSize] = {};
  std::vector<uint8_t> readBuffer_;  // records from readPosition_ - readAt_ on
  size_t readAt_ = 0;
};

}  // namespace vaultline
