// Paths inside the engine. The part a front end needs too is exported
// (vaultline/Path.h); what follows is the engine's own.
#pragma once

#include <string>
#include <string_view>

#include "vaultline/Path.h"

namespace vaultline::platform {

// Joins `path` below `folder`, dropping the leading separators of `path` as
// Windows would drop a drive letter: ("/restore/", "/data/a.txt") gives
// "/restore/data/a.txt". One separator is put between them when needed.
std::wstring JoinPath(std::wstring_view folder, std::wstring_view path);

}  // namespace vaultline::platform
