#include "seal/FrameScan.h"

#include <cerrno>
#include <cstring>

#include "platform/File.h"
#include "util/ByteOrder.h"

namespace vaultline::seal {
namespace {

using frame::kHeaderSize;

class Scanner {
 public:
  Scanner(int fd, int64_t size, FrameCodec& codec) : fd_(fd), size_(size), codec_(codec) {}

  // The header of a frame that begins at `at` and ends inside the file.
  std::optional<FrameHeader> HeaderAt(int64_t at) {
    if (size_ - at < static_cast<int64_t>(kHeaderSize)) return std::nullopt;
    uint8_t bytes[kHeaderSize];
    if (platform::ReadFileAt(fd_, bytes, kHeaderSize, at) != static_cast<int64_t>(kHeaderSize)) {
      failed_ = true;
      return std::nullopt;
    }
    auto header = codec_.ReadHeader(bytes);
    if (header && at + static_cast<int64_t>(kHeaderSize + header->storedLength) > size_) {
      return std::nullopt;
    }
    return header;
  }

  // The first sound frame after `from` that may follow the logical bytes
  // read so far; -1 when there is none.
  int64_t FindNext(int64_t from, uint64_t sequence, int64_t logical,
                   std::optional<FrameHeader>* found) {
    const int64_t step =
        codec_.Kind() == FrameKind::kSealed ? static_cast<int64_t>(frame::kSealedAlignment) : 1;
    std::vector<uint8_t> chunk(1 << 20);
    int64_t at = (from + step - 1) / step * step;
    while (at + static_cast<int64_t>(kHeaderSize) <= size_) {
      const int64_t got = platform::ReadFileAt(fd_, chunk.data(), chunk.size(), at);
      if (got < 4) {
        if (got < 0) failed_ = true;
        return -1;
      }
      for (int64_t i = 0; i + 4 <= got; i += step) {
        if (LoadLe32(&chunk[static_cast<size_t>(i)]) != frame::kMagic) continue;
        auto header = HeaderAt(at + i);
        if (header && header->sequence >= sequence &&
            header->logicalStart >= static_cast<uint64_t>(logical)) {
          *found = header;
          return at + i;
        }
      }
      // Whole steps only, so that the positions tried stay aligned.
      at += (got - 3 + step - 1) / step * step;
    }
    return -1;
  }

  bool Failed() const { return failed_; }

 private:
  int fd_;
  int64_t size_;
  FrameCodec& codec_;
  bool failed_ = false;
};

}  // namespace

bool ScanFrames(int fd, FrameCodec& codec, FrameScanResult* result) {
  *result = FrameScanResult{};
  const int64_t size = platform::FileSizeOf(fd);
  if (size < 0) return false;
  Scanner scanner(fd, size, codec);
  int64_t at = 0;
  int64_t logical = 0;
  uint64_t sequence = 0;
  while (at < size) {
    auto header = scanner.HeaderAt(at);
    if (scanner.Failed()) return false;
    if (header && header->sequence == sequence &&
        header->logicalStart == static_cast<uint64_t>(logical)) {
      const int64_t length = static_cast<int64_t>(kHeaderSize + header->storedLength);
      result->entries.push_back(
          {at, length, logical, header->logicalLength, sequence, *header, false});
      at += length;
      logical += header->logicalLength;
      ++sequence;
      continue;
    }
    if (header &&
        (header->sequence < sequence || header->logicalStart < static_cast<uint64_t>(logical))) {
      const int64_t length = static_cast<int64_t>(kHeaderSize + header->storedLength);
      result->damage.push_back(
          {at, at + length, logical, logical, DamagedRange::Cause::kMisplaced});
      at += length;
      continue;
    }
    // A sound frame later than expected has lost the ones before it; bad
    // bytes are damage up to the next sound frame, a torn tail without one.
    int64_t next = at;
    if (!header) next = scanner.FindNext(at + 1, sequence, logical, &header);
    if (scanner.Failed()) return false;
    if (next < 0) {
      result->tornTail = DamagedRange{at, size, logical, logical, DamagedRange::Cause::kTornTail};
      break;
    }
    const int64_t lostEnd = static_cast<int64_t>(header->logicalStart);
    result->entries.push_back({at, next - at, logical, lostEnd - logical, sequence, {}, true});
    result->damage.push_back({at, next, logical, lostEnd, DamagedRange::Cause::kHeader});
    at = next;
    logical = lostEnd;
    sequence = header->sequence;
  }

  // A power cut may leave the last frame's header whole and its body not:
  // it is checked whole, and cut off as torn when it fails.
  if (!result->entries.empty() && !result->entries.back().damaged) {
    const FrameEntry& last = result->entries.back();
    std::vector<uint8_t> batch;
    const int state = ReadFrame(fd, codec, last, batch);
    if (state < 0) return false;
    if (state == 0) {
      result->tornTail =
          DamagedRange{last.fileOffset, size, last.logicalStart,
                       last.logicalStart + last.logicalLength, DamagedRange::Cause::kTornTail};
      result->entries.pop_back();
    }
  }
  if (result->tornTail) {
    result->appendOffset = result->tornTail->fileStart;
  } else {
    result->appendOffset = size;
  }
  result->nextSequence = result->entries.empty() ? 0 : result->entries.back().sequence + 1;
  return true;
}

int ReadFrame(int fd, FrameCodec& codec, const FrameEntry& entry, std::vector<uint8_t>& batch) {
  std::vector<uint8_t> bytes(static_cast<size_t>(entry.fileLength));
  const int64_t got = platform::ReadFileAt(fd, bytes.data(), bytes.size(), entry.fileOffset);
  if (got < 0) return -1;
  if (got != entry.fileLength) return 0;
  // The header again: the file may have changed since it was scanned.
  const auto header = codec.ReadHeader(bytes.data());
  if (!header || header->storedLength != entry.header.storedLength ||
      header->logicalLength != entry.header.logicalLength ||
      header->logicalStart != entry.header.logicalStart ||
      header->sequence != entry.header.sequence) {
    return 0;
  }
  return codec.DecodeBody(bytes.data(), *header,
                          std::span<uint8_t>(bytes.data() + kHeaderSize, header->storedLength),
                          batch)
             ? 1
             : 0;
}

}  // namespace vaultline::seal
