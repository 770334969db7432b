// Reading a selection's snapshots: the cached snapshot list, the contents of
// one snapshot, and restoring from it.
#include "core/BuiltInTexts.h"
#include "core/Engine.h"
#include "core/StringList.h"
#include "platform/Path.h"

namespace vaultline {

namespace {

SnapshotEntry EntryFor(const std::wstring& listedText, const std::wstring& location) {
  std::wstring descriptor = listedText;
  if (!descriptor.empty() && descriptor.back() == L'\n') descriptor.pop_back();
  return {std::move(descriptor), location, std::nullopt, std::nullopt};
}

// The source the snapshot was taken of, which its stored paths lie below; the
// selection's own for an entry that does not say. Needs a ListSnapshots.
std::wstring SourceOfSnapshot(const Profile& profile, const SnapshotManager& catalogue,
                              int snapshot) {
  std::wstring source = catalogue.SourceOf(snapshot);
  return source.empty() ? profile.contents.front() : source;
}

}  // namespace

bool Engine::LoadSnapshotList(Profile& profile) {
  profile.snapshots.clear();
  for (const std::wstring& text : profile.catalogue->ListSnapshots()) {
    profile.snapshots.push_back(EntryFor(text, profile.location));
    profile.snapshots.back().damaged =
        profile.catalogue->IsSnapshotDamaged(static_cast<int>(profile.snapshots.size() - 1));
  }
  return !profile.snapshots.empty();
}

bool Engine::IsSnapshotDamaged(unsigned index, unsigned snapshot) {
  Profile* profile = ProfileAt(index);
  return profile != nullptr && snapshot < profile->snapshots.size() &&
         profile->snapshots[snapshot].damaged;
}

bool Engine::RefreshSnapshots(unsigned index) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr || profile->deleted) return false;
  CatalogueCloser closer(this, profile);
  if (OpenCatalogue(*profile, status_) == nullptr) return false;
  return LoadSnapshotList(*profile);
}

StringList Engine::GetSnapshots(unsigned index) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr || profile->snapshots.empty()) return nullptr;
  std::vector<std::wstring> descriptors;
  for (const SnapshotEntry& entry : profile->snapshots) descriptors.push_back(entry.descriptor);
  return MakeStringList(descriptors);
}

StringList Engine::GetSnapshotContents(unsigned index, unsigned snapshot) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr || profile->deleted) return nullptr;
  auto& entries = profile->snapshots;
  if (snapshot < entries.size() && entries[snapshot].contents) {
    return MakeStringList(*entries[snapshot].contents);
  }
  if (profile->contents.empty()) return nullptr;

  CatalogueCloser closer(this, profile);
  SnapshotManager* catalogue = OpenCatalogue(*profile, nullptr);
  if (catalogue == nullptr) return nullptr;
  StringList result = nullptr;
  const std::vector<std::wstring>& descriptors = catalogue->ListSnapshots();
  if (snapshot < descriptors.size()) {
    const std::wstring source = SourceOfSnapshot(*profile, *catalogue, static_cast<int>(snapshot));
    const std::vector<std::wstring>& items =
        catalogue->ListEntries(static_cast<int>(snapshot), source);
    size_t lastSeparator = source.rfind(platform::kSeparator);
    std::wstring prefix =
        lastSeparator == std::wstring::npos ? source : source.substr(lastSeparator + 1);
    // A single-file source lists itself as one empty item: its name alone.
    if (!(items.size() == 1 && items.front().empty())) prefix += platform::kSeparator;
    std::vector<std::wstring> contents;
    for (const std::wstring& item : items) contents.push_back(prefix + item);
    // Entries missing below the index come from the listing just read, so
    // that positions keep matching the snapshot indices.
    for (size_t i = entries.size(); i <= snapshot; ++i) {
      entries.push_back(EntryFor(descriptors[i], profile->location));
      entries.back().damaged = catalogue->IsSnapshotDamaged(static_cast<int>(i));
    }
    // A listing cut short by damaged records is handed out but not kept.
    if (catalogue->ListingFailed()) {
      entries[snapshot].damaged = true;
      result = MakeStringList(contents);
    } else {
      std::vector<std::wstring> details;
      for (const ListedItem& listed : catalogue->ListedItems()) {
        details.push_back(std::to_wstring(listed.size) + L'\t' + std::to_wstring(listed.modified));
      }
      entries[snapshot].contents = std::move(contents);
      entries[snapshot].details = std::move(details);
      result = MakeStringList(*entries[snapshot].contents);
    }
  }
  return result;
}

StringList Engine::GetSnapshotItemKinds(unsigned index, unsigned snapshot) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr || profile->deleted || profile->contents.empty()) return nullptr;
  CatalogueCloser closer(this, profile);
  SnapshotManager* catalogue = OpenCatalogue(*profile, nullptr);
  if (catalogue == nullptr || snapshot >= catalogue->ListSnapshots().size()) return nullptr;
  catalogue->ListEntries(static_cast<int>(snapshot),
                         SourceOfSnapshot(*profile, *catalogue, static_cast<int>(snapshot)));
  return MakeStringList(catalogue->ListingKinds());
}

StringList Engine::GetSnapshotDetails(unsigned index, unsigned snapshot) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr) return nullptr;
  // The details come with the listing, which the contents keep.
  if (snapshot >= profile->snapshots.size() || !profile->snapshots[snapshot].details) {
    ReleaseList(GetSnapshotContents(index, snapshot));
  }
  if (snapshot >= profile->snapshots.size() || !profile->snapshots[snapshot].details) {
    return nullptr;
  }
  return MakeStringList(*profile->snapshots[snapshot].details);
}

bool Engine::Restore(unsigned index, int snapshot, const wchar_t* item,
                     const wchar_t* destination) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr) return false;
  return Guarded(kTextRestoreFailed, [&] {
    if (profile->deleted || profile->contents.empty()) return false;
    // A selection in use elsewhere is a failure; a catalogue that does not open
    // is not (the manager has reported why).
    if (!LockSelection(*profile, status_)) return false;
    CatalogueCloser closer(this, profile);
    SnapshotManager* catalogue = OpenCatalogue(*profile, status_);
    bool cancelled = status_ != nullptr && status_->IsCancelled();
    if (catalogue != nullptr && !cancelled) {
      catalogue->restoreConflict = restoreConflict_;
      catalogue->restoreCountOnly = restoreCountOnly_;
      catalogue->ListSnapshots();
      catalogue->RestoreItemUnder(snapshot, SourceOfSnapshot(*profile, *catalogue, snapshot),
                                  item != nullptr ? item : L"",
                                  destination != nullptr ? destination : L"", true);
      cancelled = status_ != nullptr && status_->IsCancelled();
    }
    // Files that failed have been reported through the sink; the result only
    // tells whether the restore ran to its end.
    return !cancelled;
  });
}

}  // namespace vaultline
