#include "seal/SealedStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/File.h"

namespace vaultline::seal {

SealedStream::SealedStream(std::wstring path, int fd, FrameCodec codec, bool writable)
    : path_(std::move(path)), fd_(fd), codec_(std::move(codec)), writable_(writable) {}

std::unique_ptr<SealedStream> SealedStream::Open(std::wstring path, FrameCodec codec, bool writable,
                                                 int* error) {
  if (!codec.Ready()) {
    if (error != nullptr) *error = ENOMEM;
    return nullptr;
  }
  const int fd = platform::OpenFile(
      path, writable ? platform::OpenMode::kReadWriteStore : platform::OpenMode::kRead, error);
  if (fd < 0) return nullptr;
  std::unique_ptr<SealedStream> stream(
      new SealedStream(std::move(path), fd, std::move(codec), writable));
  FrameScanResult scan;
  if (!ScanFrames(fd, stream->codec_, &scan)) {
    if (error != nullptr) *error = errno;
    return nullptr;
  }
  stream->entries_ = std::move(scan.entries);
  stream->damage_ = std::move(scan.damage);
  stream->tornTail_ = scan.tornTail;
  stream->appendOffset_ = scan.appendOffset;
  stream->nextSequence_ = scan.nextSequence;
  return stream;
}

SealedStream::~SealedStream() {
  platform::CloseFile(fd_);
}

int64_t SealedStream::LogicalLength() const {
  if (entries_.empty()) return 0;
  return entries_.back().logicalStart + entries_.back().logicalLength;
}

bool SealedStream::Append(std::span<const uint8_t> batch) {
  if (!writable_) {
    errno = EBADF;
    return false;
  }
  if (batch.empty()) return true;
  if (tornTail_ && !tailCut_) {
    if (!platform::TruncateFile(fd_, appendOffset_)) return false;
    tailCut_ = true;
  }
  writeBuffer_.clear();
  std::vector<FrameEntry> added;
  int64_t logical = LogicalLength();
  uint64_t sequence = nextSequence_;
  for (size_t done = 0; done < batch.size();) {
    const size_t piece = std::min<size_t>(batch.size() - done, frame::kMaxLogicalLength);
    const size_t start = writeBuffer_.size();
    codec_.Encode(sequence, static_cast<uint64_t>(logical), batch.subspan(done, piece),
                  writeBuffer_);
    FrameEntry entry;
    entry.fileOffset = appendOffset_ + static_cast<int64_t>(start);
    entry.fileLength = static_cast<int64_t>(writeBuffer_.size() - start);
    entry.logicalStart = logical;
    entry.logicalLength = static_cast<int64_t>(piece);
    entry.sequence = sequence;
    entry.header = {static_cast<uint32_t>(entry.fileLength - frame::kHeaderSize),
                    static_cast<uint32_t>(piece), static_cast<uint64_t>(logical), sequence};
    added.push_back(entry);
    done += piece;
    logical += static_cast<int64_t>(piece);
    ++sequence;
  }
  if (!platform::WriteFileAt(fd_, writeBuffer_.data(), writeBuffer_.size(), appendOffset_)) {
    const int error = errno;
    platform::TruncateFile(fd_, appendOffset_);
    errno = error;
    return false;
  }
  entries_.insert(entries_.end(), added.begin(), added.end());
  appendOffset_ += static_cast<int64_t>(writeBuffer_.size());
  nextSequence_ = sequence;
  return true;
}

size_t SealedStream::EntryAt(int64_t offset) const {
  auto after = std::upper_bound(
      entries_.begin(), entries_.end(), offset,
      [](int64_t value, const FrameEntry& entry) { return value < entry.logicalStart; });
  return static_cast<size_t>(after - entries_.begin()) - 1;
}

const std::vector<uint8_t>* SealedStream::Batch(size_t index) {
  for (const Cached& cached : cache_) {
    if (cached.index == index) return &cached.batch;
  }
  FrameEntry& entry = entries_[index];
  if (entry.damaged) return nullptr;
  Cached& slot = cache_[nextCacheSlot_];
  nextCacheSlot_ = (nextCacheSlot_ + 1) % kCachedFrames;
  slot.index = SIZE_MAX;
  const int state = ReadFrame(fd_, codec_, entry, slot.batch);
  if (state < 0) {
    readFailed_ = true;
    return nullptr;
  }
  if (state == 0) {
    entry.damaged = true;
    damage_.push_back({entry.fileOffset, entry.fileOffset + entry.fileLength, entry.logicalStart,
                       entry.logicalStart + entry.logicalLength, DamagedRange::Cause::kBody});
    return nullptr;
  }
  slot.index = index;
  return &slot.batch;
}

int64_t SealedStream::ReadAt(int64_t offset, void* buffer, size_t length) {
  if (offset < 0) {
    errno = EINVAL;
    return kReadError;
  }
  const int64_t end = LogicalLength();
  if (offset >= end || length == 0) return 0;
  const size_t wanted =
      static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(length), end - offset));
  size_t copied = 0;
  for (size_t index = EntryAt(offset); copied < wanted; ++index) {
    const FrameEntry& entry = entries_[index];
    if (entry.damaged) return kDamaged;
    const std::vector<uint8_t>* batch = Batch(index);
    if (batch == nullptr) return entries_[index].damaged ? kDamaged : kReadError;
    const int64_t at = offset + static_cast<int64_t>(copied) - entry.logicalStart;
    const size_t take = std::min(wanted - copied, batch->size() - static_cast<size_t>(at));
    std::memcpy(static_cast<uint8_t*>(buffer) + copied, batch->data() + at, take);
    copied += take;
  }
  return static_cast<int64_t>(copied);
}

bool SealedStream::CutBack(int64_t length) {
  if (!writable_) {
    errno = EBADF;
    return false;
  }
  if (length == LogicalLength()) return true;
  auto cut = std::find_if(entries_.begin(), entries_.end(), [length](const FrameEntry& entry) {
    return entry.logicalStart == length;
  });
  if (length < 0 || cut == entries_.end()) {
    errno = EINVAL;
    return false;
  }
  if (!platform::TruncateFile(fd_, cut->fileOffset)) return false;
  appendOffset_ = cut->fileOffset;
  nextSequence_ = cut->sequence;
  entries_.erase(cut, entries_.end());
  std::erase_if(damage_,
                [this](const DamagedRange& range) { return range.fileStart >= appendOffset_; });
  tailCut_ = true;
  for (Cached& cached : cache_) {
    if (cached.index >= entries_.size()) cached.index = SIZE_MAX;
  }
  return true;
}

bool SealedStream::Sync() {
  return platform::SyncFile(fd_);
}

bool SealedStream::CheckAll() {
  bool sound = true;
  for (size_t index = 0; index < entries_.size(); ++index) {
    if (entries_[index].damaged || Batch(index) == nullptr) sound = false;
  }
  return sound && damage_.empty();
}

std::wstring SealedStream::Describe(const DamagedRange& range) const {
  // Indexed by DamagedRange::Cause.
  static constexpr const wchar_t* kCauses[] = {
      L"a frame header is damaged", L"a frame stands out of its place", L"a frame fails its check",
      L"the end of the file was torn and is cut off"};
  const wchar_t* cause = kCauses[static_cast<size_t>(range.cause)];
  return path_ + L": " + cause + L" (bytes " + std::to_wstring(range.fileStart) + L" to " +
         std::to_wstring(range.fileEnd) + L" of the file; bytes " +
         std::to_wstring(range.logicalStart) + L" to " + std::to_wstring(range.logicalEnd) +
         L" of its records lost)";
}

}  // namespace vaultline::seal
