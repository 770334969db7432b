// Files a snapshot is about to store, opened and read into the system's
// cache on a thread of its own while the files before them are stored.
// Files that have dropped out of the cache (the usual case for a first
// backup) then rarely hold the store up while it waits for the disk, and
// the store's thread is spared their opening. Where only one processor is
// available nothing is read ahead.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vaultline {

class WorkerThread;

class SourcePrefetch {
 public:
  SourcePrefetch();
  ~SourcePrefetch();  // closes what was opened and not claimed
  SourcePrefetch(const SourcePrefetch&) = delete;
  SourcePrefetch& operator=(const SourcePrefetch&) = delete;

  // The next files to be stored, in the order they will be.
  void Ahead(std::vector<std::wstring> paths);
  // The descriptor of `path` when it was opened ahead (a regular file, at
  // its start), the caller's to close, with the size it had then; -1
  // otherwise. Files handed over before it and not claimed are closed: they
  // are passed.
  int Claim(const std::wstring& path, int64_t* size);

 private:
  struct Opened {
    std::wstring path;
    int fd;
    int64_t size;
  };
  std::mutex mutex_;
  std::deque<Opened> opened_;             // in the order handed over
  std::unique_ptr<WorkerThread> thread_;  // null on one processor
};

}  // namespace vaultline
