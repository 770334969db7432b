// Shell wildcard matching of one name (the C library's fnmatch): '*' and '?'
// for any run of characters and any one, "[...]" classes, a backslash taking
// the next character literally. A leading '.' is matched like any other
// character, as ignore files expect.
#pragma once

#include <string_view>

namespace vaultline::platform {

// Both texts are encoded as names are (UTF-8 with surrogate escapes), so a
// name's bytes meet the pattern's bytes.
bool MatchesWildcard(std::wstring_view pattern, std::wstring_view name);

}  // namespace vaultline::platform
