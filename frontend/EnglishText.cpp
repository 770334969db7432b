#include <algorithm>

#include "frontend/EnglishStrings.h"

namespace frontend {

std::wstring EnglishText(unsigned id) {
  const auto* end = marrowby::kEnglishStrings + marrowby::kEnglishStringCount;
  const auto* found = std::find_if(marrowby::kEnglishStrings, end,
                                   [id](const MarrowbyString& entry) { return entry.id == id; });
  return found == end || found->text == nullptr ? std::wstring() : std::wstring(found->text);
}

}  // namespace frontend
