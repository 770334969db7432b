#include "catalogue/SourceScanner.h"

#include "catalogue/SourceFilter.h"
#include "platform/Path.h"
#include "platform/Text.h"

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
  return EncodeExtension(data_.permissions,
                         ExactTime{data_.lastWriteSeconds, data_.lastWriteNanoseconds});
}

void SourceScanner::Open(std::wstring_view path, uint64_t sizeLimit) {
  listing_.clear();
  listed_ = false;
  notStored_ = false;
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
  // A folder that cannot be searched lists no entries.
  listFailed_ = !platform::ListFolder(fullPath_, &entries);
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
  return platform::Utf16Length(fullPath_) <= kMaxRecordedPathUnits;
}

}  // namespace vaultline
