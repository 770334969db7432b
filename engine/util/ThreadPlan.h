// The helper threads of one operation (a backup, a restore, a check, a
// compaction, a mount's reads), and the one place that decides whether they
// run. Where only one processor is available there are no helper threads:
// every task runs on the caller's thread when it is handed over, with the
// same results. Nothing else in the engine starts a thread.
//
// A helper is made when its first task is handed over and ends with the
// plan, after it ran everything handed to it. Tasks never call the status
// sink; that stays on the caller's thread. A result that crosses threads
// carries its error as a std::error_code, never as a saved errno.
//
// The threads. "The caller" is the thread that runs the operation; every
// helper ends with the plan, once it ran what it was handed, and whoever
// hands it work waits for those tasks before letting go of what they touch.
//
//   kStoreHelper      does:    hashes new blocks, digests windows ahead, reads
//                              the source ahead
//                     work by: the store (BlockHasher, WindowDigests,
//                              SourceReadAhead, MatchingScan)
//                     touches: the ring's bytes and the blocks handed over,
//                              each task its own; never the block map
//   kStoreWriter      does:    writes the data file's batches, loads the index
//                              ahead, closes the source files read
//                     work by: the store (DataFile, LoadIndexAhead,
//                              CloseSources)
//                     touches: the batch in flight, the descriptors handed
//                              over; the block map only while loading it,
//                              before the store's first look-up waits for it
//   kScanAhead        does:    scans new data a few spans ahead of the store
//                     work by: ScanAhead
//                     touches: the ring's spans handed over, its own stops,
//                              the filter's bits (read)
//   kDataSync         does:    syncs the growing data file a step at a time
//                     work by: SyncBehind
//                     touches: the data file's descriptor (fsync only)
//   kRestoreChecks    does:    reads and checks runs of blocks, and the records
//                              of files named ahead
//                     work by: PieceRestore, RestoreAhead
//                     touches: the data and content files (positioned
//                              reads), the run or named file handed over
//   kRestoreWriter    does:    finishes each restored file written whole: sets
//                              its end, what it records (owner, attributes,
//                              mode, time) through the descriptor, closes it
//                     work by: RestoreVisitor
//                     touches: the file handed over and its record; never the
//                              store or the status sink
//   kSourceOpening    does:    opens the files a backup stores next, reads
//                              small ones whole
//                     work by: SourcePrefetch
//                     touches: the files it opens; its queue under its lock
//   kKeyReading       does:    reads the new snapshot's records back for the
//                              key index
//                     work by: KeyIndexKeeper (ReadAhead)
//                     touches: the directory file (positioned reads), the
//                              keys it finds
//   kDirectoryWriter  does:    writes the directory file's chunks
//                     work by: DirectoryFile
//                     touches: the chunk in flight
//   kTagReader        does:    reads the lookup file's tags ahead of dense
//                              look-ups
//                     work by: AnchorTags
//                     touches: the tags' memory and their stretch states,
//                              each stretch once claimed; the lookup file
//                              (positioned reads); stops when the tags go
#pragma once

#include <array>
#include <memory>
#include <mutex>

#include "util/WorkerThread.h"

namespace vaultline {

class ThreadPlan {
 public:
  enum class Helper {
    kStoreHelper,
    kStoreWriter,
    kScanAhead,
    kDataSync,
    kRestoreChecks,
    kRestoreWriter,
    kSourceOpening,
    kKeyReading,
    kDirectoryWriter,
    kTagReader,
  };
  static constexpr size_t kHelpers = static_cast<size_t>(Helper::kTagReader) + 1;

  // Helper threads when more than one processor is available.
  ThreadPlan();
  // `threaded` false: none, every task runs at once on the caller's thread.
  explicit ThreadPlan(bool threaded);
  ~ThreadPlan();  // each helper runs what it was handed, then ends
  ThreadPlan(const ThreadPlan&) = delete;
  ThreadPlan& operator=(const ThreadPlan&) = delete;

  bool Threaded() const { return threaded_; }
  // The helper, made now if it was not yet.
  WorkerThread& Get(Helper helper);
  // Returns once everything handed to `helper` so far has run; at once
  // when it was never made.
  void Settle(Helper helper);

 private:
  bool threaded_;
  std::mutex mutex_;  // the first Get of a helper may come from another helper
  std::array<std::unique_ptr<WorkerThread>, kHelpers> helpers_;
};

}  // namespace vaultline
