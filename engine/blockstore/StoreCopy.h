// What compacting a selection needs of its block store: how long each kept
// content record and block is, and copying the kept ones into new data,
// index and content files, the blocks renumbered. The caller decides what
// is kept and where it lands; this class alone reads and writes the store's
// record files.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "util/RecordStream.h"

namespace vaultline {

class StoreCopy {
 public:
  // Told the bytes of each block or content record copied; false stops
  // the copy.
  using Progress = std::function<bool(int64_t bytes)>;

  enum class BlocksCopied { kAll, kDamaged, kDataNotWritten, kIndexNotWritten, kStopped };

  // Reads the old store's data file and content file (neither owned).
  StoreCopy(RecordStream& data, int contentFd) : data_(data), contentFd_(contentFd) {}

  // Bytes a block of `length` takes in the data file, and a block in the
  // index.
  static int64_t BlockBytes(int32_t length);
  static int64_t IndexBytes();

  // Bytes of the content record at `offset`, which must end within
  // `contentEnd`; each block its pieces name is added to `blocks`, with
  // length 0. -1 when its header cannot be read; -2 when the rest is
  // damaged, `owner` then the stored name the header gives.
  int64_t MeasureContent(int64_t offset, int64_t contentEnd, std::map<int64_t, int32_t>* blocks,
                         std::wstring* owner);
  // The length of the block at `position`, or -1 when it is damaged.
  int32_t BlockLength(int64_t position);

  // Copies the blocks (old position -> length), in order, to the end of the
  // new data file `newData` and the new index `newIndex`, block i at
  // `newPositions[i]`. On kDamaged, `damagedAt` is the block's old position;
  // on a failed write, Error() tells why.
  BlocksCopied CopyBlocks(const std::map<int64_t, int32_t>& blocks,
                          const std::vector<int64_t>& newPositions, RecordStream& newData,
                          RecordStream& newIndex, const Progress& progress, int64_t* damagedAt);
  // Copies the content records (old offset -> bytes), in order, to the new
  // content file `newContent`, whole headers and all, each piece's block
  // position mapped by `newBlock`. False when one could not be read or
  // written; a copy the progress stopped ends early and is not a failure.
  bool CopyContents(const std::map<int64_t, int64_t>& contents, int newContent,
                    const std::function<int64_t(int64_t)>& newBlock, const Progress& progress);
  // The system error of the last write that failed.
  int Error() const { return error_; }

 private:
  RecordStream& data_;
  int contentFd_;
  int error_ = 0;
};

}  // namespace vaultline
