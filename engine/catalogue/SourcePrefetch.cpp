#include "catalogue/SourcePrefetch.h"

#include "blockstore/WorkerThread.h"
#include "platform/FileSystem.h"
#include "platform/Processors.h"

namespace vaultline {

SourcePrefetch::SourcePrefetch() {
  if (platform::AvailableProcessors() > 1) thread_ = std::make_unique<WorkerThread>(true);
}

SourcePrefetch::~SourcePrefetch() = default;

void SourcePrefetch::Ahead(std::vector<std::wstring> paths) {
  if (thread_ == nullptr || paths.empty()) return;
  thread_->Submit([paths = std::move(paths)] {
    for (const std::wstring& path : paths) platform::PrefetchFile(path);
  });
}

}  // namespace vaultline
