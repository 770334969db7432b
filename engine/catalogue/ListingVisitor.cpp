#include "catalogue/ListingVisitor.h"

#include "catalogue/RecordExtension.h"
#include "platform/Path.h"

namespace vaultline {

std::wstring ListingVisitor::Relative(const std::wstring& name) const {
  std::wstring relative = name.substr(std::min(prefix_.size(), name.size()));
  if (!relative.empty() && relative.front() == platform::kSeparator) relative.erase(0, 1);
  return relative;
}

bool ListingVisitor::VisitFile(const DirEntry& entry, int64_t offset) {
  listing_->push_back(Relative(entry.name));
  items_->push_back({entry.size, DecodeTime(entry).seconds});
  if (entry.Kind() != platform::ItemKind::kPlain) nodes_->emplace_back(listing_->size() - 1, entry);
  (*pathToRecord_)[entry.name] = offset;
  *restoreBytes_ += entry.size;
  return true;
}

bool ListingVisitor::EnterFolder(const DirEntry& entry, int64_t offset) {
  (*pathToRecord_)[entry.name] = offset;
  if (withFolders_) {
    listing_->push_back(Relative(entry.name) + platform::kSeparator);
    items_->push_back({0, DecodeTime(entry).seconds});
  }
  return true;
}

}  // namespace vaultline
