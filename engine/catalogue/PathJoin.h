// Joining a stored path below a restore base, and the folder of a path.
#pragma once

#include <string>

namespace vaultline {

// base followed by path: one trailing separator of base is dropped, and the
// leading separator of an absolute path stands for the drive letter that is
// dropped (JoinPath("/restore/", "/data/a.txt") is "/restore/data/a.txt").
// An empty base gives path; an empty path gives base.
std::wstring JoinPath(const std::wstring& base, const std::wstring& path);

// The folder that holds `path`: the text before its last separator, the root
// for a path right below it, the current folder for a bare name.
std::wstring FolderOfPath(const std::wstring& path);

}  // namespace vaultline
