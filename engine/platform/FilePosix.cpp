// Large-file offsets even where off_t would otherwise be 32 bits.
#define _FILE_OFFSET_BITS 64

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/File.h"
#include "platform/FileOperationHook.h"
#include "platform/OsPath.h"
#include "platform/Text.h"
#include "platform/WholeTransfer.h"

namespace vaultline::platform {
namespace {

static_assert(sizeof(off_t) == 8, "file offsets must be 64-bit");

void CloseKeepingErrno(int fd) {
  const int savedError = errno;
  ::close(fd);
  errno = savedError;
}

}  // namespace

int OpenFileUnobserved(std::wstring_view path, OpenMode mode, int* error) {
  const std::string encoded = OsPath(path);
  int fd = -1;
  switch (mode) {
    case OpenMode::kRead:
      // Non-blocking so that a fifo cannot hang the open; cleared below.
      fd = ::open(encoded.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
      break;
    case OpenMode::kReadWriteStore:
      fd = ::open(encoded.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
      break;
    case OpenMode::kCreateTruncate:
    case OpenMode::kCreateNew:
    case OpenMode::kCreatePrivate:
    case OpenMode::kCreateNewPrivate: {
      const bool onlyNew = mode == OpenMode::kCreateNew || mode == OpenMode::kCreateNewPrivate;
      const bool isPrivate =
          mode == OpenMode::kCreatePrivate || mode == OpenMode::kCreateNewPrivate;
      fd = ::open(encoded.c_str(),
                  O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (onlyNew ? O_EXCL : O_TRUNC),
                  isPrivate ? 0600 : 0666);
      // A file that was there keeps its mode through open, and the umask may
      // take from a new one; set it before anything is written.
      if (isPrivate && fd >= 0 && ::fchmod(fd, 0600) != 0) {
        CloseKeepingErrno(fd);
        fd = -1;
      }
      break;
    }
  }
  if (fd >= 0 && mode == OpenMode::kRead) {
    struct stat info;
    // A folder opens for reading on Linux but not on Windows; refuse it here.
    if (::fstat(fd, &info) != 0) {
      CloseKeepingErrno(fd);
      fd = -1;
    } else if (S_ISDIR(info.st_mode)) {
      ::close(fd);
      errno = EISDIR;
      fd = -1;
    } else if (!S_ISREG(info.st_mode)) {
      // Reads of a regular file never block, flag or not: only other kinds
      // are worth two more calls.
      const int flags = ::fcntl(fd, F_GETFL);
      if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
  }
  if (fd < 0 && error != nullptr) *error = errno;
  return fd;
}

int OpenFile(std::wstring_view path, OpenMode mode, int* error) {
  FileOperationHook* hook = InstalledFileOperationHook();
  if (hook == nullptr) return OpenFileUnobserved(path, mode, error);
  FileOperation operation{FileOperationKind::kOpen, path, {}, mode};
  if (!FileOperationAllowed(hook, operation)) {
    if (error != nullptr) *error = errno;
    return -1;
  }
  operation.fd = OpenFileUnobserved(path, mode, error);
  if (operation.fd >= 0) hook->After(operation);
  return operation.fd;
}

bool CloseFile(int fd) {
  FileOperationHook* hook = InstalledFileOperationHook();
  if (hook == nullptr) return ::close(fd) == 0;
  // A descriptor is gone even when close reports an error, or the hook
  // fails it (a write the system reported only then).
  const FileOperation operation{FileOperationKind::kClose, {}, {}, OpenMode::kRead, fd};
  const int refused = hook->Before(operation);
  const bool closed = ::close(fd) == 0;
  hook->After(operation);
  if (refused != 0) errno = refused;
  return closed && refused == 0;
}

int64_t ReadFile(int fd, void* buffer, size_t length) {
  auto* out = static_cast<char*>(buffer);
  return TransferWhole(TransferKind::kRead, length,
                       [&](size_t done) { return ::read(fd, out + done, length - done); });
}

int64_t ReadFileAt(int fd, void* buffer, size_t length, int64_t offset) {
  auto* out = static_cast<char*>(buffer);
  return TransferWhole(TransferKind::kRead, length, [&](size_t done) {
    return ::pread(fd, out + done, length - done,
                   static_cast<off_t>(offset) + static_cast<off_t>(done));
  });
}

namespace {

// From `offset` on, or at the descriptor's position when it is negative.
bool WriteAll(int fd, const void* buffer, size_t length, int64_t offset = -1) {
  const auto* in = static_cast<const char*>(buffer);
  return TransferWhole(TransferKind::kWrite, length, [&](size_t done) {
           return offset < 0 ? ::write(fd, in + done, length - done)
                             : ::pwrite(fd, in + done, length - done,
                                        static_cast<off_t>(offset) + static_cast<off_t>(done));
         }) >= 0;
}

}  // namespace

bool WriteFile(int fd, const void* buffer, size_t length) {
  FileOperationHook* hook = InstalledFileOperationHook();
  if (hook == nullptr) return WriteAll(fd, buffer, length);
  const WritePiece piece{buffer, length};
  return Observed(hook,
                  {FileOperationKind::kWrite, {}, {}, OpenMode::kRead, fd, TellFile(fd), &piece, 1},
                  [&] { return WriteAll(fd, buffer, length); });
}

bool WriteFileAt(int fd, const void* buffer, size_t length, int64_t offset) {
  FileOperationHook* hook = InstalledFileOperationHook();
  if (hook == nullptr) return WriteAll(fd, buffer, length, offset);
  const WritePiece piece{buffer, length};
  return Observed(hook, {FileOperationKind::kWrite, {}, {}, OpenMode::kRead, fd, offset, &piece, 1},
                  [&] { return WriteAll(fd, buffer, length, offset); });
}

int64_t SeekFile(int fd, int64_t offset, SeekFrom from) {
  int whence = SEEK_SET;
  if (from == SeekFrom::kCurrent) whence = SEEK_CUR;
  if (from == SeekFrom::kEnd) whence = SEEK_END;
  return ::lseek(fd, static_cast<off_t>(offset), whence);
}

int64_t TellFile(int fd) {
  return ::lseek(fd, 0, SEEK_CUR);
}

int64_t FileSizeOf(int fd) {
  struct stat info;
  if (::fstat(fd, &info) != 0) return -1;
  return info.st_size;
}

bool TruncateFile(int fd, int64_t length) {
  auto truncate = [&] { return ::ftruncate(fd, static_cast<off_t>(length)) == 0; };
  FileOperationHook* hook = InstalledFileOperationHook();
  if (hook == nullptr) return truncate();
  return Observed(hook, {FileOperationKind::kTruncate, {}, {}, OpenMode::kRead, fd, length},
                  truncate);
}

bool FindDataExtent(int fd, int64_t offset, int64_t* dataStart, int64_t* holeStart) {
  const off_t data = ::lseek(fd, static_cast<off_t>(offset), SEEK_DATA);
  off_t hole = data;
  if (data >= 0) hole = ::lseek(fd, data, SEEK_HOLE);
  // Nothing but a hole up to the end, or the offset lies past it.
  if (data < 0 && errno == ENXIO) hole = ::lseek(fd, 0, SEEK_END);
  const int error = errno;
  if (::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0) return false;
  if (data < 0 && error == ENXIO && hole >= 0) {
    *dataStart = -1;
    *holeStart = hole;
    return true;
  }
  if (data < 0 || hole < 0) return false;
  *dataStart = data;
  *holeStart = hole;
  return true;
}

bool EndFileAtPosition(int fd) {
  const off_t position = ::lseek(fd, 0, SEEK_CUR);
  struct stat info;
  if (position < 0 || ::fstat(fd, &info) != 0) return false;
  return info.st_size >= position || TruncateFile(fd, position);
}

bool SyncFile(int fd) {
  auto sync = [&] { return ::fsync(fd) == 0; };
  FileOperationHook* hook = InstalledFileOperationHook();
  if (hook == nullptr) return sync();
  return Observed(hook, {FileOperationKind::kSync, {}, {}, OpenMode::kRead, fd}, sync);
}

void StartWriteBack(int fd, int64_t offset, int64_t length) {
  // A hint: a failure here shows again at the sync.
  const int saved = errno;
  ::sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE);
  errno = saved;
}

int LastError() {
  return errno;
}

namespace {

int LockFileWithoutWaiting(std::wstring_view path, int operation, bool* inUse) {
  if (inUse != nullptr) *inUse = false;
  const int fd = ::open(OsPath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return -1;
  while (::flock(fd, operation | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK && inUse != nullptr) *inUse = true;
    CloseKeepingErrno(fd);
    return -1;
  }
  return fd;
}

}  // namespace

int LockFileExclusive(std::wstring_view path, bool* inUse) {
  return LockFileWithoutWaiting(path, LOCK_EX, inUse);
}

int LockFileShared(std::wstring_view path, bool* inUse) {
  return LockFileWithoutWaiting(path, LOCK_SH, inUse);
}

int LockFolderWaiting(std::wstring_view path) {
  const int fd = ::open(OsPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    CloseKeepingErrno(fd);
    return -1;
  }
  return fd;
}

void UnlockFile(int fd) {
  if (fd < 0) return;
  ::flock(fd, LOCK_UN);
  ::close(fd);
}

}  // namespace vaultline::platform
