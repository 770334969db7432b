#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <string>

#include "platform/File.h"
#include "platform/FileOperationHook.h"
#include "platform/FileSystem.h"
#include "platform/OsPath.h"
#include "platform/Path.h"
#include "platform/Text.h"

namespace vaultline::platform {
namespace {

void SetError(int* error, int value) {
  if (error != nullptr) *error = value;
}

// Runs `call` as the installed hook, if any, observes `operation`; a failure
// under a hook leaves in `error` what the refusal or the call set errno to.
template <typename Call>
bool RunObserved(const FileOperation& operation, int* error, Call call) {
  FileOperationHook* hook = InstalledFileOperationHook();
  if (hook == nullptr) return call();
  if (Observed(hook, operation, call)) return true;
  SetError(error, errno);
  return false;
}

// The name a file search reports for a path: its last component.
std::string LastComponent(const std::string& path) {
  size_t end = path.size();
  while (end > 1 && path[end - 1] == '/') --end;
  const size_t slash = path.rfind('/', end - 1);
  return slash == std::string::npos ? path.substr(0, end) : path.substr(slash + 1, end - slash - 1);
}

uint32_t AttributesOf(const struct stat& info, std::string_view name) {
  uint32_t attributes = 0;
  if (S_ISDIR(info.st_mode)) attributes |= kAttributeFolder;
  if ((info.st_mode & S_IWUSR) == 0) attributes |= kAttributeReadOnly;
  if (!name.empty() && name.front() == '.' && name != "." && name != "..") {
    attributes |= kAttributeHidden;
  }
  return attributes;
}

ItemKind KindOf(mode_t mode) {
  if (S_ISLNK(mode)) return ItemKind::kSymbolicLink;
  if (S_ISFIFO(mode)) return ItemKind::kFifo;
  if (S_ISSOCK(mode)) return ItemKind::kSocket;
  if (S_ISCHR(mode)) return ItemKind::kCharacterDevice;
  if (S_ISBLK(mode)) return ItemKind::kBlockDevice;
  return ItemKind::kPlain;
}

void Describe(const struct stat& info, std::string_view name, FindData* data) {
  data->name = DecodeName(name);
  data->attributes = AttributesOf(info, name);
  data->lastWriteTime = static_cast<int32_t>(info.st_mtime);
  data->kind = KindOf(info.st_mode);
  // A link's size is the length of its target; other special files hold
  // nothing a backup reads.
  const bool sized = S_ISREG(info.st_mode) || S_ISLNK(info.st_mode);
  data->size = sized ? static_cast<uint64_t>(info.st_size) : 0;
  data->exact = true;
  data->permissions = static_cast<uint16_t>(info.st_mode & 0777);
  data->lastWriteSeconds = static_cast<int64_t>(info.st_mtim.tv_sec);
  data->lastWriteNanoseconds = static_cast<uint32_t>(info.st_mtim.tv_nsec);
  data->specialMode = static_cast<uint16_t>(info.st_mode & kSpecialModeBits);
  const bool device = S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode);
  data->deviceMajor = device ? major(info.st_rdev) : 0;
  data->deviceMinor = device ? minor(info.st_rdev) : 0;
  data->ownerId = info.st_uid;
  data->groupId = info.st_gid;
  data->fileSystemId = static_cast<uint64_t>(info.st_dev);
  data->fileId = static_cast<uint64_t>(info.st_ino);
  data->linkCount = static_cast<uint64_t>(info.st_nlink);
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

bool DescribePath(std::wstring_view path, FindData* data) {
  const std::wstring full = FullPath(path);
  if (full.empty()) return false;
  const std::string encoded = OsPath(full);
  struct stat info;
  if (::stat(encoded.c_str(), &info) != 0) return false;
  if (data != nullptr) Describe(info, LastComponent(encoded), data);
  return true;
}

bool ListFolder(std::wstring_view folder, std::vector<FindData>* entries,
                std::vector<std::wstring>* undescribed) {
  if (entries == nullptr) return false;
  entries->clear();
  if (undescribed != nullptr) undescribed->clear();
  std::unique_ptr<DIR, DirCloser> dir(::opendir(OsPath(folder).c_str()));
  if (!dir) return false;
  const int dirFd = ::dirfd(dir.get());

  std::vector<std::pair<std::string, struct stat>> found;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) {
      if (errno != 0) return false;
      break;
    }
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    struct stat info;
    if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
      if (undescribed != nullptr) undescribed->push_back(DecodeName(name));
      continue;
    }
    found.emplace_back(std::string(name), info);
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  entries->reserve(found.size());
  for (const auto& [name, info] : found) {
    FindData data;
    Describe(info, name, &data);
    entries->push_back(std::move(data));
  }
  return true;
}

bool PathExists(std::wstring_view path) {
  struct stat info;
  return ::stat(OsPath(path).c_str(), &info) == 0;
}

