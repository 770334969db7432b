// Folder walks behind the exported utilities, in the widths the engine needs
// internally.
#pragma once

#include <cstdint>
#include <string>

namespace vaultline {

// Creates every missing folder of `path` (0700 with `privateMode`, as the
// store's folders are); true when all of them exist at the end.
bool CreateFolders(const std::wstring& path, bool privateMode);

// Total size of the files below `path` in 64 bits; adds the number of files to
// `fileCount`. 0 and no count for a folder that cannot be listed.
uint64_t FolderSize(const std::wstring& path, int32_t& fileCount);

}  // namespace vaultline
