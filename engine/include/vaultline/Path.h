// Paths, as the engine names them: exported so that a front end finds the
// program's folder and the drive as the engine does. Wherever the system's
// rules say backslash, the platform separator is meant; there are no drive
// letters and "/" plays the part of a drive root.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vaultline/Api.h"

namespace vaultline::platform {

inline constexpr wchar_t kSeparator = L'/';
inline constexpr const wchar_t* kSeparatorText = L"/";

// GetFullPathNameW: absolute against the current directory, lexically
// normalised ("." "..", doubled separators folded), links not resolved, a
// trailing separator kept. Empty path gives the current directory. Empty
// result on failure.
VAULTLINE_API std::wstring FullPath(std::wstring_view path);

// The running program's folder with a trailing separator: the override when
// one is set, else the folder of /proc/self/exe.
VAULTLINE_API std::wstring ProgramFolder();
// --drive DIR: DIR stands for the program's folder from now on (made absolute
// against the current directory now). An empty folder removes the override.
VAULTLINE_API void SetProgramFolderOverride(std::wstring_view folder);

// The mount point of the file system holding `path`, with a trailing separator.
VAULTLINE_API std::wstring DeviceRootOf(std::wstring_view path);

// Free (f_bavail * f_frsize) and total bytes of the file system holding
// `path`, asked of its nearest existing ancestor. On failure returns false and
// sets `error` to the errno value.
VAULTLINE_API bool DiskSpace(std::wstring_view path, uint64_t* freeBytes, uint64_t* totalBytes,
                             int* error);

// The current working directory, with no trailing separator (except "/").
VAULTLINE_API std::wstring CurrentDirectory();

// Whether `path` exists / is a folder, following links.
VAULTLINE_API bool PathExists(std::wstring_view path);
VAULTLINE_API bool IsFolder(std::wstring_view path);

}  // namespace vaultline::platform
