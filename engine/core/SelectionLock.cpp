#include "core/SelectionLock.h"

#include "platform/File.h"
#include "platform/Path.h"

namespace vaultline {

std::wstring SelectionLock::PathFor(const std::wstring& location) {
  size_t separator = location.rfind(platform::kSeparator);
  return (separator == std::wstring::npos ? std::wstring() : location.substr(0, separator + 1)) +
         L"lock";
}

SelectionLock::Result SelectionLock::Acquire(const std::wstring& location) {
  return Take(location, platform::LockFileExclusive);
}

SelectionLock::Result SelectionLock::AcquireShared(const std::wstring& location) {
  return Take(location, platform::LockFileShared);
}

SelectionLock::Result SelectionLock::Take(const std::wstring& location,
                                          int (*lock)(std::wstring_view, bool*)) {
  if (IsHeld()) return Result::kHeld;
  bool inUse = false;
  fd_ = lock(PathFor(location), &inUse);
  if (fd_ >= 0) return Result::kHeld;
  return inUse ? Result::kInUse : Result::kUnavailable;
}

void SelectionLock::Release() {
  if (fd_ < 0) return;
  platform::UnlockFile(fd_);
  fd_ = -1;
}

}  // namespace vaultline
