// The next files of a restore read and checked ahead on the helper thread.
// Most files of a home folder are small: their record and their one run of
// blocks are read and checked in less time than writing them takes, and
// within one file there is nothing to overlap that with. So the caller names
// each file as soon as it knows it will restore it, the helper reads its
// record and checks its blocks, and the caller, when it gets there, only
// writes. What is checked, and what damage is reported, do not change.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <system_error>

#include "blockstore/ContentRecord.h"
#include "blockstore/PieceRestore.h"

namespace vaultline {

class WorkerThread;

class RestoreAhead {
 public:
  // Files named and not yet taken, at most; a file's run is at most a
  // megabyte, so this bounds the memory held.
  static constexpr size_t kFiles = 4;

  struct File {
    int contentFd = -1;
    int64_t contentOffset = 0;
    std::wstring name;
    int64_t size = 0;
    int64_t dataEnd = 0;
    ContentRecord record;
    ContentRecord::Check check = ContentRecord::Check::kSound;
    std::wstring why;
    std::error_code readError;  // when the record could not be read
    bool runChecked = false;    // the record names one run, and `run` holds it checked
    PieceRestore::Run run;
    uint64_t ticket = 0;
  };

  RestoreAhead(const PieceRestore& pieces, WorkerThread& worker)
      : pieces_(pieces), worker_(worker) {}
  ~RestoreAhead() { Clear(); }
  RestoreAhead(const RestoreAhead&) = delete;
  RestoreAhead& operator=(const RestoreAhead&) = delete;

  // A file to be restored after those named before it; `dataEnd` is the
  // data file's logical end. When kFiles wait, the oldest is forgotten.
  void Expect(int contentFd, int64_t contentOffset, const std::wstring& name, int64_t size,
              int64_t dataEnd);
  // The file, read and checked (waiting for that if need be), when it was
  // named; the files named before it are forgotten. Null when it was not
  // named. It stays valid until the next call.
  File* Take(int contentFd, int64_t contentOffset, const std::wstring& name, int64_t size);
  // Forgets every file named, once none is being read.
  void Clear();

 private:
  // On the helper.
  static void Prepare(File& file, const PieceRestore& pieces);
  void DropOldest();

  const PieceRestore& pieces_;
  WorkerThread& worker_;
  std::array<File, kFiles> files_;
  size_t first_ = 0;
  size_t count_ = 0;
};

}  // namespace vaultline
