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
class ThreadPlan;
class WorkerThread;

class PieceRestore {
 public:
  // kBlockDamaged: a block cannot be read or fails its own digest;
  // kWrongBlock: a sound block is not the one its entry names.
  enum class Result { kRestored, kBlockDamaged, kWrongBlock, kWriteFailed };

  // Checks on the plan's kRestoreChecks helper (on the caller's thread
  // without helper threads).
  PieceRestore(const DataFile& data, ThreadPlan& threads);
  ~PieceRestore();  // waits for the checks handed over
  PieceRestore(const PieceRestore&) = delete;
  PieceRestore& operator=(const PieceRestore&) = delete;

  // Writes the pieces of `entries` (a record already checked whole) to
  // outputFd. When a check fails, `damagedAt` is the position of the block.
  // `pieceWritten` is called after each piece with the bytes written so far.
  Result Restore(const std::vector<FpEntry>& entries, int outputFd,
                 const std::function<void(int64_t written)>& pieceWritten, int64_t* damagedAt);

  // The thread the checks run on, for other work of a restore.
  WorkerThread& Helper() const { return worker_; }

  // Adjacent blocks read together, and what checking them found.
  struct Run {
    std::vector<uint8_t> bytes;  // grown to the run and the rest of its last block
    const FpEntry* entries = nullptr;
    size_t count = 0;
    int64_t position = 0;  // of the first block's header
    int64_t length = 0;    // from there to the end of the last piece
    Result result = Result::kRestored;
    size_t failed = 0;  // the entry whose block failed its check
    uint64_t ticket = 0;
  };
  // Whether all of `entries` (at least one) make one run; `run` is then it.
  static bool OneRun(const std::vector<FpEntry>& entries, Run* run);
  // Makes `run` of the entries from entries[next] on, as many as form one;
  // returns the index after them.
  static size_t FormRun(const std::vector<FpEntry>& entries, size_t next, Run* run);
  // Reads the run and checks each of its blocks; on any thread.
  void Check(Run& run) const;
  // As Restore, for a file of one run that Check has checked.
  Result RestoreChecked(const Run& run, int outputFd,
                        const std::function<void(int64_t written)>& pieceWritten,
                        int64_t* damagedAt) const;

 private:
  bool Write(const Run& run, int outputFd) const;
  // Writes a checked run, or says why not; `written` counts on from before.
  Result Deliver(const Run& run, int outputFd,
                 const std::function<void(int64_t written)>& pieceWritten, int64_t* written,
                 int64_t* damagedAt) const;

  const DataFile& data_;
  WorkerThread& worker_;
  std::vector<std::unique_ptr<Run>> runs_;
};

}  // namespace vaultline
