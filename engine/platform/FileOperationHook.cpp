#include "platform/FileOperationHook.h"

#include <atomic>
#include <cerrno>

namespace vaultline::platform {
namespace {

std::atomic<FileOperationHook*> installed{nullptr};

}  // namespace

void SetFileOperationHook(FileOperationHook* hook) {
  installed.store(hook, std::memory_order_release);
}

FileOperationHook* InstalledFileOperationHook() {
  return installed.load(std::memory_order_acquire);
}

bool FileOperationAllowed(FileOperationHook* hook, const FileOperation& operation) {
  const int error = hook->Before(operation);
  if (error == 0) return true;
  errno = error;
  return false;
}

}  // namespace vaultline::platform
