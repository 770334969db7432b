// Low-level file input and output on descriptors (the C runtime's _open,
// _read, _write, _lseeki64): 64-bit offsets, binary only, close-on-exec.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vaultline::platform {

enum class OpenMode {
  kRead,              // read only, must exist; a folder is refused (EISDIR)
  kReadWriteStore,    // read-write, created 0600 if missing (store files)
  kCreateTruncate,    // read-write, created with the process default mode or
                      // truncated; never follows a link at the path
  kCreatePrivate,     // as kCreateTruncate, but created or left at 0600 whatever
                      // the umask, so that no one else can read what is written
  kCreateNew,         // as kCreateTruncate, but only where nothing is at the path
                      // (EEXIST otherwise, for a link too)
  kCreateNewPrivate,  // as kCreatePrivate, where nothing is at the path
};

// Returns a descriptor, or -1 with `error` set to errno.
int OpenFile(std::wstring_view path, OpenMode mode, int* error = nullptr);
bool CloseFile(int fd);
// Reads up to `length` bytes, retrying interrupted and partial reads until
// `length` or end of file; returns bytes read, or -1 on error (errno kept).
int64_t ReadFile(int fd, void* buffer, size_t length);
// As ReadFile, at `offset` and without moving the descriptor's position
// (pread), so that reads of scattered records cost no seek.
int64_t ReadFileAt(int fd, void* buffer, size_t length, int64_t offset);
// Writes all `length` bytes; false on a failed or short write (errno kept).
bool WriteFile(int fd, const void* buffer, size_t length);
// As WriteFile, at `offset` and without moving the descriptor's position
// (pwrite), so that another thread may write while this one reads.
bool WriteFileAt(int fd, const void* buffer, size_t length, int64_t offset);
enum class SeekFrom { kStart, kCurrent, kEnd };
// New position, or -1.
int64_t SeekFile(int fd, int64_t offset, SeekFrom from);
int64_t TellFile(int fd);
int64_t FileSizeOf(int fd);
bool TruncateFile(int fd, int64_t length);
// The data of a file at or after `offset` (SEEK_DATA, SEEK_HOLE): where it
// begins and where the hole behind it begins (the end of the file when
// none); `dataStart` -1 when only a hole follows, up to `holeStart`, the
// end of the file. The position is left as it was. False when the file
// system cannot tell.
bool FindDataExtent(int fd, int64_t offset, int64_t* dataStart, int64_t* holeStart);
// Extends the file to the current position when it ends before it (a
// trailing hole written by seeking past the end).
bool EndFileAtPosition(int fd);
bool SyncFile(int fd);
// Starts writing the range out to the disk and returns without waiting, so
// that a later SyncFile finds less to wait for. Promises nothing: only
// SyncFile makes bytes durable.
void StartWriteBack(int fd, int64_t offset, int64_t length);
// StartWriteBack of a file as it grows, a megabyte at a time: a backup's
// catalogue files would otherwise wait whole in the cache for the sync that
// publishes it, and the backup would wait for them there.
class GrowingFileWriteBack {
 public:
  static constexpr int64_t kStep = 1 << 20;
  GrowingFileWriteBack() = default;
  // From `start` on, `step` bytes at a time (0: at each growth).
  GrowingFileWriteBack(int64_t start, int64_t step) : started_(start), step_(step) {}
  // The file now ends at `end`.
  void Grown(int fd, int64_t end) {
    if (end <= started_ || end - started_ < step_) return;
    StartWriteBack(fd, started_, end - started_);
    started_ = end;
  }
  // The file was cut back to `end`: what is written there again is new.
  void CutBack(int64_t end) {
    if (end < started_) started_ = end;
  }

 private:
  int64_t started_ = 0;  // where the next writeback begins
  int64_t step_ = kStep;
};
// The errno of the last failed call on this thread.
int LastError();

// Exclusive advisory lock (flock) on a lock file, created if missing. Returns
// a descriptor holding the lock, or -1 when another process holds it
// (`inUse` true) or the file cannot be opened (`inUse` false).
int LockFileExclusive(std::wstring_view path, bool* inUse);
// Shared lock of the same file: any number of readers hold it together, and
// none while an exclusive holder has it.
int LockFileShared(std::wstring_view path, bool* inUse);
// Exclusive advisory lock (flock) on a folder, waiting for any other holder.
// Returns a descriptor holding the lock, or -1 when the folder cannot be
// opened.
int LockFolderWaiting(std::wstring_view path);
void UnlockFile(int fd);

}  // namespace vaultline::platform
