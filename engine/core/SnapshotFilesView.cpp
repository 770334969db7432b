#include "core/SnapshotFilesView.h"

#include "catalogue/RecordExtension.h"
#include "catalogue/StoredItems.h"
#include "platform/Format.h"
#include "platform/Path.h"
#include "platform/Text.h"

namespace vaultline {

namespace {

uint32_t ModeOf(const DirEntry& entry) {
  if (entry.Kind() == platform::ItemKind::kSymbolicLink) return 0777;
  if (HasPermissions(entry)) {
    return PermissionsOf(entry) | (entry.HasTail() ? entry.tail.specialMode : 0);
  }
  const uint32_t mode = entry.IsFolder() ? 0755 : 0644;
  return (entry.attributes & kReadOnlyAttribute) != 0 ? mode & ~0222u : mode;
}

std::wstring NameOf(const std::wstring& path) {
  const size_t separator = path.rfind(platform::kSeparator);
  if (separator == std::wstring::npos || separator + 1 == path.size()) return path;
  return path.substr(separator + 1);
}

}  // namespace

SnapshotFilesView::SnapshotFilesView(std::unique_ptr<SelectionLock> lock,
                                     const std::wstring& location)
    : lock_(std::move(lock)), reader_(location) {
  if (reader_.IsOpen()) trees_.resize(reader_.SnapshotCount());
}

SnapshotFilesView::~SnapshotFilesView() {
  for (auto& [handle, opened] : opened_) reader_.CloseFile(*opened.file);
}

int SnapshotFilesView::GetSnapshotCount() {
  return static_cast<int>(trees_.size());
}

int64_t SnapshotFilesView::GetSnapshotTime(int snapshot) {
  if (snapshot < 0 || static_cast<size_t>(snapshot) >= trees_.size()) return -1;
  if (reader_.IsDamaged(static_cast<size_t>(snapshot))) return -1;
  return reader_.TimeOf(static_cast<size_t>(snapshot));
}

SnapshotFilesView::Tree* SnapshotFilesView::TreeOf(int snapshot) {
  if (snapshot < 0 || static_cast<size_t>(snapshot) >= trees_.size()) return nullptr;
  Tree& tree = trees_[static_cast<size_t>(snapshot)];
  if (tree.read) return &tree;
  tree.read = true;
  tree.whole = reader_.ReadTree(static_cast<size_t>(snapshot), &tree.records, &tree.why);
  if (!tree.whole) {
    tree.why =
        platform::FormatWide(L"Snapshot %d cannot be read whole: %ls", snapshot, tree.why.c_str());
  }
  tree.names.reserve(tree.records.size());
  for (const SnapshotReader::Item& record : tree.records) {
    tree.names.push_back(NameOf(record.entry.name));
  }
  // The names are in place: their texts no longer move.
  tree.items.reserve(tree.records.size());
  for (size_t i = 0; i < tree.records.size(); ++i) {
    tree.items.push_back(ItemOf(tree.records[i]));
    tree.items.back().name = tree.names[i].c_str();
  }
  return &tree;
}

SnapshotFileItem SnapshotFilesView::ItemOf(const SnapshotReader::Item& record) {
  const DirEntry& entry = record.entry;
  SnapshotFileItem item{};
  item.parent = record.parent;
  item.kind = KindOfRecord(entry);
  item.mode = ModeOf(entry);
  AttributeList list;
  std::wstring why;
  if (reader_.ReadAttributes(entry, &list, &why)) {
    item.hasOwner = 1;
    item.owner = list.OwnerHere();
    item.group = list.GroupHere();
    item.linkGroup = list.linkGroup;
  }
  const ExactTime time = DecodeTime(entry);
  item.modified = time.seconds;
  item.nanoseconds = time.nanoseconds;
  item.size = entry.IsFolder() ? 0 : entry.size;
  if (entry.HasTail()) {
    item.deviceMajor = entry.tail.deviceMajor;
    item.deviceMinor = entry.tail.deviceMinor;
  }
  return item;
}

int SnapshotFilesView::GetItems(int snapshot, const SnapshotFileItem** items, bool* whole) {
  Tree* tree = TreeOf(snapshot);
  *items = nullptr;
  *whole = tree != nullptr && tree->whole;
  if (tree == nullptr) {
    lastError_ = platform::FormatWide(L"There is no snapshot %d", snapshot);
    return 0;
  }
  if (!tree->whole) lastError_ = tree->why;
  *items = tree->items.data();
  return static_cast<int>(tree->items.size());
}

const DirEntry* SnapshotFilesView::RecordOf(int snapshot, int item) {
  Tree* tree = TreeOf(snapshot);
  if (tree == nullptr || item < 0 || static_cast<size_t>(item) >= tree->records.size()) {
    lastError_ = platform::FormatWide(L"Snapshot %d holds no item %d", snapshot, item);
    return nullptr;
  }
  return &tree->records[static_cast<size_t>(item)].entry;
}

void SnapshotFilesView::Damaged(const DirEntry& entry, const std::wstring& why) {
  lastError_ = platform::FormatWide(L"The stored contents of %ls are damaged: %ls",
                                    entry.name.c_str(), why.c_str());
}

const wchar_t* SnapshotFilesView::GetLinkTarget(int snapshot, int item) {
  const DirEntry* entry = RecordOf(snapshot, item);
  if (entry == nullptr) return nullptr;
  std::string target;
  std::wstring why;
  if (!reader_.ReadLinkTarget(*entry, &target, &why)) {
    Damaged(*entry, why);
    return nullptr;
  }
  linkTarget_ = platform::DecodeName(target);
  return linkTarget_.c_str();
}

int SnapshotFilesView::OpenFile(int snapshot, int item) {
  const DirEntry* entry = RecordOf(snapshot, item);
  if (entry == nullptr) return -1;
  std::wstring why;
  std::unique_ptr<StoredFileReader::File> file = reader_.OpenFile(*entry, &why);
  if (file == nullptr) {
    Damaged(*entry, why);
    return -1;
  }
  const int handle = nextHandle_++;
  opened_[handle] = {entry, std::move(file)};
  return handle;
}

int64_t SnapshotFilesView::ReadFile(int handle, int64_t offset, void* buffer, int64_t length) {
  auto opened = opened_.find(handle);
  if (opened == opened_.end()) {
    lastError_ = L"The file is not open";
    return -1;
  }
  std::wstring why;
  const int64_t got =
      reader_.Read(*opened->second.file, offset, static_cast<uint8_t*>(buffer), length, &why);
  if (got < 0) Damaged(*opened->second.entry, why);
  return got;
}

void SnapshotFilesView::CloseFile(int handle) {
  auto opened = opened_.find(handle);
  if (opened == opened_.end()) return;
  reader_.CloseFile(*opened->second.file);
  opened_.erase(opened);
}

}  // namespace vaultline
