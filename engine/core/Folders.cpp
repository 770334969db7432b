#include "core/Folders.h"

#include <vector>

#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace vaultline {

namespace {

bool EnsureFolder(const std::wstring& folder, bool privateMode) {
  if (platform::IsFolder(folder)) return true;
  return platform::CreateFolder(folder, privateMode) || platform::IsFolder(folder);
}

}  // namespace

bool CreateFolders(const std::wstring& path, bool privateMode) {
  // A separator at position 0 or 1 ends no folder worth creating (the root, or
  // a one-character first component).
  for (size_t at = path.find(platform::kSeparator); at != std::wstring::npos;
       at = path.find(platform::kSeparator, at + 1)) {
    if (at > 1 && !EnsureFolder(path.substr(0, at), privateMode)) return false;
  }
  return EnsureFolder(path, privateMode);
}

uint64_t FolderSize(const std::wstring& path, int32_t& fileCount) {
  std::vector<platform::FindData> entries;
  if (!platform::ListFolder(path, &entries)) return 0;
  uint64_t total = 0;
  for (const platform::FindData& entry : entries) {
    if (entry.attributes & platform::kAttributeFolder) {
      total += FolderSize(path + platform::kSeparator + entry.name, fileCount);
    } else {
      ++fileCount;
      total += entry.size;
    }
  }
  return total;
}

}  // namespace vaultline
