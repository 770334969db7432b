#include "core/WholeFile.h"

#include <cerrno>

#include "platform/File.h"
#include "platform/FileSystem.h"

namespace vaultline {

bool ReadWholeFile(const std::wstring& path, int64_t limit, std::string* bytes) {
  int fd = platform::OpenFile(path, platform::OpenMode::kRead);
  if (fd < 0) return false;
  int64_t size = platform::FileSizeOf(fd);
  bool ok = size >= 0 && size <= limit;
  if (ok) {
    bytes->assign(static_cast<size_t>(size), '\0');
    ok = platform::ReadFile(fd, bytes->data(), bytes->size()) == size;
  }
  platform::CloseFile(fd);
  return ok;
}

bool WriteSyncedFile(const std::wstring& path, const std::string& bytes) {
  int fd = platform::OpenFile(path, platform::OpenMode::kCreateTruncate);
  if (fd < 0) return false;
  bool ok = platform::WriteFile(fd, bytes.data(), bytes.size()) && platform::SyncFile(fd);
  ok = platform::CloseFile(fd) && ok;
  if (!ok) {
    const int error = platform::LastError();
    platform::DeleteFile(path);
    errno = error;
  }
  return ok;
}

}  // namespace vaultline
