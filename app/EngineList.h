// Reading the engine's string lists: every list is copied and given back.
#pragma once

#include <string>
#include <vector>

#include "vaultline/Vaultline.h"

// The strings of `list`, which is released; empty for a null list or engine.
inline std::vector<std::wstring> TakeList(IVaultline* engine, StringList list) {
  std::vector<std::wstring> items;
  if (engine == nullptr) return items;
  int count = engine->GetListCount(list);
  items.reserve(count > 0 ? count : 0);
  for (int i = 0; i < count; ++i) items.emplace_back(engine->GetListItem(list, i));
  engine->ReleaseList(list);
  return items;
}
