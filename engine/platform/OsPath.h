// Inside the platform layer only: the bytes handed to the operating system for
// a path.
#pragma once

#include <string>
#include <string_view>

namespace vaultline::platform {

// The encoded name of `path`. A path holding a zero character cannot be named
// to the operating system; it becomes the empty path, which every call refuses
// (ENOENT), rather than silently naming the shorter path before the zero.
std::string OsPath(std::wstring_view path);

}  // namespace vaultline::platform
