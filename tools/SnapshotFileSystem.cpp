#include "SnapshotFileSystem.h"

#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <unordered_map>

#include "TimeText.h"
#include "vaultline/Text.h"

namespace vaultline::cli {

namespace {

mode_t TypeOf(StoredItemKind kind) {
  static constexpr mode_t kTypes[] = {S_IFREG,  S_IFDIR, S_IFLNK, S_IFIFO,
                                      S_IFSOCK, S_IFCHR, S_IFBLK};
  return kTypes[static_cast<int>(kind)];
}

SnapshotFileSystem::Node Encode(int view, int item) {
  return (static_cast<uint64_t>(view + 1) << 32) | static_cast<uint32_t>(item + 1);
}

}  // namespace

// A snapshot's items as the folders find them: names as the system takes
// them, each folder's items sorted by name, and the item that stands for
// every name of a file with several.
struct SnapshotFileSystem::Tree {
  const SnapshotFileItem* items = nullptr;
  std::vector<std::string> names;
  std::vector<std::vector<int32_t>> children;  // by folder; top items last
  std::vector<int32_t> first;                  // the item whose node stands for each
  std::vector<uint32_t> links;                 // names of each file; folders within each

  const std::vector<int32_t>& ChildrenOf(int item) const {
    return item < 0 ? children.back() : children[static_cast<size_t>(item)];
  }
};

struct SnapshotFileSystem::Opened {
  int handle;
  bool warned = false;
};

SnapshotFileSystem::SnapshotFileSystem(ISnapshotFiles& files,
                                       std::function<void(const std::wstring&)> warn)
    : files_(files), warn_(std::move(warn)), owner_(getuid()), group_(getgid()) {
  const int count = files_.GetSnapshotCount();
  trees_.resize(static_cast<size_t>(count));
  std::unordered_map<std::string, int> taken;
  for (int snapshot = 0; snapshot < count; ++snapshot) {
    const int64_t time = files_.GetSnapshotTime(snapshot);
    if (time < 0) {
      warn_(L"Snapshot " + std::to_wstring(snapshot) + L" is damaged and is not shown");
      continue;
    }
    // Two snapshots of the same second keep apart by their number.
    std::string name = IsoTimeText(time);
    const int seen = ++taken[name];
    if (seen > 1) name += "_" + std::to_string(seen);
    views_.push_back({name, snapshot, time});
  }
  if (!views_.empty()) views_.push_back({kLatest, views_.back().snapshot, views_.back().time});
}

SnapshotFileSystem::~SnapshotFileSystem() {
  for (auto& opened : opened_) {
    if (opened != nullptr) files_.CloseFile(opened->handle);
  }
}

std::vector<SnapshotFileSystem::TopFolder> SnapshotFileSystem::TopFolders() const {
  std::vector<TopFolder> folders;
  for (const View& view : views_) folders.push_back({view.name, view.snapshot});
  return folders;
}

bool SnapshotFileSystem::Locate(Node node, int* view, int* item) {
  if (node == kTop) {
    *view = -1;
    *item = -1;
    return true;
  }
  const uint64_t high = node >> 32;
  if (high == 0 || high > views_.size()) return false;
  *view = static_cast<int>(high - 1);
  *item = static_cast<int>(node & 0xFFFFFFFFu) - 1;
  if (*item < 0) return true;
  Tree* tree = TreeOf(*view);
  return static_cast<size_t>(*item) < tree->names.size();
}

SnapshotFileSystem::Tree* SnapshotFileSystem::TreeOf(int view) {
  const int snapshot = views_[static_cast<size_t>(view)].snapshot;
  std::unique_ptr<Tree>& tree = trees_[static_cast<size_t>(snapshot)];
  if (tree != nullptr) return tree.get();
  tree = std::make_unique<Tree>();
  bool whole = true;
  const int count = files_.GetItems(snapshot, &tree->items, &whole);
  if (!whole) warn_(files_.GetLastError());
  const auto size = static_cast<size_t>(count);
  tree->names.reserve(size);
  tree->children.resize(size + 1);
  tree->first.resize(size);
  tree->links.assign(size, 1);
  std::unordered_map<uint64_t, int32_t> groups;
  for (size_t i = 0; i < size; ++i) {
    const SnapshotFileItem& item = tree->items[i];
    tree->names.push_back(platform::EncodeName(item.name));
    tree->first[i] = static_cast<int32_t>(i);
    const int32_t parent = item.parent;
    (parent < 0 ? tree->children.back() : tree->children[static_cast<size_t>(parent)])
        .push_back(static_cast<int32_t>(i));
    if (item.kind == StoredItemKind::kFolder) {
      tree->links[i] = 2;
      if (parent >= 0) ++tree->links[static_cast<size_t>(parent)];
    } else if (item.linkGroup != 0) {
      auto [group, added] = groups.emplace(item.linkGroup, static_cast<int32_t>(i));
      tree->first[i] = group->second;
      if (!added) ++tree->links[static_cast<size_t>(group->second)];
    }
  }
  for (auto& children : tree->children) {
    std::sort(children.begin(), children.end(), [&](int32_t a, int32_t b) {
      return tree->names[static_cast<size_t>(a)] < tree->names[static_cast<size_t>(b)];
    });
  }
  return tree.get();
}

SnapshotFileSystem::Node SnapshotFileSystem::NodeOf(int view, const Tree& tree, int item) const {
  return Encode(view, tree.first[static_cast<size_t>(item)]);
}

void SnapshotFileSystem::Describe(int view, int item, struct stat* attributes) {
  *attributes = {};
  attributes->st_uid = owner_;
  attributes->st_gid = group_;
  attributes->st_blksize = 1 << 17;
  if (view < 0 || item < 0) {
    // The top folder and the snapshot folders: their own, named by a time.
    attributes->st_ino = view < 0 ? kTop : Encode(view, -1);
    attributes->st_mode = S_IFDIR | 0555;
    attributes->st_nlink = view < 0 ? 2 + views_.size() : 1;
    const int64_t time = view < 0 ? (views_.empty() ? 0 : views_.back().time)
                                  : views_[static_cast<size_t>(view)].time;
    attributes->st_mtim.tv_sec = attributes->st_ctim.tv_sec = attributes->st_atim.tv_sec = time;
    return;
  }
  Tree& tree = *TreeOf(view);
  const auto at = static_cast<size_t>(tree.first[static_cast<size_t>(item)]);
  const SnapshotFileItem& stored = tree.items[at];
  attributes->st_ino = Encode(view, static_cast<int>(at));
  attributes->st_mode = TypeOf(stored.kind) | static_cast<mode_t>(stored.mode & 07777);
  attributes->st_nlink = tree.links[at];
  if (stored.hasOwner != 0) {
    attributes->st_uid = stored.owner;
    attributes->st_gid = stored.group;
  }
  attributes->st_size = stored.size;
  attributes->st_blocks = (stored.size + 511) / 512;
  attributes->st_mtim.tv_sec = stored.modified;
  attributes->st_mtim.tv_nsec = stored.nanoseconds;
  attributes->st_ctim = attributes->st_atim = attributes->st_mtim;
  if (stored.kind == StoredItemKind::kCharacterDevice ||
      stored.kind == StoredItemKind::kBlockDevice) {
    attributes->st_rdev = makedev(stored.deviceMajor, stored.deviceMinor);
  }
}

int SnapshotFileSystem::Lookup(Node folder, std::string_view name, Node* node,
                               struct stat* attributes) {
  int view = 0;
  int item = 0;
  if (!Locate(folder, &view, &item)) return -ENOENT;
  if (view < 0) {
    for (size_t i = 0; i < views_.size(); ++i) {
      if (views_[i].name != name) continue;
      *node = Encode(static_cast<int>(i), -1);
      Describe(static_cast<int>(i), -1, attributes);
      return 0;
    }
    return -ENOENT;
  }
  Tree& tree = *TreeOf(view);
  if (item >= 0 && tree.items[item].kind != StoredItemKind::kFolder) return -ENOTDIR;
  const std::vector<int32_t>& children = tree.ChildrenOf(item);
  auto found = std::lower_bound(children.begin(), children.end(), name, [&](int32_t a, auto key) {
    return tree.names[static_cast<size_t>(a)] < key;
  });
  if (found == children.end() || tree.names[static_cast<size_t>(*found)] != name) return -ENOENT;
  *node = NodeOf(view, tree, *found);
  Describe(view, *found, attributes);
  return 0;
}

int SnapshotFileSystem::GetAttributes(Node node, struct stat* attributes) {
  int view = 0;
  int item = 0;
  if (!Locate(node, &view, &item)) return -ENOENT;
  Describe(view, item, attributes);
  return 0;
}

void SnapshotFileSystem::ListTop(std::vector<FolderEntry>* entries) const {
  for (size_t i = 0; i < views_.size(); ++i) {
    entries->push_back({views_[i].name, Encode(static_cast<int>(i), -1), S_IFDIR});
  }
}

int SnapshotFileSystem::ReadFolder(Node folder, std::vector<FolderEntry>* entries) {
  int view = 0;
  int item = 0;
  if (!Locate(folder, &view, &item)) return -ENOENT;
  entries->clear();
  if (view < 0) {
    ListTop(entries);
    return 0;
  }
  Tree& tree = *TreeOf(view);
  if (item >= 0 && tree.items[item].kind != StoredItemKind::kFolder) return -ENOTDIR;
  for (int32_t child : tree.ChildrenOf(item)) {
    entries->push_back({tree.names[static_cast<size_t>(child)], NodeOf(view, tree, child),
                        TypeOf(tree.items[child].kind)});
  }
  return 0;
}

int SnapshotFileSystem::ReadLink(Node node, std::string* target) {
  int view = 0;
  int item = 0;
  if (!Locate(node, &view, &item)) return -ENOENT;
  if (item < 0 || TreeOf(view)->items[item].kind != StoredItemKind::kLink) return -EINVAL;
  const wchar_t* stored = files_.GetLinkTarget(views_[static_cast<size_t>(view)].snapshot, item);
  if (stored == nullptr) {
    warn_(files_.GetLastError());
    return -EIO;
  }
  *target = platform::EncodeName(stored);
  return 0;
}

int SnapshotFileSystem::Open(Node node, int flags, uint64_t* handle) {
  int view = 0;
  int item = 0;
  if (!Locate(node, &view, &item)) return -ENOENT;
  if ((flags & O_ACCMODE) != O_RDONLY || (flags & O_TRUNC) != 0) return -EROFS;
  if (item < 0 || TreeOf(view)->items[item].kind == StoredItemKind::kFolder) return -EISDIR;
  const int opened = files_.OpenFile(views_[static_cast<size_t>(view)].snapshot, item);
  if (opened < 0) {
    warn_(files_.GetLastError());
    return -EIO;
  }
  auto free = std::find(opened_.begin(), opened_.end(), nullptr);
  if (free == opened_.end()) free = opened_.insert(free, nullptr);
  *free = std::make_unique<Opened>(Opened{opened});
  *handle = static_cast<uint64_t>(free - opened_.begin()) + 1;
  return 0;
}

int64_t SnapshotFileSystem::Read(uint64_t handle, int64_t offset, char* buffer, int64_t length) {
  if (handle == 0 || handle > opened_.size() || opened_[handle - 1] == nullptr) return -EBADF;
  Opened& opened = *opened_[handle - 1];
  const int64_t got = files_.ReadFile(opened.handle, offset, buffer, length);
  if (got >= 0) return got;
  // A damaged block is named once for each opening, however often it is read.
  if (!opened.warned) warn_(files_.GetLastError());
  opened.warned = true;
  return -EIO;
}

void SnapshotFileSystem::Release(uint64_t handle) {
  if (handle == 0 || handle > opened_.size() || opened_[handle - 1] == nullptr) return;
  files_.CloseFile(opened_[handle - 1]->handle);
  opened_[handle - 1].reset();
  while (!opened_.empty() && opened_.back() == nullptr) opened_.pop_back();
}

}  // namespace vaultline::cli
