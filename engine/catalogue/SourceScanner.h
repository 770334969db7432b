// One file or folder of the computer as it was when the scanner was opened:
// whether it exists, its full path, attributes, size, last-write time and,
// for a folder, its entries. Reads no contents and holds no handle between
// calls. The snapshot manager keeps one per level of its walks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/AttributeList.h"
#include "catalogue/ItemTail.h"
#include "catalogue/RecordExtension.h"
#include "platform/FileSystem.h"

namespace vaultline {

class SourceFilter;

// Longest full path a directory record can hold, in UTF-16 units.
inline constexpr size_t kMaxRecordedPathUnits = 511;

class SourceScanner {
 public:
  SourceScanner() = default;
  SourceScanner(std::wstring_view path, uint64_t sizeLimit) { Open(path, sizeLimit); }
  // A child described by its parent's listing: the folder search already
  // delivered what a new search for it would, so it is not searched again.
  // It lists its entries through its parent's filter.
  SourceScanner(const SourceScanner& parent, const platform::FindData& entry, uint64_t sizeLimit);

  // (Re)opens on `path`; sizeLimit 0 means no limit for the listing.
  void Open(std::wstring_view path, uint64_t sizeLimit);
  // The file-system root: a folder with time 0 and size 0, never searched.
  void MarkAsDriveRoot();

  // Leaves out of every listing below this item what `filter` excludes (null:
  // nothing). Set before the first listing; the filter must outlive the walk.
  void SetFilter(const SourceFilter* filter) { filter_ = filter; }

  // The folder's entries in name order, without those above the size limit
  // and those the filter leaves out; null when the item does not exist or is
  // not a folder. Listed once.
  const std::vector<platform::FindData>* ListEntries();
  // True once ListEntries found a folder it could not search.
  bool ListFailed() const { return listFailed_; }
  // Full paths of the entries the listing found and could not describe
  // (they vanished, or the folder may be read but not searched).
  const std::vector<std::wstring>& Undescribed() const { return undescribed_; }
  // The entries a sound listing found, moved out; this item is listed no
  // more (ListEntries then gives none).
  std::vector<platform::FindData> TakeListing();
  // Lists the folder as `entries`, a listing of it taken a moment ago under
  // the same filter, instead of searching it again; the size limit still
  // applies.
  void UseListing(std::vector<platform::FindData> entries);

  uint32_t Attributes() const { return Exists() ? data_.attributes : 0; }
  uint64_t Size() const { return Exists() ? data_.size : 0; }
  bool IsFolder() const { return Exists() && (data_.attributes & platform::kAttributeFolder) != 0; }
  bool IsFile() const { return Exists() && !IsFolder(); }
  const std::wstring& FullPath() const { return fullPath_; }
  int32_t ModifyTime() const { return Exists() ? data_.lastWriteTime : 0; }
  // The full time, as recorded (brought into the recordable range).
  ExactTime ExactModifyTime() const {
    if (!Exists() || !data_.exact) return ExactTime{ModifyTime(), 0};
    return ExactTime{data_.lastWriteSeconds, data_.lastWriteNanoseconds};
  }
  // Permission bits, exact time and the tail's state as a record carries
  // them; none for a missing item or a drive root.
  RecordExtension Extension() const;
  platform::ItemKind Kind() const { return Exists() ? data_.kind : platform::ItemKind::kPlain; }
  bool IsSymbolicLink() const { return Kind() == platform::ItemKind::kSymbolicLink; }
  // What the item's record says beyond the plain layout: every item the
  // file system described has one.
  bool HasTail() const;
  ItemTail Tail() const;
  // Owner, group, hard links and extended attributes; read once.
  const AttributeList& ItemAttributes() const;
  // The extended attributes could not be read: the list holds none.
  bool AttributesUnreadable() const { return ItemAttributes(), attributesUnreadable_; }
  // Where the attribute list lies in the content file, once stored.
  void SetAttributesOffset(int64_t offset) { attributesOffset_ = offset; }
  // The item shares its file with other names.
  bool IsHardLinked() const { return IsFile() && data_.linkCount > 1; }
  // A record of it leaves no room for its tail: recorded without one.
  bool TailFits() const;
  void DropTail() { tailDropped_ = true; }
  // 0 when missing, 1 for a file, the number of listed entries for a folder.
  int32_t EntryCount();
  bool Exists() const { return !fullPath_.empty(); }
  // False when the full path is too long for a directory record (of its
  // kind: a link or special file is nothing without its tail).
  bool IsRecordable() const;

  // The size the store read, when the file changed size after it was listed:
  // the record must describe what was stored.
  void SetStoredSize(uint64_t size) { data_.size = size; }
  void MarkNotStored() {
    data_.size = 0;
    notStored_ = true;
  }
  bool IsNotStored() const { return notStored_; }

 private:
  // Brings a time outside what a record can hold to the nearest it can, so
  // that the key's seconds and the recorded time agree.
  void KeepTimeRecordable();
  bool WithinSizeLimit(const platform::FindData& entry) const {
    return sizeLimit_ == 0 || entry.size <= sizeLimit_;
  }

  std::wstring fullPath_;
  platform::FindData data_;
  uint64_t sizeLimit_ = 0;
  const SourceFilter* filter_ = nullptr;
  std::vector<platform::FindData> listing_;
  std::vector<std::wstring> undescribed_;
  bool listed_ = false;
  bool listFailed_ = false;
  bool notStored_ = false;
  bool tailDropped_ = false;
  mutable std::optional<AttributeList> attributes_;
  mutable uint32_t attributesCrc_ = 0;
  mutable bool attributesUnreadable_ = false;
  int64_t attributesOffset_ = -1;
};

}  // namespace vaultline
