#include "catalogue/PathJoin.h"

#include "platform/Path.h"

namespace vaultline {

std::wstring JoinPath(const std::wstring& base, const std::wstring& path) {
  if (base.empty()) return path;
  std::wstring joined = base;
  if (joined.back() == platform::kSeparator) joined.pop_back();
  const size_t skip = !path.empty() && path.front() == platform::kSeparator ? 1 : 0;
  if (path.size() > skip) {
    joined.push_back(platform::kSeparator);
    joined.append(path, skip, std::wstring::npos);
  }
  return joined.empty() ? base : joined;
}

std::wstring FolderOfPath(const std::wstring& path) {
  const size_t separator = path.rfind(platform::kSeparator);
  if (separator == std::wstring::npos) return platform::CurrentDirectory();
  return separator == 0 ? std::wstring(platform::kSeparatorText) : path.substr(0, separator);
}

}  // namespace vaultline
