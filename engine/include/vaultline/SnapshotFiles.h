// A selection's snapshots opened as trees of files, for a program that shows
// them as folders (the command line's mount): every item with what its
// record holds, and the contents of stored files read a stretch at a time,
// every block checked before a byte of it is handed out.
#pragma once

#include <cstdint>

#include "vaultline/StoredItemKind.h"
#include "vaultline/Vaultline.h"

struct SnapshotFileItem {
  const wchar_t* name;  // in its folder; the top item's is the source's name
  int32_t parent;       // its folder among the snapshot's items; -1 for the top item
  StoredItemKind kind;
  // The twelve mode bits as recorded; for a record without them 0755 for a
  // folder, 0644 for a file, less the write bits when it is read-only.
  uint32_t mode;
  int32_t hasOwner;  // 0 when the record names no owner
  uint32_t owner;    // on this computer: the id the recorded name has here
  uint32_t group;
  int64_t modified;  // seconds since 1970 UTC
  uint32_t nanoseconds;
  int64_t size;  // bytes; a link's target length; 0 for a folder
  // The same value for each name of a file with several names; 0 for none.
  uint64_t linkGroup;
  uint32_t deviceMajor;
  uint32_t deviceMinor;
};

// One thread at a time.
class VAULTLINE_API ISnapshotFiles {
 public:
  virtual ~ISnapshotFiles();

  // The snapshots as GetSnapshots listed them when these were opened.
  virtual int GetSnapshotCount() = 0;
  // Seconds since 1970 UTC; -1 for a snapshot whose entry is damaged.
  virtual int64_t GetSnapshotTime(int snapshot) = 0;
  // The items of `snapshot`, each folder before the items in it, read on the
  // first call and valid while these are open; their number. `whole` is
  // false when the snapshot could not be read whole (GetLastError says why);
  // the items then are those that could be read.
  virtual int GetItems(int snapshot, const SnapshotFileItem** items, bool* whole) = 0;
  // A link's target (a name, as GetItems gives names); null when it cannot
  // be read (GetLastError says why).
  virtual const wchar_t* GetLinkTarget(int snapshot, int item) = 0;
  // Opens a file item for ReadFile: a handle, or -1 when its record is
  // damaged or cannot be read (GetLastError says why).
  virtual int OpenFile(int snapshot, int item) = 0;
  // Up to `length` bytes from `offset`: the number read (0 at the end), or
  // -1 when a block they need is damaged or cannot be read (GetLastError
  // says why). Never a byte that was not checked.
  virtual int64_t ReadFile(int handle, int64_t offset, void* buffer, int64_t length) = 0;
  virtual void CloseFile(int handle) = 0;
  // The last failure, naming the item: "The stored contents of PATH are
  // damaged: WHAT".
  virtual const wchar_t* GetLastError() = 0;

 protected:
  ISnapshotFiles();
};

enum SnapshotFilesFailure : int {
  kSnapshotFilesOpened = 0,
  kSnapshotFilesInUse = 1,       // a backup or another change of the selection runs
  kSnapshotFilesUnreadable = 2,  // no such selection, or its files cannot be read
};

// Opens the snapshots of selection `profile` for reading. They hold the
// selection's lock as a reader until CloseSnapshotFiles: other readers go on,
// while a backup or any other change of the selection is refused as in use
// by another process. Null, with `failure` saying why, when they cannot be
// opened.
VAULTLINE_API ISnapshotFiles* OpenSnapshotFiles(IVaultline* engine, unsigned profile, int* failure);
// Closes what OpenSnapshotFiles opened and frees the lock; null does nothing.
VAULTLINE_API void CloseSnapshotFiles(ISnapshotFiles* files);
