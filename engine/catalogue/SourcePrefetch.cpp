#include "catalogue/SourcePrefetch.h"

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "util/ThreadPlan.h"

namespace vaultline {
namespace {

// Most files of a home folder are below this; larger ones are read by the
// store in its own chunks and asked for ahead as it goes.
constexpr int64_t kReadWholeBelow = int64_t{256} << 10;
constexpr size_t kHeldLimit = size_t{4} << 20;

}  // namespace

SourcePrefetch::SourcePrefetch(ThreadPlan& threads) : threads_(threads) {}

SourcePrefetch::~SourcePrefetch() {
  threads_.Settle(ThreadPlan::Helper::kSourceOpening);
  for (const Opened& opened : opened_) platform::CloseFile(opened.file.fd);
}

void SourcePrefetch::Ahead(std::vector<std::wstring> paths) {
  if (!threads_.Threaded() || paths.empty()) return;
  const uint64_t first = handedCount_ + 1;
  for (const std::wstring& path : paths) handed_.emplace_back(++handedCount_, path);
  threads_.Get(ThreadPlan::Helper::kSourceOpening).Submit([this, first, paths = std::move(paths)] {
    OpenAhead(first, paths);
  });
}

void SourcePrefetch::OpenAhead(uint64_t first, const std::vector<std::wstring>& paths) {
  for (size_t i = 0; i < paths.size(); ++i) {
    const uint64_t number = first + i;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (number <= passed_) continue;
    }
    SourceFile file;
    file.fd = platform::OpenRegularFile(paths[i], &file.size);
    if (file.fd < 0) continue;
    // A file read whole here needs no reading ahead: the read waits for the
    // disk at once.
    ReadSmall(&file);
    if (file.head.empty()) platform::PrefetchFile(file.fd);
    std::lock_guard<std::mutex> lock(mutex_);
    if (number <= passed_) {
      platform::CloseFile(file.fd);  // the store opened it itself meanwhile
      continue;
    }
    heldBytes_ += file.head.size();
    opened_.push_back(Opened{number, std::move(file)});
  }
}

void SourcePrefetch::ReadSmall(SourceFile* file) {
  if (file->size <= 0 || file->size >= kReadWholeBelow) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (heldBytes_ + static_cast<size_t>(file->size) > kHeldLimit) return;
  }
  file->head.resize(static_cast<size_t>(file->size));
  const int64_t got = platform::ReadFile(file->fd, file->head.data(), file->head.size());
  // A file that cannot be read here is read, and its error reported, by
  // the store; one that shrank meanwhile keeps what it still had.
  file->head.resize(got < 0 ? 0 : static_cast<size_t>(got));
  if (got < 0) platform::SeekFile(file->fd, 0, platform::SeekFrom::kStart);
}

SourceFile SourcePrefetch::Claim(const std::wstring& path) {
  size_t at = 0;
  while (at < handed_.size() && handed_[at].second != path) ++at;
  if (at == handed_.size()) return SourceFile{};  // not handed over
  const uint64_t number = handed_[at].first;
  handed_.erase(handed_.begin(), handed_.begin() + static_cast<std::ptrdiff_t>(at) + 1);

  std::lock_guard<std::mutex> lock(mutex_);
  passed_ = number;
  while (!opened_.empty() && opened_.front().number < number) {
    heldBytes_ -= opened_.front().file.head.size();
    platform::CloseFile(opened_.front().file.fd);
    opened_.pop_front();
  }
  if (opened_.empty() || opened_.front().number != number) return SourceFile{};
  heldBytes_ -= opened_.front().file.head.size();
  SourceFile claimed = std::move(opened_.front().file);
  opened_.pop_front();
  return claimed;
}

}  // namespace vaultline
