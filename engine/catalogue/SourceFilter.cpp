#include "catalogue/SourceFilter.h"

#include <cstring>

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace vaultline {

namespace {

constexpr char kCacheSignature[] = "Signature: 8a477f597d28d172789f06886806bc55";

}  // namespace

bool IsTaggedCache(const std::wstring& folder) {
  const std::wstring tag = folder + platform::kSeparator + kCacheTagName;
  // A fifo of that name would block the open; only a regular file is read.
  uint64_t size = 0;
  if (!platform::GetFileSize64(tag, &size) || size < sizeof kCacheSignature - 1) return false;
  const int fd = platform::OpenFile(tag, platform::OpenMode::kRead);
  if (fd < 0) return false;
  char head[sizeof kCacheSignature - 1];
  const bool signed_ = platform::ReadFile(fd, head, sizeof head) == sizeof head &&
                       std::memcmp(head, kCacheSignature, sizeof head) == 0;
  platform::CloseFile(fd);
  return signed_;
}

SourceFilter::SourceFilter(const ExclusionRules& rules, std::wstring root)
    : rules_(rules), prefix_(std::move(root)) {
  if (prefix_.empty() || prefix_.back() != platform::kSeparator) prefix_ += platform::kSeparator;
}

bool SourceFilter::Covers(const std::wstring& fullPath) const {
  return fullPath.size() > prefix_.size() && fullPath.compare(0, prefix_.size(), prefix_) == 0;
}

SourceFilter::Decision SourceFilter::DecideItem(const std::wstring& fullPath, bool isFolder) const {
  Decision decision;
  if (!Covers(fullPath)) return decision;
  const std::wstring_view relative = std::wstring_view(fullPath).substr(prefix_.size());
  if (const ExclusionRules::Pattern* pattern = rules_.Decide(relative, isFolder)) {
    decision.excluded = !pattern->negated;
    decision.pattern = pattern->text;
    decision.path = fullPath;
  }
  // A folder a pattern leaves out is not even looked into for its tag.
  if (!decision.excluded && isFolder && IsTaggedCache(fullPath)) {
    decision.excluded = true;
    decision.pattern = kCacheTagName;
    decision.path = fullPath;
  }
  return decision;
}

SourceFilter::Decision SourceFilter::Explain(const std::wstring& fullPath, bool isFolder) const {
  Decision decision;
  size_t end = prefix_.size();
  while (end < fullPath.size()) {
    size_t next = fullPath.find(platform::kSeparator, end);
    const bool last = next == std::wstring::npos || next + 1 >= fullPath.size();
    if (next == std::wstring::npos) next = fullPath.size();
    decision = DecideItem(fullPath.substr(0, next), last ? isFolder : true);
    if (decision.excluded || last) return decision;
    end = next + 1;
  }
  return decision;
}

}  // namespace vaultline
