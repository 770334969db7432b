#include "catalogue/SnapshotDiff.h"

#include <map>
#include <optional>

#include "catalogue/ListedPaths.h"
#include "catalogue/RecordExtension.h"
#include "catalogue/SnapshotManager.h"
#include "catalogue/TreeVisitor.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/LinksAndNodes.h"
#include "platform/Owners.h"
#include "platform/Path.h"
#include "platform/Text.h"

namespace vaultline {

namespace {

// Each listed key with the item on either side (-1: none), in path order.
using Pairing = std::map<std::wstring, std::pair<long, long>>;

// Changes of what both sides describe the same way; contents and extended
// attributes are the callers'.
unsigned MetadataChanges(const StoredItem& before, const StoredItem& after, bool exactTimes) {
  if (before.kind != after.kind) return ItemChange::kType;
  unsigned what = 0;
  if ((before.hasMode && after.hasMode && before.mode != after.mode) ||
      before.readOnly != after.readOnly) {
    what |= ItemChange::kMode;
  }
  if (before.hasOwner && after.hasOwner &&
      (before.ownerId != after.ownerId || before.groupId != after.groupId)) {
    what |= ItemChange::kOwner;
  }
  if (before.modified != after.modified ||
      (exactTimes && before.nanoseconds != after.nanoseconds)) {
    what |= ItemChange::kTime;
  }
  if (before.kind == StoredItemKind::kLink && before.linkTarget != after.linkTarget) {
    what |= ItemChange::kLinkTarget;
  }
  return what;
}

// Records that describe the item alike: nothing of it changed.
bool SameRecord(const DirEntry& a, const DirEntry& b) {
  const bool same = a.attributes == b.attributes && a.modifyTime == b.modifyTime &&
                    a.Kind() == b.Kind() && StateOf(a).SameState(StateOf(b));
  if (a.IsFolder()) return same;
  return same && a.size == b.size && a.count == b.count && a.contentOffset == b.contentOffset;
}

void NoteDamage(const StoredItem& item, std::vector<std::wstring>* problems) {
  if (!item.damage.empty()) problems->push_back(item.path + L": " + item.damage);
}

// The change between two records of one item, or nothing.
std::optional<ItemChange> Compare(SnapshotManager& catalogue, const TreeVisitor::Item& a,
                                  const TreeVisitor::Item& b, std::vector<std::wstring>* problems) {
  if (SameRecord(a.entry, b.entry)) return std::nullopt;
  ItemChange change;
  change.before = catalogue.Describe(a.entry, a.listed);
  change.after = catalogue.Describe(b.entry, b.listed);
  NoteDamage(*change.before, problems);
  NoteDamage(*change.after, problems);
  change.what = MetadataChanges(*change.before, *change.after, true);
  if (change.what & ItemChange::kType) return change;
  if (change.before->kind == StoredItemKind::kFile) {
    std::wstring why;
    const int same = catalogue.SameStoredContents(a.entry, b.entry, &why);
    if (same == 0) change.what |= ItemChange::kContents;
    if (same < 0) problems->push_back(b.listed + L": the stored contents are damaged: " + why);
  }
  if (a.entry.tail.attributesCrc != b.entry.tail.attributesCrc &&
      !(change.what & ItemChange::kOwner) && change.before->damage.empty() &&
      change.after->damage.empty()) {
    change.what |= ItemChange::kAttributes;
  }
  if (change.what == 0) return std::nullopt;
  return change;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// A folder on disk as the items a snapshot of it would hold.
class LocalTree {
 public:
  struct Item {
    StoredItem item;
    std::wstring path;  // on disk
  };

  LocalTree(const ListedPaths& paths, const std::wstring& source,
            std::vector<std::wstring>* problems)
      : paths_(paths), source_(source), problems_(problems) {}

  bool Read(const std::wstring& folder) {
    platform::FindData root;
    if (!platform::DescribePath(folder, &root)) {
      problems_->push_back(folder + L" cannot be read");
      return false;
    }
    Add(root, folder, source_);
    if (root.attributes & kFolderAttribute) ReadFolder(folder, source_);
    return true;
  }
  std::vector<Item>& Items() { return items_; }

 private:
  void Add(const platform::FindData& data, const std::wstring& path, const std::wstring& stored) {
    const bool folder = (data.attributes & kFolderAttribute) != 0;
    StoredItem item;
    item.path = paths_.Of(stored, folder);
    static constexpr StoredItemKind kKinds[] = {StoredItemKind::kFile,
                                                StoredItemKind::kLink,
                                                StoredItemKind::kFifo,
                                                StoredItemKind::kSocket,
                                                StoredItemKind::kCharacterDevice,
                                                StoredItemKind::kBlockDevice};
    item.kind = folder ? StoredItemKind::kFolder : kKinds[static_cast<size_t>(data.kind)];
    item.hasMode = data.exact;
    item.mode = static_cast<uint16_t>(data.permissions | data.specialMode);
    item.readOnly = (data.attributes & kReadOnlyAttribute) != 0;
    item.hasOwner = data.exact;
    item.ownerId = data.ownerId;
    item.groupId = data.groupId;
    item.owner = platform::OwnerName(data.ownerId);
    item.group = platform::GroupName(data.groupId);
    item.size = folder ? 0 : static_cast<int64_t>(data.size);
    item.modified = data.exact ? data.lastWriteSeconds : data.lastWriteTime;
    item.nanoseconds = data.exact ? data.lastWriteNanoseconds : 0;
    item.deviceMajor = data.deviceMajor;
    item.deviceMinor = data.deviceMinor;
    if (item.kind == StoredItemKind::kLink) {
      std::string target;
      if (platform::ReadLinkTarget(path, &target)) item.linkTarget = platform::DecodeName(target);
    }
    items_.push_back(Item{std::move(item), path});
  }

  void ReadFolder(const std::wstring& folder, const std::wstring& stored) {
    std::vector<platform::FindData> entries;
    std::vector<std::wstring> undescribed;
    if (!platform::ListFolder(folder, &entries, &undescribed)) {
      problems_->push_back(folder + L" cannot be listed");
      return;
    }
    for (const std::wstring& name : undescribed) {
      problems_->push_back(JoinName(folder, name) + L" cannot be read");
    }
    for (const platform::FindData& entry : entries) {
      const std::wstring path = JoinName(folder, entry.name);
      const std::wstring storedPath = JoinName(stored, entry.name);
      Add(entry, path, storedPath);
      if (entry.attributes & kFolderAttribute) ReadFolder(path, storedPath);
    }
  }

  static std::wstring JoinName(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && folder.back() == platform::kSeparator) return folder + name;
    return folder + platform::kSeparator + name;
  }

  const ListedPaths& paths_;
  const std::wstring& source_;
  std::vector<std::wstring>* problems_;
  std::vector<Item> items_;
};

}  // namespace

bool DiffStoredSnapshots(SnapshotManager& catalogue, const ListedPaths& paths, int from, int to,
                         std::vector<ItemChange>* changes, std::vector<std::wstring>* problems) {
  TreeVisitor before(paths);
  SubtreeWalk firstWalk = catalogue.NewWalk();
  if (!catalogue.WalkSnapshot(from, firstWalk, before, problems)) return false;
  // Children records the first walk read are the same in the second, unless
  // some could not be read: then the second reads all of its own.
  const std::set<TreeVisitor::Children> none;
  TreeVisitor after(paths, firstWalk.Damaged() ? &none : &before.FolderChildren());
  SubtreeWalk secondWalk = catalogue.NewWalk();
  if (!catalogue.WalkSnapshot(to, secondWalk, after, problems)) return false;

  Pairing pairing;
  for (size_t i = 0; i < before.Items().size(); ++i) {
    pairing[ListedPaths::KeyOf(before.Items()[i].listed)] = {static_cast<long>(i), -1};
  }
  for (const std::wstring& folder : after.PassedOver()) {
    for (auto at = pairing.upper_bound(ListedPaths::KeyOf(folder));
         at != pairing.end() && StartsWith(at->first, folder);) {
      at = pairing.erase(at);
    }
  }
  for (size_t i = 0; i < after.Items().size(); ++i) {
    auto [at, added] = pairing.try_emplace(ListedPaths::KeyOf(after.Items()[i].listed), -1, -1);
    at->second.second = static_cast<long>(i);
  }
  for (const auto& [key, sides] : pairing) {
    const auto [a, b] = sides;
    if (b < 0) {
      ItemChange change{ItemChange::kRemoved,
                        catalogue.Describe(before.Items()[a].entry, before.Items()[a].listed),
                        std::nullopt};
      changes->push_back(std::move(change));
    } else if (a < 0) {
      changes->push_back(
          ItemChange{ItemChange::kAdded, std::nullopt,
                     catalogue.Describe(after.Items()[b].entry, after.Items()[b].listed)});
    } else if (auto change = Compare(catalogue, before.Items()[a], after.Items()[b], problems)) {
      changes->push_back(std::move(*change));
    }
  }
  return true;
}

bool DiffSnapshotWithFolder(SnapshotManager& catalogue, const ListedPaths& paths,
                            const std::wstring& source, int snapshot, const std::wstring& folder,
                            std::vector<ItemChange>* changes, std::vector<std::wstring>* problems) {
  TreeVisitor stored(paths);
  SubtreeWalk walk = catalogue.NewWalk();
  if (!catalogue.WalkSnapshot(snapshot, walk, stored, problems)) return false;
  LocalTree local(paths, source, problems);
  if (!local.Read(folder)) return false;

  Pairing pairing;
  for (size_t i = 0; i < stored.Items().size(); ++i) {
    pairing[ListedPaths::KeyOf(stored.Items()[i].listed)] = {static_cast<long>(i), -1};
  }
  for (size_t i = 0; i < local.Items().size(); ++i) {
    auto [at, added] = pairing.try_emplace(ListedPaths::KeyOf(local.Items()[i].item.path), -1, -1);
    at->second.second = static_cast<long>(i);
  }
  for (const auto& [key, sides] : pairing) {
    const auto [a, b] = sides;
    if (b < 0) {
      changes->push_back(ItemChange{
          ItemChange::kRemoved,
          catalogue.Describe(stored.Items()[a].entry, stored.Items()[a].listed), std::nullopt});
      continue;
    }
    if (a < 0) {
      changes->push_back(ItemChange{ItemChange::kAdded, std::nullopt, local.Items()[b].item});
      continue;
    }
    const DirEntry& entry = stored.Items()[a].entry;
    ItemChange change;
    change.before = catalogue.Describe(entry, stored.Items()[a].listed);
    change.after = local.Items()[b].item;
    NoteDamage(*change.before, problems);
    const bool exactTimes = (entry.extension & kDirHasExactTime) != 0;
    change.what = MetadataChanges(*change.before, *change.after, exactTimes);
    if (!(change.what & ItemChange::kType) && change.before->kind == StoredItemKind::kFile) {
      // As a backup judges it: the same size and time mean the same file.
      if (change.before->size != change.after->size) {
        change.what |= ItemChange::kContents;
      } else if (change.what & ItemChange::kTime) {
        std::wstring why;
        const int same = catalogue.SameAsFile(entry, local.Items()[b].path, &why);
        if (same == 0) change.what |= ItemChange::kContents;
        if (same < 0) problems->push_back(change.before->path + L": " + why);
      }
    }
    if (change.what != 0) changes->push_back(std::move(change));
  }
  return true;
}

}  // namespace vaultline
