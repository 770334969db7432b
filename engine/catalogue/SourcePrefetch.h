// Files a snapshot is about to store, opened and read into the system's
// cache on a thread of its own while the files before them are stored.
// Files that have dropped out of the cache (the usual case for a first
// backup) then rarely hold the store up while it waits for the disk, and
// the store's thread is spared their opening; small files are read whole,
// which spares it their reads as well. Without helper threads nothing is
// read ahead.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "util/SourceFile.h"

namespace vaultline {

class ThreadPlan;

class SourcePrefetch {
 public:
  // Opens on the plan's kSourceOpening helper.
  explicit SourcePrefetch(ThreadPlan& threads);
  ~SourcePrefetch();  // waits for the helper, closes what was opened and not claimed
  SourcePrefetch(const SourcePrefetch&) = delete;
  SourcePrefetch& operator=(const SourcePrefetch&) = delete;

  // The next files to be stored, in the order they will be.
  void Ahead(std::vector<std::wstring> paths);
  // `path` as it was opened ahead (a regular file), the caller's to close;
  // not opened otherwise. Files handed over before it and not claimed are
  // closed: they are passed.
  SourceFile Claim(const std::wstring& path);

 private:
  struct Opened {
    uint64_t number;  // in the order handed over, from 1
    SourceFile file;
  };
  // On the thread: the files numbered from `first`.
  void OpenAhead(uint64_t first, const std::vector<std::wstring>& paths);
  // Reads the file whole when it is small and the bytes held allow it.
  void ReadSmall(SourceFile* file);

  // The caller's own: the files handed over and not yet claimed or passed.
  std::deque<std::pair<uint64_t, std::wstring>> handed_;
  uint64_t handedCount_ = 0;

  std::mutex mutex_;
  std::deque<Opened> opened_;  // in the order handed over
  // Files numbered up to this one were claimed or passed: not worth opening.
  // A claim that finds its file not opened yet moves it on, so that the
  // thread skips ahead of the store instead of trailing it.
  uint64_t passed_ = 0;
  size_t heldBytes_ = 0;  // of the files read whole and not claimed
  ThreadPlan& threads_;
};

}  // namespace vaultline
