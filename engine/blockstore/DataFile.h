// The data file of a store: a log of blocks, each behind a DataRecordHeader.
// Does not own or close its descriptor.
//
// The logical end starts as the file's size. Appends go there and move it on
// only when written whole. A scan that meets damage resynchronises on the
// next sound header; only a torn tail (damage with no sound header behind
// it) pulls the logical end back, so that the next append overwrites it.
#pragma once

#include <cstdint>

#include "blockstore/DataRecordHeader.h"
#include "blockstore/Md5.h"

namespace vaultline {

class DataFile {
 public:
  explicit DataFile(int fd);
  virtual ~DataFile();
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  // The next sound block of a scan from the start of the file; false at the
  // logical end. Bytes skipped over damage are reported in the diagnostic log.
  virtual bool ReadNextHeader(int32_t* weakChecksum, Md5Digest* digest, int64_t* position);
  // The first `length` bytes of the block whose header is at `position`;
  // false unless all of them were read.
  virtual bool ReadBlock(void* buffer, int64_t position, int32_t length);
  virtual bool WriteBytes(const void* buffer, int32_t length);
  virtual bool WriteHeader(int32_t weakChecksum, const Md5Digest& digest, int32_t length,
                           int64_t* position);
  virtual bool SeekToEnd();
  virtual bool HasRecords() const;

  // The header at `position` if it is sound: the right magic, a length of 1
  // to 16383 that fits before the logical end, and its own position.
  bool ReadHeaderAt(int64_t position, DataRecordHeader* header);
  // The first `length` (at most kMaxPrefix) bytes of the block at
  // `position`, when its header is sound and names `digest`: a block found
  // through the index is matched only when it is wholly there. Writes nothing
  // to the diagnostic log.
  static constexpr int32_t kMaxPrefix = 64;
  bool ReadPrefix(void* buffer, int64_t position, int32_t length, const Md5Digest& digest);
  // A whole block, header and bytes, with one write; on failure the file is
  // cut back to where the block began. The bytes may come in two pieces.
  bool AppendBlock(int32_t weakChecksum, const Md5Digest& digest, const void* first,
                   int32_t firstLength, const void* second, int32_t secondLength,
                   int64_t* position);
  // The sound block at `position`, header and bytes: the bytes start at
  // buffer + DataRecordHeader::kSize, and the buffer must have room for a
  // header and the longest block. Reading `expectedLength` bytes is one read
  // when that is the block's length, and costs no seek after the block
  // before it.
  bool ReadWholeBlock(int64_t position, int32_t expectedLength, uint8_t* buffer,
                      DataRecordHeader* header);
  // Offset of the first sound header at or after `from`, or -1. Reads only.
  int64_t FindSoundHeader(int64_t from);
  // When the block at `position` has a sound header but runs past the end of
  // the file, cuts the file back to it and answers true.
  bool DiscardIfCutShort(int64_t position);
  // Cuts the file back to `position` (the start of a block that could not be
  // written whole).
  void DiscardFrom(int64_t position);
  int64_t LogicalEnd() const { return logicalEnd_; }
  // errno of the last failed write.
  int LastError() const { return lastError_; }

 private:
  // The descriptor's position is remembered so that appends and sequential
  // reads cost no seek; -1 when unknown.
  bool SeekTo(int64_t position);
  // Bytes read at `position`, or -1.
  int64_t Read(void* buffer, int64_t position, int64_t length);
  bool IsSound(const DataRecordHeader& header, int64_t position) const;
  void FillHeader(int32_t weakChecksum, const Md5Digest& digest, int32_t length);
  void WriteFailed(const wchar_t* text);

  int fd_;
  int64_t logicalEnd_;
  int64_t scanPosition_ = 0;
  int64_t filePosition_ = -1;
  int lastError_ = 0;
  uint8_t header_[DataRecordHeader::kSize] = {};
};

}  // namespace vaultline
