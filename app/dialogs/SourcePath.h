// The checks both creation dialogs apply to a typed source path.
#pragma once

#include <string>

// Drops one trailing separator; the root itself stays as it is.
std::wstring WithoutTrailingSeparator(std::wstring path);

// True when there is something to back up at `path`. A bare mount point counts
// only when it holds at least one entry, so an empty mount point (nothing
// mounted there) is refused as a missing drive would be.
bool SourceExists(const std::wstring& path);

// The name a selection gets from its path: the part after the last
// separator, or the whole path when there is none (or nothing after it).
std::wstring NameFromPath(const std::wstring& path);
