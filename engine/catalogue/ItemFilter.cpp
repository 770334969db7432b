#include "catalogue/ItemFilter.h"

#include "catalogue/ListedPaths.h"
#include "catalogue/RecordExtension.h"
#include "platform/Path.h"

namespace vaultline {

ItemFilter::ItemFilter(const VersionSearch& search)
    : patterns_(search.patterns),
      everything_(search.patterns.empty()),
      path_(ListedPaths::KeyOf(search.path)),
      search_(search) {}

bool ItemFilter::Matches(const DirEntry& entry, const std::wstring& listed) const {
  const std::wstring key = ListedPaths::KeyOf(listed);
  if (!path_.empty()) {
    if (key != path_) return false;
  } else if (!everything_) {
    const ExclusionRules::Pattern* pattern = patterns_.Decide(key, entry.IsFolder());
    if (pattern == nullptr || pattern->negated) return false;
  }
  const int64_t modified = DecodeTime(entry).seconds;
  if (search_.modifiedAfter && modified <= *search_.modifiedAfter) return false;
  if (search_.modifiedBefore && modified >= *search_.modifiedBefore) return false;
  return true;
}

bool ItemFilter::MayMatchBelow(const std::wstring& listedFolder) const {
  if (path_.empty()) return true;
  std::wstring folder = listedFolder;
  if (folder.empty() || folder.back() != platform::kSeparator) folder += platform::kSeparator;
  return path_.size() > folder.size() && path_.compare(0, folder.size(), folder) == 0;
}

}  // namespace vaultline
