#include "core/StringList.h"

namespace vaultline {

StringList MakeStringList(const std::vector<std::wstring>& items) {
  return new VaultlineStringList{items};
}

}  // namespace vaultline
