#include "catalogue/SourcePrescan.h"

#include "blockstore/BlockStore.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/KeyIndexKeeper.h"
#include "catalogue/SourceFilter.h"
#include "catalogue/SourceScanner.h"
#include "platform/Clock.h"

namespace vaultline {

namespace {

// About 8 MiB of listings at most; folders past that are searched again.
constexpr size_t kKeptListingEntries = size_t{1} << 16;
// A snapshot that follows its pre-scan at once uses the listings it kept.
constexpr uint32_t kKeptListingMilliseconds = 2000;

}  // namespace

void SourcePrescan::Scan(const std::vector<std::wstring>& sources, int64_t sizeLimit) {
  sizeLimit_ = sizeLimit;
  includedBytes_ = 0;
  includedFiles_ = 0;
  newBytes_ = 0;
  oversizeFiles_.clear();
  changedPaths_.clear();
  DropKeptListings();
  for (const std::wstring& source : sources) {
    SourceScanner item(source, 0);
    SourceFilter filter(exclusions_, item.FullPath());
    item.SetFilter(&filter);
    if (!item.Exists()) continue;
    Prescan(item);
    KeepListing(item);
  }
  prescanned_ = sources;
  prescanEnd_ = platform::TickCount();
}

void SourcePrescan::PrepareSnapshot(const std::vector<std::wstring>& sources, int64_t sizeLimit) {
  // A pre-scan holds only for the limit it was made with.
  if (sizeLimit != sizeLimit_ || prescanned_ != sources) {
    Scan(sources, sizeLimit);
  } else if (platform::TickCount() - prescanEnd_ > kKeptListingMilliseconds) {
    // Files created since an older pre-scan belong in this snapshot: its
    // listings are not used, the walk searches again.
    DropKeptListings();
  }
  prescanned_.clear();
}

void SourcePrescan::EndSnapshot() {
  changedPaths_.clear();
  DropKeptListings();
}

bool SourcePrescan::Prescan(SourceScanner& item) {
  const KeyIndex::Offsets* record = keys_.Lookup(item);
  const bool known = record != nullptr;
  // A change of mode or of the exact time alone leaves the key and the
  // contents as they were, but the item needs a record of its own.
  bool changed = !known || !record->state.SameState(item.Extension());
  if (!item.IsRecordable()) return true;  // reported when the walk meets it
  if (!item.IsFolder()) {
    if (sizeLimit_ != 0 && static_cast<int64_t>(item.Size()) > sizeLimit_) {
      oversizeFiles_.push_back(item.FullPath());
      changed = true;
    } else {
      includedBytes_ += static_cast<int64_t>(item.Size());
      ++includedFiles_;
      if (!known) newBytes_ += static_cast<int64_t>(item.Size());
      // The snapshot will cut it into blocks: the store's index loads
      // meanwhile.
      if (!known && item.Size() >= BlockStore::kSmallFileLimit) files_.Store().LoadIndexAhead();
    }
  } else {
    // The walk expands a changed folder and lists each folder in it again.
    std::vector<SourceScanner> subfolders;
    for (const platform::FindData& entry : *item.ListEntries()) {
      SourceScanner child(item, entry, 0);
      if (Prescan(child)) {
        changed = true;
      } else if (!changed && !record->Lists(keys_.Lookup(child)->recordOffset)) {
        // The child is known, but from another listing than the one this
        // folder's key finds: that listing holds another state of it.
        changed = true;
      }
      if (child.IsFolder()) subfolders.push_back(std::move(child));
    }
    // Walked again each time, so that every snapshot reports it.
    if (item.ListFailed() || !item.Undescribed().empty()) changed = true;
    if (changed) {
      for (SourceScanner& subfolder : subfolders) KeepListing(subfolder);
    }
  }
  // Only the walk's folders ask; a path kept for each of a first backup's
  // files would cost more memory than anything else it holds.
  if (changed && item.IsFolder()) changedPaths_.insert(item.FullPath());
  return changed;
}

void SourcePrescan::KeepListing(SourceScanner& folder) {
  // A failed listing, or one with entries it could not describe, is searched
  // again by the walk, which reports them.
  if (!folder.IsFolder() || !folder.IsRecordable() || folder.ListFailed() ||
      !folder.Undescribed().empty()) {
    return;
  }
  const size_t entries = folder.ListEntries()->size();
  if (keptEntries_ + entries > kKeptListingEntries) return;
  keptEntries_ += entries;
  keptListings_.emplace(folder.FullPath(), folder.TakeListing());
}

void SourcePrescan::DropKeptListings() {
  keptListings_.clear();
  keptEntries_ = 0;
}

void SourcePrescan::UseKeptListing(SourceScanner& folder) {
  auto kept = keptListings_.find(folder.FullPath());
  if (kept == keptListings_.end()) return;
  folder.UseListing(std::move(kept->second));
  keptListings_.erase(kept);
}

}  // namespace vaultline
