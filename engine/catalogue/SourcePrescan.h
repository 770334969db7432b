// The pre-scan before a snapshot: walks the sources, looks each item up in
// the key index and finds what changed, how many new bytes a snapshot would
// store, and which files exceed the size limit. It keeps the listings of the
// folders the snapshot will list again, so that a snapshot taken right after
// its pre-scan searches each folder once.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "catalogue/ExclusionRules.h"
#include "platform/FileSystem.h"

namespace vaultline {

class CatalogueFiles;
class KeyIndexKeeper;
class SourceScanner;

class SourcePrescan {
 public:
  SourcePrescan(CatalogueFiles& files, const KeyIndexKeeper& keys) : files_(files), keys_(keys) {}

  // What the pre-scans and snapshots from now on leave out of every source.
  // A pre-scan made under other rules no longer describes the next snapshot.
  void SetExclusions(ExclusionRules rules) {
    exclusions_ = std::move(rules);
    prescanned_.clear();
  }
  const ExclusionRules& Exclusions() const { return exclusions_; }

  // Pre-scans the sources; sizeLimit 0 means no per-file limit.
  void Scan(const std::vector<std::wstring>& sources, int64_t sizeLimit);
  // Makes the pre-scan describe the sources under this limit for the snapshot
  // about to be taken: scans them again unless the last pre-scan was of
  // them; an older pre-scan keeps its figures but not its listings. The
  // snapshot after uses a pre-scan of its own.
  void PrepareSnapshot(const std::vector<std::wstring>& sources, int64_t sizeLimit);
  // Drops what only the walk of a snapshot uses.
  void EndSnapshot();

  // New and changed bytes: what a snapshot stores.
  int64_t NewBytes() const { return newBytes_; }
  // Files and bytes within the size limit.
  uint32_t IncludedFiles() const { return includedFiles_; }
  int64_t IncludedBytes() const { return includedBytes_; }
  // Files left out because they exceed the size limit; the walk adds those
  // that grew past it since.
  const std::vector<std::wstring>& OversizeFiles() const { return oversizeFiles_; }
  void AddOversize(const std::wstring& path) { oversizeFiles_.push_back(path); }

  // Whether the folder at `path`, or anything below it, changed.
  bool Changed(const std::wstring& path) const { return changedPaths_.count(path) != 0; }
  // Lists the folder from the pre-scan's listing when one was kept.
  void UseKeptListing(SourceScanner& folder);

 private:
  bool Prescan(SourceScanner& item);
  // Keeps the pre-scan's listing of a folder for the walk, while the
  // listings kept stay within bounds.
  void KeepListing(SourceScanner& folder);
  void DropKeptListings();

  CatalogueFiles& files_;
  const KeyIndexKeeper& keys_;
  ExclusionRules exclusions_;
  int64_t sizeLimit_ = 0;  // the limit of the last pre-scan
  std::unordered_set<std::wstring> changedPaths_;
  // The listings of folders the walk lists again (changed ones and those
  // directly in them), by full path.
  std::unordered_map<std::wstring, std::vector<platform::FindData>> keptListings_;
  size_t keptEntries_ = 0;
  uint32_t prescanEnd_ = 0;               // TickCount when the last pre-scan ended
  std::vector<std::wstring> prescanned_;  // sources whose pre-scan the next snapshot uses
  std::vector<std::wstring> oversizeFiles_;
  int64_t newBytes_ = 0;
  int64_t includedBytes_ = 0;
  uint32_t includedFiles_ = 0;
};

}  // namespace vaultline
