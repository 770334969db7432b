#include "core/SelectionLock.h"

#include "platform/File.h"

namespace vaultline {

SelectionLock::Result SelectionLock::Acquire(const std::wstring& location) {
  if (IsHeld()) return Result::kHeld;
  bool inUse = false;
  fd_ = platform::LockFileExclusive(PathFor(location), &inUse);
  if (fd_ >= 0) return Result::kHeld;
  return inUse ? Result::kInUse : Result::kUnavailable;
}

void SelectionLock::Release() {
  if (fd_ < 0) return;
  platform::UnlockFile(fd_);
  fd_ = -1;
}

}  // namespace vaultline
