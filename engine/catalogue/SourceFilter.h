// What a snapshot leaves out of one source: the items its selection's
// exclusion patterns exclude, and folders that hold a cache tag
// ("CACHEDIR.TAG" beginning with the standard signature line). The source
// itself is never left out. The snapshot's walks ask about each entry of a
// folder before they describe or enter it, so nothing below an item that is
// left out is ever asked about, or opened.
#pragma once

#include <string>

#include "catalogue/ExclusionRules.h"

namespace vaultline {

inline constexpr const wchar_t* kCacheTagName = L"CACHEDIR.TAG";

// True when `folder` holds a regular file CACHEDIR.TAG that begins with the
// signature line; a tag that cannot be read marks no cache.
bool IsTaggedCache(const std::wstring& folder);

class SourceFilter {
 public:
  // `root`: the source's full path. The rules must outlive the filter.
  SourceFilter(const ExclusionRules& rules, std::wstring root);

  struct Decision {
    bool excluded = false;
    std::wstring pattern;  // the deciding pattern, kCacheTagName for a cache; empty: none
    std::wstring path;     // the item it decided about: the path itself or a folder above it
  };

  // True when `fullPath` lies below the source.
  bool Covers(const std::wstring& fullPath) const;
  // Whether the entry at `fullPath`, inside a folder the walk entered, is kept.
  bool Keeps(const std::wstring& fullPath, bool isFolder) const {
    return !DecideItem(fullPath, isFolder).excluded;
  }
  // Whether a snapshot would hold `fullPath` (below the source), looking at
  // every folder between the source and it; `isFolder` tells what the item
  // itself is.
  Decision Explain(const std::wstring& fullPath, bool isFolder) const;

 private:
  Decision DecideItem(const std::wstring& fullPath, bool isFolder) const;

  const ExclusionRules& rules_;
  std::wstring prefix_;  // the root with one separator after it
};

}  // namespace vaultline
