// Creating, renaming, deleting and listing Backup Selections.
#include "core/BuiltInTexts.h"
#include "core/Engine.h"
#include "core/Folders.h"
#include "core/StringList.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/Path.h"
#include "vaultline/FileUtilities.h"
#include "vaultline/ProfileSource.h"

namespace vaultline {

namespace {

std::wstring SelectionSuffix() {
  return std::wstring(platform::kSeparatorText) + L"Dir" + platform::kSeparator + L"file";
}

std::wstring CreationStamp() {
  int32_t now = platform::CurrentTime();
  platform::LocalDateTime local;
  if (!platform::ToLocalTime(now, &local)) return platform::FormatWide(L"_UTC%ld", now);
  return platform::FormatWide(L"%04d%02d%02d%02d%02d%02d", local.year, local.month, local.day,
                              local.hour, local.minute, local.second);
}

}  // namespace

std::wstring Engine::MakeProfileLocation(const std::wstring& /*name*/) {
  std::wstring stamp = CreationStamp();
  std::wstring candidate = storageRoot_ + stamp + SelectionSuffix();
  unsigned found = 0;
  // A folder left on the drive by a selection the configuration no longer
  // names would lend its old snapshots to the new selection.
  while (FindProfileByLocation(candidate, &found) || platform::PathExists(storageRoot_ + stamp)) {
    stamp += L'x';
    candidate = storageRoot_ + stamp + SelectionSuffix();
  }
  CreateFolders(storageRoot_ + stamp + platform::kSeparator + L"Dir", true);
  return candidate;
}

bool Engine::FindProfileByLocation(const std::wstring& location, unsigned* index) {
  if (!profiles_) return false;
  for (size_t i = 0; i < profiles_->size(); ++i) {
    if ((*profiles_)[i]->location == location) {
      *index = static_cast<unsigned>(i);
      return true;
    }
  }
  return false;
}

bool Engine::IsInsideStorage(const std::wstring& path) const {
  std::wstring full = platform::FullPath(path);
  std::wstring root = platform::FullPath(storageRoot_);
  if (root.empty() || root.back() != platform::kSeparator) root += platform::kSeparator;
  return full.size() > root.size() && full.compare(0, root.size(), root) == 0;
}

bool Engine::RemoveProfileStorage(const std::wstring& location) {
  size_t at = location.rfind(SelectionSuffix());
  if (at == 0) return false;
  std::wstring folder = at == std::wstring::npos ? location : location.substr(0, at);
  // Whatever a damaged config.ini names, only a folder inside the storage
  // root is ever removed, and never the root itself.
  if (!IsInsideStorage(folder)) return false;
  return RemoveFolder(platform::FullPath(folder).c_str());
}

bool Engine::CreateProfile(const wchar_t* name, const wchar_t** contents, int /*contentCount*/,
                           int* newIndex) {
  if (!profiles_) profiles_.emplace();
  if (contents == nullptr || contents[0] == nullptr) return false;
  AddProfile(MakeProfileLocation(name != nullptr ? name : L""), name != nullptr ? name : L"",
             contents[0]);
  unsigned index = 0;
  if (!FindProfileByLocation(profiles_->back()->location, &index)) return false;
  if (newIndex != nullptr) *newIndex = static_cast<int>(index);
  return SaveConfiguration();
}

bool Engine::RenameProfile(unsigned index, const wchar_t* name) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr) return false;
  return Guarded(kTextRenameProfileFailed, [&] {
    if (profile->deleted) return false;
    profile->name = name != nullptr ? name : L"";
    return SaveConfiguration();
  });
}

int Engine::SetProfileSource(unsigned index, const std::wstring& path) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr || profile->deleted || path.empty()) return kSourceNotChanged;
  std::wstring source = platform::FullPath(path);
  if (source.size() > 1 && source.back() == platform::kSeparator) source.pop_back();
  platform::FindData found;
  if (source.empty() || !platform::DescribePath(source, &found)) return kSourceMissing;
  const std::vector<std::wstring> previous = profile->contents;
  const bool saved = Guarded(kTextRenameProfileFailed, [&] {
    profile->contents = {source};
    return SaveConfiguration();
  });
  if (!saved) profile->contents = previous;
  return saved ? kSourceChanged : kSourceNotChanged;
}

bool Engine::DeleteProfile(unsigned index) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr) return false;
  return Guarded(kTextDeleteProfileFailed, [&] {
    // Removing the folder under a backup of another process would wreck it.
    if (!profile->deleted && !LockSelection(*profile, status_)) return false;
    profile->catalogue.reset();
    RemoveProfileStorage(profile->location);
    profile->lock.Release();
    profile->snapshots.clear();
    profile->contents.clear();
    profile->deleted = true;
    return SaveConfiguration();
  });
}

StringList Engine::GetProfileNames() {
  std::vector<std::wstring> names;
  if (profiles_) {
    for (const auto& profile : *profiles_) {
      names.push_back(profile->deleted ? std::wstring() : profile->name);
    }
  }
  return MakeStringList(names);
}

StringList Engine::GetProfileContents(unsigned index) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr || profile->deleted || profile->contents.empty()) return nullptr;
  return MakeStringList(profile->contents);
}

StringList Engine::GetProfileLocation(unsigned index) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr) return MakeStringList({});
  return MakeStringList({profile->deleted ? std::wstring() : profile->location});
}

}  // namespace vaultline
