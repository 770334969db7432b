// The system's English string table, plain data that both front ends use: the
// desktop program's built-in texts, the command line's only ones.
#pragma once

#include <cstddef>
#include <string>

#include "frontend/StringEntry.h"

namespace marrowby {

extern const MarrowbyString kEnglishStrings[];
extern const size_t kEnglishStringCount;

}  // namespace marrowby

namespace frontend {

// The English text of `id`; empty when there is none.
std::wstring EnglishText(unsigned id);

}  // namespace frontend