bool IsFolder(std::wstring_view path) {
  struct stat info;
  return ::stat(OsPath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsSymbolicLink(std::wstring_view path) {
  struct stat info;
  return ::lstat(OsPath(path).c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool GetAttributes(std::wstring_view path, uint32_t* attributes) {
  const std::wstring full = FullPath(path);
  const std::string encoded = OsPath(full);
  struct stat info;
  if (full.empty() || ::stat(encoded.c_str(), &info) != 0) return false;
  if (attributes != nullptr) *attributes = AttributesOf(info, LastComponent(encoded));
  return true;
}

namespace {

// Sets the mode that `change` makes of the one in `info` through `apply`, and
// checks through `restat` that the file system kept it: some (exFAT through
// FUSE) accept the change and keep the old mode, which is no success.
template <typename Apply, typename Restat>
bool ChangeModeFrom(const struct stat& info, mode_t (*change)(mode_t, unsigned), unsigned argument,
                    Apply apply, Restat restat) {
  const mode_t mode = change(info.st_mode & 07777, argument);
  if (mode == (info.st_mode & 07777)) return true;
  if (!apply(mode)) return false;
  struct stat now;
  if (!restat(&now)) return false;
  if ((now.st_mode & 0777) != (mode & 0777)) {
    errno = ENOTSUP;
    return false;
  }
  return true;
}

// Changes the mode of `path` (not following a link) to what `change` makes of
// it, and checks that the file system kept it.
bool ChangeMode(std::wstring_view path, mode_t (*change)(mode_t, unsigned), unsigned argument) {
  const std::string encoded = OsPath(path);
  struct stat info;
  if (::lstat(encoded.c_str(), &info) != 0) return false;
  if (S_ISLNK(info.st_mode)) {
    errno = ELOOP;
    return false;
  }
  return ChangeModeFrom(
      info, change, argument,
      [&](mode_t mode) {
        if (::fchmodat(AT_FDCWD, encoded.c_str(), mode, AT_SYMLINK_NOFOLLOW) == 0) return true;
        // Without /proc the C library cannot change a mode without
        // following; the path was no link a moment ago.
        return (errno == ENOTSUP || errno == ENOSYS) && ::chmod(encoded.c_str(), mode) == 0;
      },
      [&](struct stat* now) { return ::lstat(encoded.c_str(), now) == 0; });
}

// As ChangeMode, for an open file.
bool ChangeOpenMode(int fd, mode_t (*change)(mode_t, unsigned), unsigned argument) {
  struct stat info;
  if (::fstat(fd, &info) != 0) return false;
  return ChangeModeFrom(
      info, change, argument, [&](mode_t mode) { return ::fchmod(fd, mode) == 0; },
      [&](struct stat* now) { return ::fstat(fd, now) == 0; });
}

mode_t ReadOnlyMode(mode_t mode, unsigned readOnly) {
  return readOnly != 0 ? (mode & ~S_IWUSR) : (mode | S_IWUSR);
}

mode_t PermissionMode(mode_t, unsigned permissions) {
  return permissions & 0777;
}

mode_t FullMode(mode_t, unsigned mode) {
  return mode & 07777;
}

// Last access and last write alike.
std::array<struct timespec, 2> BothTimes(int64_t seconds, uint32_t nanoseconds) {
  struct timespec time;
  time.tv_sec = static_cast<time_t>(seconds);
  time.tv_nsec = static_cast<long>(nanoseconds);
  return {time, time};
}

}  // namespace

bool SetReadOnly(std::wstring_view path, bool readOnly) {
  return ChangeMode(path, ReadOnlyMode, readOnly ? 1 : 0);
}

bool SetPermissions(std::wstring_view path, uint16_t permissions) {
  return ChangeMode(path, PermissionMode, permissions);
}

bool SetMode(std::wstring_view path, uint16_t mode) {
  return ChangeMode(path, FullMode, mode);
}

bool SetOpenFileMode(int fd, uint16_t mode) {
  return ChangeOpenMode(fd, FullMode, mode);
}

bool CreateHardLink(std::wstring_view existing, std::wstring_view path, int* error) {
  if (::link(OsPath(existing).c_str(), OsPath(path).c_str()) == 0) return true;
  SetError(error, errno);
  return false;
}

bool SetFileTime(std::wstring_view path, int64_t seconds, uint32_t nanoseconds) {
  const std::array<struct timespec, 2> times = BothTimes(seconds, nanoseconds);
  return ::utimensat(AT_FDCWD, OsPath(path).c_str(), times.data(), AT_SYMLINK_NOFOLLOW) == 0;
}

bool SetOpenFileReadOnly(int fd, bool readOnly) {
  return ChangeOpenMode(fd, ReadOnlyMode, readOnly ? 1 : 0);
}

bool SetOpenFileTime(int fd, int64_t seconds, uint32_t nanoseconds) {
  const std::array<struct timespec, 2> times = BothTimes(seconds, nanoseconds);
  return ::futimens(fd, times.data()) == 0;
}

int OpenRegularFile(std::wstring_view path, int64_t* size) {
  // A fifo in a file's place since it was listed must not hold this up.
  // Reads of a regular file never block, so the flag may stay.
  const int fd =
      ::open(OsPath(path).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return -1;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  *size = info.st_size;
  return fd;
}

void PrefetchFile(int fd, int64_t offset, int64_t length) {
  ::posix_fadvise(fd, offset, length, POSIX_FADV_WILLNEED);
}

bool GetFileSize64(std::wstring_view path, uint64_t* size) {
  struct stat info;
  if (::stat(OsPath(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (size != nullptr) *size = static_cast<uint64_t>(info.st_size);
  return true;
}

static bool CreateFolderUnobserved(std::wstring_view path, bool privateMode, int* error) {
  if (::mkdir(OsPath(path).c_str(), privateMode ? 0700 : 0777) == 0) return true;
  SetError(error, errno);
  return false;
}

static bool RemoveEmptyFolderUnobserved(std::wstring_view path) {
  return ::rmdir(OsPath(path).c_str()) == 0;
}

static bool DeleteFileUnobserved(std::wstring_view path, int* error) {
  const std::string encoded = OsPath(path);
  struct stat info;
  if (::lstat(encoded.c_str(), &info) != 0) {
    SetError(error, errno);
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    errno = EISDIR;
    SetError(error, errno);
    return false;
  }
  if (S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) == 0) {
    errno = EACCES;
    SetError(error, errno);
    return false;
  }
  if (::unlink(encoded.c_str()) == 0) return true;
  SetError(error, errno);
  return false;
}

static bool RenameFileUnobserved(std::wstring_view from, std::wstring_view to, int* error) {
  if (::rename(OsPath(from).c_str(), OsPath(to).c_str()) == 0) return true;
  SetError(error, errno);
  return false;
}

bool CopyFile(std::wstring_view from, std::wstring_view to, bool failIfExists) {
  const int source = OpenFile(from, OpenMode::kRead);
  if (source < 0) return false;
  struct stat sourceInfo;
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
  if (failIfExists) flags |= O_EXCL;
  const int target =
      ::fstat(source, &sourceInfo) == 0 ? ::open(OsPath(to).c_str(), flags, 0666) : -1;
  if (target < 0) {
    CloseFile(source);
    return false;
  }
  struct stat targetInfo;
  bool ok = ::fstat(target, &targetInfo) == 0;
  // Truncating only now keeps a copy onto itself from destroying the file.
  if (ok && targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino) {
    errno = EINVAL;
    ok = false;
  }
  ok = ok && ::ftruncate(target, 0) == 0;
  char buffer[65536];
  while (ok) {
    const int64_t got = ReadFile(source, buffer, sizeof buffer);
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    ok = WriteFile(target, buffer, static_cast<size_t>(got));
  }
  int savedError = errno;
  CloseFile(source);
  if (::close(target) != 0 && ok) {
    ok = false;  // a delayed write error shows only here
    savedError = errno;
  }
  if (!ok && failIfExists) ::unlink(OsPath(to).c_str());
  if (!ok) errno = savedError;
  return ok;
}

static bool SyncFolderUnobserved(std::wstring_view path) {
  const int fd = ::open(OsPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  // Some file systems (exFAT through FUSE among them) cannot sync a folder.
  if (!ok && (errno == EINVAL || errno == ENOTSUP || errno == EROFS || errno == EBADF ||
              errno == ENOSYS)) {
    ok = true;
  }
  const int savedError = errno;
  ::close(fd);
  errno = savedError;
  return ok;
}

bool CreateFolder(std::wstring_view path, bool privateMode, int* error) {
  return RunObserved({FileOperationKind::kCreateFolder, path}, error,
                     [&] { return CreateFolderUnobserved(path, privateMode, error); });
}

bool RemoveEmptyFolder(std::wstring_view path) {
  return RunObserved({FileOperationKind::kRemoveFolder, path}, nullptr,
                     [&] { return RemoveEmptyFolderUnobserved(path); });
}

bool DeleteFile(std::wstring_view path, int* error) {
  return RunObserved({FileOperationKind::kDelete, path}, error,
                     [&] { return DeleteFileUnobserved(path, error); });
}

bool RenameFile(std::wstring_view from, std::wstring_view to, int* error) {
  return RunObserved({FileOperationKind::kRename, from, to}, error,
                     [&] { return RenameFileUnobserved(from, to, error); });
}

bool SyncFolder(std::wstring_view path) {
  return RunObserved({FileOperationKind::kSyncFolder, path}, nullptr,
                     [&] { return SyncFolderUnobserved(path); });
}

}  // namespace vaultline::platform
