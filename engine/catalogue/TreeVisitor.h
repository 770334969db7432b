// Gathers every item of a snapshot's tree in walk order, with its listed
// path. Folders whose children records are in `shared` (the same records
// another snapshot's walk read) are passed over and named, for a comparison
// that knows those subtrees to be the same.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/ListedPaths.h"
#include "catalogue/SubtreeWalk.h"

namespace vaultline {

class TreeVisitor : public RecordVisitor {
 public:
  using Children = std::pair<int64_t, int32_t>;  // a folder's contentOffset and count
  struct Item {
    DirEntry entry;
    std::wstring listed;
  };

  explicit TreeVisitor(const ListedPaths& paths, const std::set<Children>* shared = nullptr)
      : paths_(paths), shared_(shared) {}

  bool VisitFile(const DirEntry& entry, int64_t offset) override;
  bool EnterFolder(const DirEntry& entry, int64_t offset) override;
  bool WalkChildren(const DirEntry& folder) override;
  bool LeaveFolder(const DirEntry&) override { return true; }

  std::vector<Item>& Items() { return items_; }
  // The children of every folder met, passed over or not.
  const std::set<Children>& FolderChildren() const { return children_; }
  // Listed paths of the folders whose children were passed over.
  const std::vector<std::wstring>& PassedOver() const { return passedOver_; }

 private:
  const ListedPaths& paths_;
  const std::set<Children>* shared_;
  std::vector<Item> items_;
  std::set<Children> children_;
  std::vector<std::wstring> passedOver_;
};

}  // namespace vaultline
