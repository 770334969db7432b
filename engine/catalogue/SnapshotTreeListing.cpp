#include "catalogue/SnapshotTreeListing.h"

#include "blockstore/BlockStore.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/SnapshotList.h"
#include "platform/Format.h"
#include "platform/Text.h"

namespace vaultline {

bool SnapshotTreeListing::Collect(int index, const std::wstring& prefix, bool withFolders) {
  paths_.clear();
  nodes_.clear();
  items_.clear();
  failed_ = false;
  if (!list_.Holds(index)) return true;
  restoreBytes_ = 0;
  pathToRecord_.clear();
  if (list_.IsDamaged(index)) {
    failed_ = true;
    return false;
  }
  const SourceRange& range = list_.Range(index);
  // A source that produced no records has an empty range: nothing to list.
  if (range.rootOffset == range.endOffset) return true;
  ListingVisitor visitor(prefix, withFolders, &paths_, &items_, &pathToRecord_, &restoreBytes_,
                         &nodes_);
  SubtreeWalk walk = files_.NewWalk();
  failed_ = !walk.Walk(range.rootOffset, 1, visitor);
  return !failed_;
}

std::vector<std::wstring> SnapshotTreeListing::Kinds() {
  std::vector<std::wstring> kinds(paths_.size());
  for (const auto& [at, entry] : nodes_) {
    const platform::ItemKind kind = entry.Kind();
    std::wstring& text = kinds[at];
    if (kind == platform::ItemKind::kSymbolicLink) {
      std::string target;
      text = L"link\t";
      if (files_.Store().RestoreBytes(files_.ContentFd(), entry.contentOffset, entry.name,
                                      entry.size, &target)) {
        text += platform::DecodeName(target);
      }
    } else if (kind == platform::ItemKind::kFifo) {
      text = L"fifo";
    } else if (kind == platform::ItemKind::kSocket) {
      text = L"socket";
    } else {
      text = platform::FormatWide(kind == platform::ItemKind::kBlockDevice
                                      ? L"block device\t%u:%u"
                                      : L"character device\t%u:%u",
                                  entry.tail.deviceMajor, entry.tail.deviceMinor);
    }
  }
  return kinds;
}

}  // namespace vaultline
