// Writes a file stored in blocks back out: the pieces its entries name, in
// entry order. Adjacent blocks are read as one run with one read; every block
// is checked against the digest its entry names before a byte of it is
// written. Reading and checking run on the helper thread while the caller's
// thread writes the runs checked before; a caller that waits for the helper
// checks the next run itself, as checking is the slower half. The output
// file, the content file and the status sink are only ever touched by the
// caller.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "blockstore/FpEntry.h"

namespace vaultline {

class DataFile;
class WorkerThread;

class PieceRestore {
 public:
  // kBlockDamaged: a block cannot be read or fails its own digest;
  // kWrongBlock: a sound block is not the one its entry names.
  enum class Result { kRestored, kBlockDamaged, kWrongBlock, kWriteFailed };

  // `threaded` false does all the work on the caller's thread.
  PieceRestore(const DataFile& data, bool threaded);
  ~PieceRestore();
  PieceRestore(const PieceRestore&) = delete;
  PieceRestore& operator=(const PieceRestore&) = delete;

  // Writes the pieces of `entries` (a record already checked whole) to
  // outputFd. When a check fails, `damagedAt` is the position of the block.
  // `pieceWritten` is called after each piece with the bytes written so far.
  Result Restore(const std::vector<FpEntry>& entries, int outputFd,
                 const std::function<void(int64_t written)>& pieceWritten, int64_t* damagedAt);

 private:
  struct Run;
  // Reads the run and checks each of its blocks; on the helper thread.
  void Check(Run& run) const;
  bool Write(const Run& run, int outputFd) const;

  const DataFile& data_;
  std::unique_ptr<WorkerThread> worker_;
  std::vector<std::unique_ptr<Run>> runs_;
};

}  // namespace vaultline
