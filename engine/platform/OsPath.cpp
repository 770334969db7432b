#include "platform/OsPath.h"

#include "platform/Text.h"

namespace vaultline::platform {

std::string OsPath(std::wstring_view path) {
  if (path.find(L'\0') != std::wstring_view::npos) return {};
  return EncodeName(path);
}

}  // namespace vaultline::platform
