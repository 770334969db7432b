#include "catalogue/SourceScanner.h"

#include <cerrno>

#include "catalogue/SourceFilter.h"
#include "platform/File.h"
#include "platform/Owners.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "util/Crc32.h"

namespace vaultline {

SourceScanner::SourceScanner(const SourceScanner& parent, const platform::FindData& entry,
                             uint64_t sizeLimit)
    : data_(entry), sizeLimit_(sizeLimit), filter_(parent.filter_) {
  fullPath_ = parent.FullPath();
  if (fullPath_.empty() || fullPath_.back() != platform::kSeparator) {
    fullPath_.push_back(platform::kSeparator);
  }
  fullPath_ += entry.name;
  if (data_.attributes == 0x80) data_.attributes = 0;
  KeepTimeRecordable();
}

void SourceScanner::KeepTimeRecordable() {
  if (!data_.exact) return;
  const ExactTime time =
      RecordableTime(ExactTime{data_.lastWriteSeconds, data_.lastWriteNanoseconds});
  data_.lastWriteSeconds = time.seconds;
  data_.lastWriteNanoseconds = time.nanoseconds;
  data_.lastWriteTime = LowSeconds(time.seconds);
}

RecordExtension SourceScanner::Extension() const {
  if (!Exists() || !data_.exact) return RecordExtension{};
  RecordExtension extension = EncodeExtension(
      data_.permissions, ExactTime{data_.lastWriteSeconds, data_.lastWriteNanoseconds});
  if (HasTail()) {
    const ItemTail tail = Tail();
    extension.extension |= kDirHasTail;
    extension.tailState = tail.State();
    extension.attributesOffset = tail.attributesOffset;
  }
  return extension;
}

bool SourceScanner::HasTail() const {
  return Exists() && data_.exact && !tailDropped_;
}

ItemTail SourceScanner::Tail() const {
  ItemTail tail;
  tail.kind = data_.kind;
  tail.specialMode = data_.specialMode;
  tail.deviceMajor = data_.deviceMajor;
  tail.deviceMinor = data_.deviceMinor;
  ItemAttributes();
  tail.attributesCrc = attributesCrc_;
  tail.attributesOffset = attributesOffset_;
  return tail;
}

const AttributeList& SourceScanner::ItemAttributes() const {
  if (attributes_) return *attributes_;
  AttributeList& list = attributes_.emplace();
  list.ownerId = data_.ownerId;
  list.groupId = data_.groupId;
  list.ownerName = platform::OwnerName(data_.ownerId);
  list.groupName = platform::GroupName(data_.groupId);
  if (IsHardLinked()) {
    // One value for every name of the file; never 0, which means none.
    list.linkGroup = (data_.fileId ^ (data_.fileSystemId * 0x9E3779B97F4A7C15)) | 1;
  }
  // An item gone since it was listed is reported as such when it is stored.
  attributesUnreadable_ = Exists() && data_.exact &&
                          !platform::ReadExtendedAttributes(fullPath_, &list.attributes) &&
                          platform::LastError() != ENOENT;
  const std::string bytes = list.Encode();
  attributesCrc_ = Crc32(bytes.data(), bytes.size());
  if (attributesCrc_ == 0) attributesCrc_ = 0xFFFFFFFF;
  return list;
}

bool SourceScanner::TailFits() const {
  return platform::Utf16Length(fullPath_) <= kMaxTailedNameUnits;
}

void SourceScanner::Open(std::wstring_view path, uint64_t sizeLimit) {
  listing_.clear();
  undescribed_.clear();
  listed_ = false;
  notStored_ = false;
  tailDropped_ = false;
  attributes_.reset();
  attributesOffset_ = -1;
  sizeLimit_ = sizeLimit;
  data_ = platform::FindData{};
  fullPath_ = platform::FullPath(path);
  if (fullPath_.empty()) return;
  // Stored names and the paths built below them carry no trailing separator.
  if (fullPath_.size() > 1 && fullPath_.back() == platform::kSeparator) fullPath_.pop_back();
  if (fullPath_.size() == 1 && fullPath_[0] == platform::kSeparator) {
    MarkAsDriveRoot();
    return;
  }
  if (!platform::DescribePath(fullPath_, &data_)) {
    fullPath_.clear();
    data_ = platform::FindData{};
    return;
  }
  if (data_.attributes == 0x80) data_.attributes = 0;
  KeepTimeRecordable();
}

void SourceScanner::MarkAsDriveRoot() {
  data_.exact = false;
  data_.attributes = platform::kAttributeFolder;
  data_.lastWriteTime = 0;
  data_.size = 0;
}

const std::vector<platform::FindData>* SourceScanner::ListEntries() {
  if (!Exists()) return nullptr;
  if (listed_) return &listing_;
  if (!IsFolder()) return nullptr;
  std::vector<platform::FindData> entries;
  std::vector<std::wstring> undescribed;
  // A folder that cannot be searched lists no entries.
  listFailed_ = !platform::ListFolder(fullPath_, &entries, &undescribed);
  for (const std::wstring& name : undescribed) {
    const std::wstring path = fullPath_ + platform::kSeparator + name;
    if (filter_ == nullptr || filter_->Keeps(path, false)) undescribed_.push_back(path);
  }
  if (!listFailed_) {
    listing_.reserve(entries.size());
    for (auto& entry : entries) {
      if (!WithinSizeLimit(entry)) continue;
      if (filter_ != nullptr &&
          !filter_->Keeps(fullPath_ + platform::kSeparator + entry.name,
                          (entry.attributes & platform::kAttributeFolder) != 0)) {
        continue;
      }
      listing_.push_back(std::move(entry));
    }
  }
  listed_ = true;
  return &listing_;
}

std::vector<platform::FindData> SourceScanner::TakeListing() {
  std::vector<platform::FindData> taken;
  taken.swap(listing_);
  return taken;
}

void SourceScanner::UseListing(std::vector<platform::FindData> entries) {
  listing_.clear();
  listing_.reserve(entries.size());
  for (auto& entry : entries) {
    if (WithinSizeLimit(entry)) listing_.push_back(std::move(entry));
  }
  listed_ = true;
  listFailed_ = false;
}

int32_t SourceScanner::EntryCount() {
  if (!Exists()) return 0;
  if (!IsFolder()) return 1;
  return static_cast<int32_t>(ListEntries()->size());
}

bool SourceScanner::IsRecordable() const {
  if (Kind() != platform::ItemKind::kPlain) return TailFits();
  return platform::Utf16Length(fullPath_) <= kMaxRecordedPathUnits;
}

}  // namespace vaultline
