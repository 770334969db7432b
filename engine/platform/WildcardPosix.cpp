#include <fnmatch.h>

#include "platform/Text.h"
#include "platform/Wildcard.h"

namespace vaultline::platform {

bool MatchesWildcard(std::wstring_view pattern, std::wstring_view name) {
  return ::fnmatch(EncodeName(pattern).c_str(), EncodeName(name).c_str(), 0) == 0;
}

}  // namespace vaultline::platform
