#include "catalogue/TreeVisitor.h"

namespace vaultline {

bool TreeVisitor::VisitFile(const DirEntry& entry, int64_t /*offset*/) {
  items_.push_back(Item{entry, paths_.Of(entry)});
  return true;
}

bool TreeVisitor::EnterFolder(const DirEntry& entry, int64_t /*offset*/) {
  items_.push_back(Item{entry, paths_.Of(entry)});
  children_.insert({entry.contentOffset, entry.count});
  return true;
}

bool TreeVisitor::WalkChildren(const DirEntry& folder) {
  if (shared_ == nullptr || !shared_->contains({folder.contentOffset, folder.count})) return true;
  passedOver_.push_back(items_.back().listed);
  return false;
}

}  // namespace vaultline
