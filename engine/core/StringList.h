// The engine's list of wide strings, handed out through the opaque StringList
// handle. Allocated and freed only inside the engine library.
#pragma once

#include <string>
#include <vector>

#include "vaultline/Vaultline.h"

struct VaultlineStringList {
  std::vector<std::wstring> items;
};

namespace vaultline {

// A new list holding a copy of `items`; the caller gives it back with ReleaseList.
StringList MakeStringList(const std::vector<std::wstring>& items);

}  // namespace vaultline
