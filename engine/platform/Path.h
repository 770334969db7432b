// Paths. Wherever the system's rules say backslash, the platform separator is
// meant; there are no drive letters and "/" plays the part of a drive root.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vaultline::platform {

inline constexpr wchar_t kSeparator = L'/';
inline constexpr const wchar_t* kSeparatorText = L"/";

// GetFullPathNameW: absolute against the current directory, lexically
// normalised ("." "..", doubled separators folded), links not resolved, a
// trailing separator kept. Empty path gives the current directory. Empty
// result on failure.
std::wstring FullPath(std::wstring_view path);

// Joins `path` below `folder`, dropping the leading separators of `path` as
// Windows would drop a drive letter: ("/restore/", "/data/a.txt") gives
// "/restore/data/a.txt". One separator is put between them when needed.
std::wstring JoinPath(std::wstring_view folder, std::wstring_view path);

// True for the full path of the root, which plays the part of a drive root
// (C:\): it is never searched for, only listed.
bool IsDriveRoot(std::wstring_view fullPath);

// The running program's folder with a trailing separator: BRINDLE_HOME when
// set (or the override), else the folder of /proc/self/exe.
std::wstring ProgramFolder();
// --drive DIR: DIR stands for the program's folder from now on (made absolute
// against the current directory now). An empty folder removes the override.
void SetProgramFolderOverride(std::wstring_view folder);

// The mount point of the file system holding `path`, with a trailing separator.
std::wstring DeviceRootOf(std::wstring_view path);

// Free (f_bavail * f_frsize) and total bytes of the file system holding
// `path`, asked of its nearest existing ancestor. On failure returns false and
// sets `error` to the errno value.
bool DiskSpace(std::wstring_view path, uint64_t* freeBytes, uint64_t* totalBytes, int* error);

// The current working directory, with no trailing separator (except "/").
std::wstring CurrentDirectory();

}  // namespace vaultline::platform
