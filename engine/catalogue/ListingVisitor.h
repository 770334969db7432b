// Lists a snapshot's tree as paths relative to a prefix (folders end in the
// separator when they are listed), with each listed item's size and time, and
// maps every stored full path it meets to its record, for a later restore by
// path.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "catalogue/SubtreeWalk.h"

namespace vaultline {

// What a listing tells of an item beside its path.
struct ListedItem {
  int64_t size = 0;      // bytes; 0 for a folder
  int64_t modified = 0;  // seconds since 1970 UTC
};

class ListingVisitor : public RecordVisitor {
 public:
  // A link or special file listed at position i of the listing.
  using Node = std::pair<size_t, DirEntry>;

  // `items` receives one entry for each path of `listing`.
  ListingVisitor(const std::wstring& prefix, bool withFolders, std::vector<std::wstring>* listing,
                 std::vector<ListedItem>* items,
                 std::unordered_map<std::wstring, int64_t>* pathToRecord, int64_t* restoreBytes,
                 std::vector<Node>* nodes)
      : prefix_(prefix),
        withFolders_(withFolders),
        listing_(listing),
        items_(items),
        pathToRecord_(pathToRecord),
        restoreBytes_(restoreBytes),
        nodes_(nodes) {}

  bool VisitFile(const DirEntry& entry, int64_t offset) override;
  bool EnterFolder(const DirEntry& entry, int64_t offset) override;
  bool LeaveFolder(const DirEntry&) override { return true; }

 private:
  // The name without the prefix's length of units (not compared with it) and
  // without a separator that then leads.
  std::wstring Relative(const std::wstring& name) const;

  const std::wstring& prefix_;
  bool withFolders_;
  std::vector<std::wstring>* listing_;
  std::vector<ListedItem>* items_;
  std::unordered_map<std::wstring, int64_t>* pathToRecord_;
  int64_t* restoreBytes_;
  std::vector<Node>* nodes_;
};

}  // namespace vaultline
