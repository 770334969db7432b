// Reads any stretch of stored files, for readers that ask for a file a piece
// at a time and in any order (a mounted snapshot). The blocks are read and
// checked a run at a time, as a restore checks them, never a byte handed out
// unchecked; the last runs checked are kept, and the run after the one read
// last is read and checked ahead on a helper thread, so that a sequential
// read reads and checks each block once.
//
// Called from one thread; the helper only checks runs.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "blockstore/ContentRecord.h"
#include "blockstore/PieceRestore.h"

namespace vaultline {

class DataFile;
class ThreadPlan;

class StoredFileReader {
 public:
  // A file whose record was read and checked whole.
  struct File {
    int64_t contentOffset = 0;
    ContentRecord record;
    std::vector<size_t> runStarts;  // the first entry of each run, in order
  };

  StoredFileReader(const DataFile& data, ThreadPlan& threads);
  ~StoredFileReader();
  StoredFileReader(const StoredFileReader&) = delete;
  StoredFileReader& operator=(const StoredFileReader&) = delete;

  // The record at `contentOffset`, checked against the name and size the
  // directory record expects; null with `why` when it cannot be read or is
  // damaged.
  std::unique_ptr<File> Open(int contentFd, int64_t contentOffset, const std::wstring& name,
                             int64_t size, std::wstring* why);
  // Before a file is let go of: nothing kept or being checked refers to it
  // afterwards.
  void Close(const File& file);

  // Copies up to `length` bytes of `file` from `offset`: the number copied
  // (0 at the end), or -1 when a block among them is damaged or cannot be
  // read, with its position in `damagedAt`; never a part of the stretch, as
  // a short read would be taken for the end of the file.
  int64_t Read(const File& file, int64_t offset, uint8_t* buffer, int64_t length,
               int64_t* damagedAt);

 private:
  static constexpr size_t kKeptRuns = 6;
  struct KeptRun {
    const File* file;
    size_t index;  // among the file's runs
    uint64_t ticket = 0;
    PieceRestore::Run run;
  };
  // The run checked, waiting for it when it is checked ahead; null for a
  // run past the end.
  const PieceRestore::Run* CheckedRun(const File& file, size_t index);
  KeptRun* Find(const File& file, size_t index);
  KeptRun& Start(const File& file, size_t index, bool ahead);

  // Waits for a run checked ahead, then lets it go; its bytes serve the
  // next run.
  void Drop(std::list<KeptRun>::iterator kept);

  const DataFile& data_;
  PieceRestore pieces_;
  std::list<KeptRun> kept_;  // the most recently used first
  std::vector<uint8_t> spare_;
};

}  // namespace vaultline
