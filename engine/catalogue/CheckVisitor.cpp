#include "catalogue/CheckVisitor.h"

#include "blockstore/BlockStore.h"
#include "blockstore/StoreContext.h"
#include "vaultline/Vaultline.h"

namespace vaultline {

bool CheckVisitor::Cancelled() const {
  return context_.cancelled || (context_.status != nullptr && context_.status->IsCancelled());
}

bool CheckVisitor::VisitFile(const DirEntry& entry, int64_t) {
  if (Cancelled()) return false;
  const auto key = std::make_pair(entry.contentOffset, entry.name);
  auto found = results_->find(key);
  if (found == results_->end()) {
    if (context_.status != nullptr) {
      context_.cancelled = context_.status->OnFile(entry.size, entry.name.c_str());
    }
    std::wstring why;
    if (store_.CheckContent(contentFd_, entry.contentOffset, entry.name, entry.size, readBlocks_,
                            &why)) {
      why.clear();
    }
    found = results_->emplace(key, why).first;
    if (context_.status != nullptr) context_.status->OnFileDone();
  }
  if (!found->second.empty()) findings_->push_back({snapshot_, entry.name, found->second});
  return !Cancelled();
}

}  // namespace vaultline
