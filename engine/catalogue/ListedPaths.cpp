#include "catalogue/ListedPaths.h"

#include "platform/Path.h"

namespace vaultline {

ListedPaths::ListedPaths(const std::wstring& source) : source_(source) {
  while (source_.size() > 1 && source_.back() == platform::kSeparator) source_.pop_back();
  const size_t last = source_.rfind(platform::kSeparator);
  name_ = last == std::wstring::npos ? source_ : source_.substr(last + 1);
}

std::wstring ListedPaths::Of(const std::wstring& storedName, bool isFolder) const {
  std::wstring listed = name_;
  // Records below the source hold its path first; anything else (a record
  // of another source) shows its whole stored path.
  if (storedName.compare(0, source_.size(), source_) == 0) {
    listed += storedName.substr(source_.size());
  } else {
    listed = storedName;
  }
  if (isFolder && (listed.empty() || listed.back() != platform::kSeparator)) {
    listed += platform::kSeparator;
  }
  return listed;
}

std::wstring ListedPaths::KeyOf(const std::wstring& listed) {
  if (listed.size() > 1 && listed.back() == platform::kSeparator) {
    return listed.substr(0, listed.size() - 1);
  }
  return listed;
}

}  // namespace vaultline
