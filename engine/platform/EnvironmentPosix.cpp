#include <cstdlib>

#include "platform/Environment.h"
#include "platform/Text.h"

namespace vaultline::platform {

bool SetEnvironmentValue(std::wstring_view name, std::wstring_view value) {
  return ::setenv(EncodeName(name).c_str(), EncodeName(value).c_str(), 1) == 0;
}

}  // namespace vaultline::platform
