#include "catalogue/VersionVisitor.h"

#include "catalogue/RecordExtension.h"

namespace vaultline {

namespace {

// The listed path and everything the records hold of the item's state; a
// folder's count changes with its contents, not with the folder itself.
std::wstring StateKey(const DirEntry& entry, const std::wstring& listed) {
  const RecordExtension state = StateOf(entry);
  std::wstring key = listed;
  key += L'\0';
  for (const int64_t field :
       {static_cast<int64_t>(entry.attributes), static_cast<int64_t>(entry.modifyTime), entry.size,
        static_cast<int64_t>(entry.IsFolder() ? 0 : entry.count),
        static_cast<int64_t>(entry.Kind()), static_cast<int64_t>(state.extension & ~kDirExtended),
        static_cast<int64_t>(state.timeExtra), static_cast<int64_t>(state.tailState)}) {
    key += std::to_wstring(field);
    key += L',';
  }
  return key;
}

}  // namespace

void VersionVisitor::StartSnapshot(unsigned index, const SubtreeWalk& walk) {
  snapshot_ = index;
  walk_ = &walk;
  open_.clear();
  foundHere_.clear();
}

void VersionVisitor::Add(size_t version) {
  std::vector<unsigned>& snapshots = found_[version].snapshots;
  if (!snapshots.empty() && snapshots.back() == snapshot_) return;
  snapshots.push_back(snapshot_);
  foundHere_.push_back(version);
}

void VersionVisitor::Match(const DirEntry& entry, const std::wstring& listed) {
  if (!filter_.Matches(entry, listed)) return;
  const auto [at, added] = byState_.try_emplace(StateKey(entry, listed), found_.size());
  if (added) found_.push_back(Found{entry, listed, {}});
  Add(at->second);
}

bool VersionVisitor::VisitFile(const DirEntry& entry, int64_t /*offset*/) {
  Match(entry, paths_.Of(entry));
  return true;
}

bool VersionVisitor::EnterFolder(const DirEntry& entry, int64_t /*offset*/) {
  const std::wstring listed = paths_.Of(entry);
  Match(entry, listed);
  open_.push_back(OpenFolder{
      {entry.contentOffset, entry.count}, foundHere_.size(), walk_->Damage().size(), true});
  if (!filter_.MayMatchBelow(listed)) open_.back().walked = false;
  return true;
}

bool VersionVisitor::WalkChildren(const DirEntry& folder) {
  OpenFolder& open = open_.back();
  if (!open.walked) return false;
  const auto known = foundBelow_.find({folder.contentOffset, folder.count});
  if (known == foundBelow_.end()) return true;
  for (const size_t version : known->second) Add(version);
  open.walked = false;
  return false;
}

bool VersionVisitor::LeaveFolder(const DirEntry& /*entry*/) {
  const OpenFolder open = open_.back();
  open_.pop_back();
  // What a walk that met damage found below is not the whole of it.
  if (open.walked && walk_->Damage().size() == open.damage) {
    foundBelow_[open.children].assign(foundHere_.begin() + static_cast<ptrdiff_t>(open.firstFound),
                                      foundHere_.end());
  }
  return true;
}

}  // namespace vaultline
