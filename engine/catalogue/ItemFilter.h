// Which items of a snapshot a search looks for: its patterns (those of an
// exclusion file) or one listed path, and bounds on the modification time.
#pragma once

#include <string>

#include "catalogue/DirRecord.h"
#include "catalogue/ExclusionRules.h"
#include "vaultline/ItemHistory.h"

namespace vaultline {

class ItemFilter {
 public:
  explicit ItemFilter(const VersionSearch& search);

  // `listed` is the item's path as ListedPaths gives it.
  bool Matches(const DirEntry& entry, const std::wstring& listed) const;
  // False when nothing below the folder can match: only a search for one
  // path knows that.
  bool MayMatchBelow(const std::wstring& listedFolder) const;

 private:
  ExclusionRules patterns_;
  bool everything_;
  std::wstring path_;  // without a folder's trailing separator
  VersionSearch search_;
};

}  // namespace vaultline
