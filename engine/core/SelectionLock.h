// Lock of one Backup Selection across processes (the desktop program and
// command lines), held while its catalogue is open, so that two processes
// never append to the same store at once. A process that only reads the
// store's files and writes none of them (a mounted selection) holds it
// shared: readers hold it together, and keep every writer out.
#pragma once

#include <string>
#include <string_view>

namespace vaultline {

class SelectionLock {
 public:
  SelectionLock() = default;
  ~SelectionLock() { Release(); }
  SelectionLock(const SelectionLock&) = delete;
  SelectionLock& operator=(const SelectionLock&) = delete;

  // The lock file beside the selection's files: "lock" in the folder of its
  // location.
  static std::wstring PathFor(const std::wstring& location);

  enum class Result { kHeld, kInUse, kUnavailable };
  // Takes the lock of the selection at `location`. kInUse: another holder has
  // it. kUnavailable: the lock file cannot be created (a missing folder or a
  // read-only drive), so there is nothing another process could hold either.
  Result Acquire(const std::wstring& location);
  // As Acquire, shared with other readers.
  Result AcquireShared(const std::wstring& location);
  void Release();
  bool IsHeld() const { return fd_ >= 0; }

 private:
  Result Take(const std::wstring& location, int (*lock)(std::wstring_view, bool*));

  int fd_ = -1;
};

}  // namespace vaultline
