// The paths of one snapshot's tree, relative to a prefix, with each item's
// size and time, what each link or special file is, and the record of every
// stored full path for a restore by path.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/ListingVisitor.h"

namespace vaultline {

class CatalogueFiles;
class SnapshotList;

class SnapshotTreeListing {
 public:
  SnapshotTreeListing(CatalogueFiles& files, const SnapshotList& list)
      : files_(files), list_(list) {}

  // Lists snapshot `index` of the list as last read: its files, or with
  // withFolders its files and folders (folders ending in the separator, the
  // prefix folder itself as a lone separator). Nothing for an index out of
  // range. False when the walk met damaged records (the listing then holds
  // what was read before).
  bool Collect(int index, const std::wstring& prefix, bool withFolders);

  const std::vector<std::wstring>& Paths() const { return paths_; }
  // Size and time of each path.
  const std::vector<ListedItem>& Items() const { return items_; }
  bool Failed() const { return failed_; }
  // What each item is, in the listing's order: empty for a file or folder;
  // else "link", "fifo", "socket", "character device" or "block device",
  // and for a link a tab and its target, for a device a tab and its numbers
  // ("1:3").
  std::vector<std::wstring> Kinds();

  // The record of each stored full path the last listing met, and the bytes
  // of the files among them.
  const std::unordered_map<std::wstring, int64_t>& PathToRecord() const { return pathToRecord_; }
  int64_t RestoreBytes() const { return restoreBytes_; }

 private:
  CatalogueFiles& files_;
  const SnapshotList& list_;
  std::vector<std::wstring> paths_;
  std::vector<ListingVisitor::Node> nodes_;
  std::vector<ListedItem> items_;  // one for each path
  bool failed_ = false;
  std::unordered_map<std::wstring, int64_t> pathToRecord_;
  int64_t restoreBytes_ = 0;
};

}  // namespace vaultline
