// The paths under which the front ends show a snapshot's items: the stored
// full path with the source's folder replaced by the source's name
// ("/home/me/Documents/a.txt" of the source "/home/me/Documents" is
// "Documents/a.txt"); a folder ends in the separator, the source folder
// itself is "Documents/".
#pragma once

#include <string>

#include "catalogue/DirRecord.h"

namespace vaultline {

class ListedPaths {
 public:
  explicit ListedPaths(const std::wstring& source);

  std::wstring Of(const DirEntry& entry) const { return Of(entry.name, entry.IsFolder()); }
  std::wstring Of(const std::wstring& storedName, bool isFolder) const;
  // The listed path without a folder's trailing separator: one item's key
  // whatever its type.
  static std::wstring KeyOf(const std::wstring& listed);

 private:
  std::wstring source_;
  std::wstring name_;
};

}  // namespace vaultline
