// Files a snapshot is about to store, read into the system's cache on a
// thread of its own while the files before them are stored. Files that have
// dropped out of the cache (the usual case for a first backup) then rarely
// hold the store up while it waits for the disk. Where only one processor
// is available nothing is read ahead.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace vaultline {

class WorkerThread;

class SourcePrefetch {
 public:
  SourcePrefetch();
  ~SourcePrefetch();  // the files handed over are still asked for
  SourcePrefetch(const SourcePrefetch&) = delete;
  SourcePrefetch& operator=(const SourcePrefetch&) = delete;

  // The next files to be stored, in the order they will be.
  void Ahead(std::vector<std::wstring> paths);

 private:
  std::unique_ptr<WorkerThread> thread_;  // null on one processor
};

}  // namespace vaultline
