#include "blockstore/LookupFile.h"

#include <algorithm>
#include <cstring>

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "util/ByteOrder.h"
#include "util/Crc32.h"

namespace vaultline {

namespace {

constexpr size_t kHeaderCrcOffset = 60;

constexpr int64_t kPage = 4096;

constexpr int64_t kTagSize = sizeof(AnchorTable::Tag);

// The header has the first page; the tags start on the second, the slots
// on the page after them.
int64_t SlotsAt(uint32_t capacity) {
  return kPage + (int64_t{capacity} * kTagSize + kPage - 1) / kPage * kPage;
}

int64_t TableEnd(uint32_t capacity) {
  return SlotsAt(capacity) + int64_t{capacity} * static_cast<int64_t>(AnchorTable::kSlotSize);
}

}  // namespace

LookupFile::~LookupFile() {
  Close();
}

void LookupFile::Close() {
  table_ = AnchorTable();
  if (fd_ >= 0) platform::CloseFile(fd_);
  fd_ = -1;
}

void LookupFile::ClearLists() {
  anchorless_.clear();
  savedAnchorless_ = 0;
  commonKeys_.Clear();
  crowded_.clear();
}

bool LookupFile::Open() {
  Close();
  ClearLists();
  fd_ = platform::OpenFile(path_, platform::OpenMode::kReadWriteStore);
  if (fd_ < 0) return false;
  uint8_t header[kHeaderSize];
  const int64_t size = platform::FileSizeOf(fd_);
  const bool sound = platform::ReadFileAt(fd_, header, sizeof header, 0) == kHeaderSize &&
                     LoadLe32(header) == kMagic && LoadLe16(header + 4) == kVersion &&
                     LoadLe32(header + kHeaderCrcOffset) == Crc32(header, kHeaderCrcOffset);
  const uint32_t capacity = sound ? LoadLe32(header + 8) : 0;
  const uint32_t used = sound ? LoadLe32(header + 12) : 0;
  const uint32_t anchorless = sound ? LoadLe32(header + 28) : 0;
  const uint32_t common = sound ? LoadLe32(header + 32) : 0;
  const int64_t listEnd = TableEnd(capacity) + (int64_t{anchorless} + common) * 4;
  std::vector<uint8_t> list((size_t{anchorless} + common) * 4);
  if (!sound || capacity == 0 || used > capacity || size < listEnd ||
      platform::ReadFileAt(fd_, list.data(), list.size(), TableEnd(capacity)) !=
          static_cast<int64_t>(list.size())) {
    Close();
    return false;
  }
  table_ =
      AnchorTable(fd_, SlotsAt(capacity), AnchorTags::Stored(fd_, kPage, capacity, threads_), used);
  covered_.records = LoadLe64(header + 16);
  covered_.lastRecordCrc = LoadLe32(header + 24);
  anchorless_.resize(anchorless);
  for (size_t i = 0; i < anchorless_.size(); ++i) anchorless_[i] = LoadLe32(&list[i * 4]);
  savedAnchorless_ = anchorless_.size();
  for (size_t i = anchorless; i < size_t{anchorless} + common; ++i) {
    commonKeys_.Add(LoadLe32(&list[i * 4]));
  }
  return true;
}

bool LookupFile::Create(uint64_t blocks) {
  Close();
  ClearLists();
  covered_ = {};
  fd_ = platform::OpenFile(path_, platform::OpenMode::kCreatePrivate);
  if (fd_ < 0) return false;
  // Room for half as many again: a full table is written anew whole, and
  // the next backup of a store made again would pay for that.
  const uint32_t capacity = AnchorTable::CapacityFor(blocks * 3 / 2);
  // The slots start free: a file of holes takes room only as they fill.
  if (!platform::TruncateFile(fd_, TableEnd(capacity)) ||
      !WriteHeader(fd_, covered_, capacity, 0)) {
    Remove();
    return false;
  }
  table_ = AnchorTable(fd_, SlotsAt(capacity), AnchorTags::Fresh(capacity), 0);
  return true;
}

void LookupFile::AddAnchored(const AnchoredBlock& block) {
  if (!IsOpen()) return;
  if (!table_.HasRoomFor(1) && !Grow(1)) return;
  // A slot that cannot be written (a full drive) ends the file: the next
  // backup makes it again.
  if (!Enter(table_, block)) Remove();
}

bool LookupFile::Enter(AnchorTable& table, const AnchoredBlock& block) {
  bool crowded = false;
  if (!table.Insert(block, &crowded)) return false;
  if (crowded) {
    anchorless_.push_back(block.record);
    crowded_.push_back(block.record);
    commonKeys_.Add(block.key);
  }
  return true;
}

void LookupFile::AddAnchorless(uint32_t record) {
  if (IsOpen()) anchorless_.push_back(record);
}

bool LookupFile::Grow(uint64_t more) {
  const std::wstring newPath = path_ + L".new";
  const int fd = platform::OpenFile(newPath, platform::OpenMode::kCreatePrivate);
  if (fd < 0) {
    Remove();
    return false;
  }
  const uint32_t capacity = AnchorTable::CapacityFor((uint64_t{table_.Used()} + more) * 3 / 2);
  AnchorTable grown(fd, SlotsAt(capacity), AnchorTags::Fresh(capacity), 0);
  grown.StartInOrder(true);
  bool written = platform::TruncateFile(fd, TableEnd(capacity));
  // The blocks go in nearly in the order of their keys, as the new table's
  // slots follow them: the old slots in order, the blocks waiting to be
  // saved merged in by key, and last the old slots that wrapped round to
  // the start of the old table.
  SortStoredByKey();
  auto waiting = stored_.begin();
  const auto enter = [&](const AnchoredBlock& block) {
    for (; waiting != stored_.end() && waiting->key < block.key; ++waiting) {
      written = written && Enter(grown, *waiting);
    }
    written = written && Enter(grown, block);
  };
  std::vector<AnchoredBlock> wrapped;
  constexpr uint32_t kRun = 65536;
  std::vector<uint8_t> run(size_t{kRun} * AnchorTable::kSlotSize);
  const int64_t oldSlots = SlotsAt(table_.Capacity());
  for (uint32_t first = 0; written && first < table_.Capacity(); first += kRun) {
    const uint32_t count = std::min(kRun, table_.Capacity() - first);
    const size_t bytes = size_t{count} * AnchorTable::kSlotSize;
    written = platform::ReadFileAt(fd_, run.data(), bytes,
                                   oldSlots + int64_t{first} * AnchorTable::kSlotSize) ==
              static_cast<int64_t>(bytes);
    for (uint32_t i = 0; written && i < count; ++i) {
      const uint8_t* at = &run[size_t{i} * AnchorTable::kSlotSize];
      const uint32_t record = LoadLe32(at + 8);
      if (record == 0 || table_.Tags().At(first + i) == 0) continue;
      const AnchoredBlock block{LoadLe32(at), static_cast<int32_t>(LoadLe32(at + 4)), record - 1,
                                LoadLe16(at + 12)};
      if (table_.Home(block.key) > first + i) {
        wrapped.push_back(block);
      } else {
        enter(block);
      }
    }
  }
  written = written && !table_.Tags().Failed();
  for (; waiting != stored_.end(); ++waiting) written = written && Enter(grown, *waiting);
  for (const AnchoredBlock& block : wrapped) written = written && Enter(grown, block);
  stored_.clear();
  written = grown.FinishInOrder() && written;
  written = written && WriteTags(fd, grown, grown.TakeChangedPages()) &&
            WriteLists(fd, capacity, 0) && WriteHeader(fd, covered_, capacity, grown.Used());
  if (!written || !platform::RenameFile(newPath, path_)) {
    platform::CloseFile(fd);
    platform::DeleteFile(newPath);
    Remove();
    return false;
  }
  Close();
  fd_ = fd;  // now the file at path_
  table_ = std::move(grown);
  savedAnchorless_ = anchorless_.size();
  return true;
}

void LookupFile::SortStoredByKey() {
  std::sort(stored_.begin(), stored_.end(),
            [](const AnchoredBlock& a, const AnchoredBlock& b) { return a.key < b.key; });
}

bool LookupFile::WriteTags(int fd, const AnchorTable& table, const std::vector<uint32_t>& pages) {
  const AnchorTags& tags = table.Tags();
  uint8_t bytes[AnchorTable::kTagPage * kTagSize];
  for (const uint32_t page : pages) {
    const size_t from = size_t{page} * AnchorTable::kTagPage;
    const size_t count = std::min(AnchorTable::kTagPage, size_t{tags.Size()} - from);
    for (size_t i = 0; i < count; ++i) {
      StoreLe16(tags.At(static_cast<uint32_t>(from + i)), &bytes[i * kTagSize]);
    }
    if (!platform::WriteFileAt(fd, bytes, count * kTagSize,
                               kPage + static_cast<int64_t>(from) * kTagSize)) {
      return false;
    }
  }
  return true;
}

bool LookupFile::Save(const Coverage& coverage) {
  if (!IsOpen()) return false;
  // Grown once for all the blocks the backup stored, which the grow enters.
  if (!table_.HasRoomFor(stored_.size()) && !Grow(stored_.size())) return false;
  const bool inOrder = table_.InOrderPays(stored_.size());
  if (inOrder) {
    SortStoredByKey();
    table_.StartInOrder(false);
  }
  bool entered = !table_.Tags().Failed();
  for (const AnchoredBlock& block : stored_) entered = entered && Enter(table_, block);
  stored_.clear();
  if (!entered || (inOrder && !table_.FinishInOrder())) {
    Remove();
    return false;
  }
  // Not synced: a header that reaches the drive before the slots it counts
  // on costs only blocks stored again.
  const bool saved = WriteTags(fd_, table_, table_.TakeChangedPages()) &&
                     WriteLists(fd_, table_.Capacity(), savedAnchorless_) &&
                     WriteHeader(fd_, coverage, table_.Capacity(), table_.Used());
  if (!saved) {
    Remove();
    return false;
  }
  savedAnchorless_ = anchorless_.size();
  covered_ = coverage;
  return true;
}

bool LookupFile::WriteLists(int fd, uint32_t capacity, size_t saved) {
  // The common keys follow the records, which only grow: they are written
  // whole each time, behind the records added.
  const std::vector<uint32_t>& keys = commonKeys_.InOrder();
  std::vector<uint8_t> list((anchorless_.size() - saved + keys.size()) * 4);
  uint8_t* at = list.data();
  for (size_t i = saved; i < anchorless_.size(); ++i, at += 4) StoreLe32(anchorless_[i], at);
  for (const uint32_t key : keys) {
    StoreLe32(key, at);
    at += 4;
  }
  return list.empty() ||
         platform::WriteFileAt(fd, list.data(), list.size(),
                               TableEnd(capacity) + static_cast<int64_t>(saved) * 4);
}

bool LookupFile::WriteHeader(int fd, const Coverage& coverage, uint32_t capacity, uint32_t used) {
  uint8_t header[kHeaderSize] = {};
  StoreLe32(kMagic, header);
  StoreLe16(kVersion, header + 4);
  StoreLe32(capacity, header + 8);
  StoreLe32(used, header + 12);
  StoreLe64(coverage.records, header + 16);
  StoreLe32(coverage.lastRecordCrc, header + 24);
  StoreLe32(static_cast<uint32_t>(anchorless_.size()), header + 28);
  StoreLe32(static_cast<uint32_t>(commonKeys_.Size()), header + 32);
  StoreLe32(Crc32(header, kHeaderCrcOffset), header + kHeaderCrcOffset);
  return platform::WriteFileAt(fd, header, sizeof header, 0);
}

void LookupFile::Remove() {
  Close();
  stored_.clear();
  ClearLists();
  covered_ = {};
  platform::DeleteFile(path_);
}

}  // namespace vaultline
