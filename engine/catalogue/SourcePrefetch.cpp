#include "catalogue/SourcePrefetch.h"

#include "blockstore/WorkerThread.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Processors.h"

namespace vaultline {

SourcePrefetch::SourcePrefetch() {
  if (platform::AvailableProcessors() > 1) thread_ = std::make_unique<WorkerThread>(true);
}

SourcePrefetch::~SourcePrefetch() {
  thread_.reset();
  for (const Opened& file : opened_) platform::CloseFile(file.fd);
}

void SourcePrefetch::Ahead(std::vector<std::wstring> paths) {
  if (thread_ == nullptr || paths.empty()) return;
  thread_->Submit([this, paths = std::move(paths)] {
    for (const std::wstring& path : paths) {
      int64_t size = 0;
      const int fd = platform::OpenAndPrefetch(path, &size);
      if (fd < 0) continue;
      std::lock_guard<std::mutex> lock(mutex_);
      opened_.push_back(Opened{path, fd, size});
    }
  });
}

int SourcePrefetch::Claim(const std::wstring& path, int64_t* size) {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t at = 0;
  while (at < opened_.size() && opened_[at].path != path) ++at;
  // Not opened (yet): the files before it may still be claimed.
  if (at == opened_.size()) return -1;
  for (size_t i = 0; i < at; ++i) platform::CloseFile(opened_[i].fd);
  const int fd = opened_[at].fd;
  *size = opened_[at].size;
  opened_.erase(opened_.begin(), opened_.begin() + static_cast<std::ptrdiff_t>(at) + 1);
  return fd;
}

}  // namespace vaultline
