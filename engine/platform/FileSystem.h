// File search, attributes, times and the file system's create, rename, copy
// and delete operations (the Win32 file API).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vaultline/Path.h"

namespace vaultline::platform {

inline constexpr uint32_t kAttributeReadOnly = 0x01;
inline constexpr uint32_t kAttributeHidden = 0x02;
inline constexpr uint32_t kAttributeFolder = 0x10;

// What an item is beyond the folder attribute: a plain item is a regular file
// or a folder, as its attributes say.
enum class ItemKind : uint8_t {
  kPlain = 0,
  kSymbolicLink = 1,
  kFifo = 2,
  kSocket = 3,
  kCharacterDevice = 4,
  kBlockDevice = 5,
};

// The mode bits beside the permissions: set-user-ID, set-group-ID, sticky.
inline constexpr uint16_t kSpecialModeBits = 07000;

// What FindFirstFileW/FindNextFileW report of one entry.
struct FindData {
  std::wstring name;        // the entry's name alone
  uint32_t attributes = 0;  // folder 0x10, read-only 0x01, hidden 0x02; plain file 0
  int32_t lastWriteTime = 0;
  uint64_t size = 0;  // 0 for folders
  // What a Linux file system holds beyond the above; false for an entry not
  // described by the file system (a drive root).
  bool exact = false;
  uint16_t permissions = 0;  // rwxrwxrwx of owner, group and others
  int64_t lastWriteSeconds = 0;
  uint32_t lastWriteNanoseconds = 0;
  ItemKind kind = ItemKind::kPlain;
  uint16_t specialMode = 0;  // kSpecialModeBits of the mode
  uint32_t deviceMajor = 0;  // a device's own number
  uint32_t deviceMinor = 0;
  uint32_t ownerId = 0;
  uint32_t groupId = 0;
  // The file's identity on this computer and its number of names: items
  // with one identity and more than one name are hard links of each other.
  uint64_t fileSystemId = 0;
  uint64_t fileId = 0;
  uint64_t linkCount = 1;
};

// Describes `path` itself, following symbolic links (a selection's source may
// be a link: the user chose it). False when it does not exist.
bool DescribePath(std::wstring_view path, FindData* data);

// Lists a folder in byte order of the names, without "." and "..". Every
// entry is described as it is, never followed: a symbolic link is a link,
// whatever it points at. Names of entries that vanished or could not be
// described go to `undescribed` (when given). Both are emptied first. False
// when the folder cannot be listed.
bool ListFolder(std::wstring_view folder, std::vector<FindData>* entries,
                std::vector<std::wstring>* undescribed = nullptr);

// PathExists and IsFolder are exported (vaultline/Path.h).
bool IsSymbolicLink(std::wstring_view path);

// Attributes as above; false when the path does not exist.
bool GetAttributes(std::wstring_view path, uint32_t* attributes);
// Read-only on: clears the owner's write permission; off: sets it. Does not
// follow a link at `path` (fails on one). Fails (ENOTSUP) when the file system
// ignores the change, as exFAT through FUSE does.
bool SetReadOnly(std::wstring_view path, bool readOnly);
// Last-write and last-access time (utimensat, not following links).
bool SetFileTime(std::wstring_view path, int64_t seconds, uint32_t nanoseconds = 0);
// Sets the permission bits (rwxrwxrwx) to `permissions`; never set-user-ID,
// set-group-ID or sticky. Does not follow a link at `path` (fails on one);
// fails (ENOTSUP) when the file system keeps another mode.
bool SetPermissions(std::wstring_view path, uint16_t permissions);
// Sets all twelve mode bits: the permissions and kSpecialModeBits. Does not
// follow a link at `path` (fails on one); fails (ENOTSUP) when the file
// system keeps other permission bits.
bool SetMode(std::wstring_view path, uint16_t mode);
bool SetOpenFileMode(int fd, uint16_t mode);
// A second name for the file at `existing`; fails when `path` exists.
bool CreateHardLink(std::wstring_view existing, std::wstring_view path, int* error = nullptr);
// As SetReadOnly and SetFileTime, for a file open as `fd`:
// no path is looked up again, so they apply to the very file written.
bool SetOpenFileReadOnly(int fd, bool readOnly);
bool SetOpenFileTime(int fd, int64_t seconds, uint32_t nanoseconds = 0);
// Size of a regular file; false when missing or a folder.
bool GetFileSize64(std::wstring_view path, uint64_t* size);
// Opens a regular file for reading without waiting on what is not one, and
// never through a link at `path`.
// Returns the descriptor (the caller's to close) and sets `size`, or
// returns -1 for what cannot be opened or is not a regular file.
int OpenRegularFile(std::wstring_view path, int64_t* size);
// Asks the system to read `length` bytes of the file from `offset` (0: to
// its end) into its cache for a read soon, without waiting for the disk.
// Systems read at most their read-ahead's worth for one call.
void PrefetchFile(int fd, int64_t offset = 0, int64_t length = 0);

// Folder creation: `privateMode` gives 0700 (the store's folders), otherwise
// the process default. `error` receives errno on failure (EEXIST when it
// exists already).
bool CreateFolder(std::wstring_view path, bool privateMode, int* error = nullptr);
bool RemoveEmptyFolder(std::wstring_view path);
// Deleting a read-only file fails, as on Windows.
bool DeleteFile(std::wstring_view path, int* error = nullptr);
// Replaces an existing file at `to` in one step (rename(2)), unlike MoveFileW.
bool RenameFile(std::wstring_view from, std::wstring_view to, int* error = nullptr);
// Copies contents; with failIfExists an existing target is not overwritten.
// Never writes through a link at `to`, and refuses to copy a file onto itself.
bool CopyFile(std::wstring_view from, std::wstring_view to, bool failIfExists);
// fsync of a folder, so that new entries in it are durable. File systems that
// cannot sync a folder (exFAT) count as success.
bool SyncFolder(std::wstring_view path);

}  // namespace vaultline::platform
