#include "catalogue/SidecarBytes.h"

#include "platform/File.h"
#include "platform/FileSystem.h"

namespace vaultline {

std::vector<uint8_t> ReadSidecar(const std::wstring& path, int64_t limit) {
  std::vector<uint8_t> bytes;
  const int fd = platform::OpenFile(path, platform::OpenMode::kRead);
  if (fd < 0) return bytes;
  const int64_t size = platform::FileSizeOf(fd);
  if (size > 0 && size <= limit) {
    bytes.resize(static_cast<size_t>(size));
    if (platform::ReadFile(fd, bytes.data(), bytes.size()) != size) bytes.clear();
  }
  platform::CloseFile(fd);
  return bytes;
}

bool ReplaceSidecar(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  const std::wstring fresh = path + L".new";
  const int fd = platform::OpenFile(fresh, platform::OpenMode::kReadWriteStore);
  bool written = fd >= 0 && platform::TruncateFile(fd, 0) &&
                 (bytes.empty() || platform::WriteFile(fd, bytes.data(), bytes.size()));
  if (fd >= 0) written = platform::CloseFile(fd) && written;
  if (!written || !platform::RenameFile(fresh, path)) {
    platform::DeleteFile(fresh);
    return false;
  }
  return true;
}

}  // namespace vaultline
