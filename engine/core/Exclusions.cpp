// A selection's exclusion patterns: listing, changing and trying them.
#include "catalogue/SourceFilter.h"
#include "core/BuiltInTexts.h"
#include "core/Engine.h"
#include "core/ExclusionFile.h"
#include "core/StringList.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/Path.h"

namespace vaultline {

bool Engine::LoadExclusions(ExclusionFile* file) {
  if (file->Load()) return true;
  Report(kMessageError, FormatEngineText(provider_, kTextExclusionsUnreadable,
                                         platform::SystemErrorText(platform::LastError())));
  return false;
}

StringList Engine::GetExclusions(unsigned index) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr || profile->deleted) return nullptr;
  ExclusionFile file(profile->location);
  if (!LoadExclusions(&file)) return nullptr;
  return MakeStringList(file.Patterns());
}

bool Engine::ChangeExclusions(unsigned index, const std::function<bool(ExclusionFile&)>& change) {
  Profile* profile = ProfileAt(index);
  // A location a damaged config.ini points elsewhere is never written to.
  if (profile == nullptr || profile->deleted || !IsInsideStorage(profile->location)) return false;
  // Read, change and write under the lock, so that a change another process
  // makes at the same moment is not lost.
  const bool heldBefore = profile->lock.IsHeld();
  if (!LockSelection(*profile, status_)) return false;
  ExclusionFile file(profile->location);
  bool changed = LoadExclusions(&file) && change(file);
  if (changed && !file.Save()) {
    Report(kMessageError, FormatEngineText(provider_, kTextExclusionsNotSaved,
                                           platform::SystemErrorText(platform::LastError())));
    changed = false;
  }
  if (!heldBefore) profile->lock.Release();
  return changed;
}

bool Engine::AddExclusion(unsigned index, const wchar_t* pattern) {
  if (pattern == nullptr || !ExclusionFile::IsStorablePattern(pattern)) return false;
  return ChangeExclusions(index, [&](ExclusionFile& file) {
    file.Add(pattern);
    return true;
  });
}

bool Engine::RemoveExclusion(unsigned index, const wchar_t* pattern) {
  if (pattern == nullptr) return false;
  return ChangeExclusions(index, [&](ExclusionFile& file) { return file.Remove(pattern); });
}

int Engine::TestExclusion(unsigned index, const wchar_t* path, StringList* decidedBy) {
  if (decidedBy != nullptr) *decidedBy = MakeStringList({});
  Profile* profile = ProfileAt(index);
  if (profile == nullptr || profile->deleted || profile->contents.empty() || path == nullptr) {
    return -1;
  }
  ExclusionFile file(profile->location);
  if (!LoadExclusions(&file)) return -1;
  const ExclusionRules rules(file.Lines());
  std::wstring root = platform::FullPath(profile->contents.front());
  if (root.size() > 1 && root.back() == platform::kSeparator) root.pop_back();
  std::wstring item = platform::FullPath(path);
  const bool markedFolder = !item.empty() && item.back() == platform::kSeparator;
  if (root.empty() || item.empty()) return -1;
  if (markedFolder && item.size() > 1) item.pop_back();
  if (item == root) return 0;  // the source itself is always backed up
  const SourceFilter filter(rules, root);
  if (!filter.Covers(item)) return -1;
  const bool isFolder = platform::PathExists(item) ? platform::IsFolder(item) : markedFolder;
  const SourceFilter::Decision decision = filter.Explain(item, isFolder);
  if (decidedBy != nullptr && !decision.pattern.empty()) {
    ReleaseList(*decidedBy);
    *decidedBy = MakeStringList({decision.pattern, decision.path});
  }
  return decision.excluded ? 1 : 0;
}

}  // namespace vaultline
