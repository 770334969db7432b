#include "dialogs/SourcePath.h"

#include <filesystem>
#include <system_error>

#include "vaultline/Path.h"
#include "vaultline/Text.h"

namespace platform = vaultline::platform;

std::wstring WithoutTrailingSeparator(std::wstring path) {
  if (path.size() > 1 && path.back() == platform::kSeparator) path.pop_back();
  return path;
}

bool SourceExists(const std::wstring& path) {
  if (path.empty() || !platform::PathExists(path)) return false;
  std::wstring asFolder = path;
  if (asFolder.back() != platform::kSeparator) asFolder += platform::kSeparator;
  if (platform::DeviceRootOf(platform::FullPath(asFolder)) != platform::FullPath(asFolder)) {
    return true;
  }
  // A drive root counts only when something is in it (a mount point not in use).
  std::error_code error;
  const std::filesystem::directory_iterator entries(platform::EncodeName(path), error);
  return !error && entries != std::filesystem::directory_iterator();
}

std::wstring NameFromPath(const std::wstring& path) {
  const size_t last = path.rfind(platform::kSeparator);
  if (last == std::wstring::npos || last + 1 == path.size()) return path;
  return path.substr(last + 1);
}
