#include "catalogue/SnapshotReader.h"

#include "blockstore/DataFile.h"
#include "blockstore/RecordFileOpener.h"
#include "catalogue/DirectoryFile.h"
#include "catalogue/SnapshotFile.h"
#include "catalogue/SubtreeWalk.h"
#include "platform/File.h"
#include "platform/Format.h"

namespace vaultline {

namespace {

// Each item with the folder that holds it.
class TreeVisitor : public RecordVisitor {
 public:
  explicit TreeVisitor(std::vector<SnapshotReader::Item>* items) : items_(items) {}

  bool VisitFile(const DirEntry& entry, int64_t /*offset*/) override {
    Add(entry);
    return true;
  }
  bool EnterFolder(const DirEntry& entry, int64_t /*offset*/) override {
    Add(entry);
    folders_.push_back(static_cast<int32_t>(items_->size() - 1));
    return true;
  }
  bool LeaveFolder(const DirEntry& /*entry*/) override {
    folders_.pop_back();
    return true;
  }

 private:
  void Add(const DirEntry& entry) {
    items_->push_back({entry, folders_.empty() ? -1 : folders_.back()});
  }

  std::vector<SnapshotReader::Item>* items_;
  std::vector<int32_t> folders_;
};

int OpenForReading(const std::wstring& path) {
  return platform::OpenFile(path, platform::OpenMode::kRead);
}

}  // namespace

SnapshotReader::SnapshotReader(const std::wstring& location) {
  dataStream_ = RecordFileOpener().Open(location, RecordFileOpener::Kind::kData, false);
  contentFd_ = OpenForReading(location + L".fp");
  directoryStream_ =
      RecordFileOpener().Open(location + L".dir", RecordFileOpener::Kind::kDirectory, false);
  if (dataStream_ == nullptr || contentFd_ < 0 || directoryStream_ == nullptr) return;
  data_ = std::make_unique<DataFile>(*dataStream_);
  directory_ = std::make_unique<DirectoryFile>(*directoryStream_);
  files_ = std::make_unique<StoredFileReader>(*data_, threads_);
  ReadEntries(location + L".snp");
}

SnapshotReader::~SnapshotReader() {
  files_.reset();
  directory_.reset();
  data_.reset();
  if (contentFd_ >= 0) platform::CloseFile(contentFd_);
}

void SnapshotReader::ReadEntries(const std::wstring& snapshotPath) {
  const std::unique_ptr<RecordStream> stream =
      RecordFileOpener().Open(snapshotPath, RecordFileOpener::Kind::kSnapshots, false);
  if (stream == nullptr) return;
  SnapshotFile file(*stream, snapshotPath);
  file.SetDirectorySize(directory_->LogicalEnd());
  SnapEntry entry;
  int result = file.ReadEntry(0, &entry);
  while (result == 0) {
    entries_.push_back(
        {entry.snapshotTime, entry.damaged, entry.source.rootOffset, entry.source.endOffset});
    if (!entry.damaged && entry.extended) {
      extended_.Add(entry.source.rootOffset, entry.source.endOffset);
    }
    result = file.ReadNextEntry(&entry);
  }
  // The end of the sound entries (-2) is the only way a sound file ends.
  open_ = result == -2;
}

bool SnapshotReader::ReadTree(size_t snapshot, std::vector<Item>* items, std::wstring* why) {
  items->clear();
  const Entry& entry = entries_[snapshot];
  if (entry.damaged) {
    *why = L"its entry in the snapshot file is damaged";
    return false;
  }
  // A source that produced no records has an empty range.
  if (entry.rootOffset == entry.endOffset) return true;
  TreeVisitor visitor(items);
  SubtreeWalk walk(*directory_, &extended_);
  if (walk.Walk(entry.rootOffset, 1, visitor)) return true;
  *why = L"records of the folder";
  for (const DamagedFolder& damaged : walk.Damage()) {
    *why += L" \"" + damaged.folder + L"\"";
  }
  *why += L" cannot be read";
  return false;
}

bool SnapshotReader::ReadRaw(int64_t contentOffset, const std::wstring& name, int64_t size,
                             std::string* bytes, std::wstring* why) {
  ContentRecord record;
  const ContentRecord::Check check =
      ContentRecord::Read(contentFd_, contentOffset, name, size, data_->LogicalEnd(), &record, why);
  if (check == ContentRecord::Check::kReadError) {
    *why = platform::FormatWide(L"they could not be read: %ls",
                                platform::SystemErrorText(platform::LastError()).c_str());
    return false;
  }
  if (check != ContentRecord::Check::kSound) return false;
  if (record.header.layout != FpHeader::kLayoutRaw) {
    *why = L"they are not held raw";
    return false;
  }
  bytes->assign(record.raw.begin(), record.raw.end());
  return true;
}

bool SnapshotReader::ReadAttributes(const DirEntry& entry, AttributeList* list, std::wstring* why) {
  why->clear();
  if (!entry.HasTail() || entry.tail.attributesOffset < 0) return false;
  const int64_t at = entry.tail.attributesOffset;
  auto known = lists_.find(at);
  if (known == lists_.end()) {
    std::string bytes;
    if (!ReadRaw(at, std::wstring(), -1, &bytes, why)) return false;
    known = lists_.emplace(at, std::move(bytes)).first;
  }
  if (AttributeList::DecodeStored(known->second, entry.tail.attributesCrc, list)) return true;
  *why = L"they do not match their record";
  return false;
}

bool SnapshotReader::ReadLinkTarget(const DirEntry& entry, std::string* target, std::wstring* why) {
  return ReadRaw(entry.contentOffset, entry.name, entry.size, target, why);
}

std::unique_ptr<StoredFileReader::File> SnapshotReader::OpenFile(const DirEntry& entry,
                                                                 std::wstring* why) {
  return files_->Open(contentFd_, entry.contentOffset, entry.name, entry.size, why);
}

int64_t SnapshotReader::Read(const StoredFileReader::File& file, int64_t offset, uint8_t* buffer,
                             int64_t length, std::wstring* why) {
  int64_t damagedAt = 0;
  const int64_t got = files_->Read(file, offset, buffer, length, &damagedAt);
  if (got < 0) {
    *why = platform::FormatWide(L"the block at %I64d of the data file", damagedAt);
  }
  return got;
}

}  // namespace vaultline
