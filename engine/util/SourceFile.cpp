#include "util/SourceFile.h"

#include <algorithm>
#include <cstring>

#include "platform/File.h"
#include "platform/FileSystem.h"

namespace vaultline {

int64_t SourceFile::Read(void* buffer, size_t length) {
  const size_t taken = std::min(length, head.size() - headTaken_);
  if (taken > 0) std::memcpy(buffer, head.data() + headTaken_, taken);
  headTaken_ += taken;
  if (taken == length) return static_cast<int64_t>(taken);
  AskAhead();
  auto* out = static_cast<uint8_t*>(buffer) + taken;
  size_t done = 0;
  while (done < length - taken) {
    const int64_t got = ReadFromFile(out + done, length - taken - done);
    if (got < 0) return got;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(done + taken);
}

int64_t SourceFile::ReadFromFile(uint8_t* buffer, size_t length) {
  const int64_t at = static_cast<int64_t>(head.size()) + fileRead_;
  // Small files are read whole: a hole in them costs no more than its zeros.
  if (holesKnown_ && size >= kAskPiece && at >= dataEnd_ && at >= zerosEnd_) {
    int64_t dataStart = 0;
    int64_t holeStart = 0;
    holesKnown_ = platform::FindDataExtent(fd, at, &dataStart, &holeStart);
    if (holesKnown_ && dataStart == at) dataEnd_ = holeStart;
    // In a hole: zeros up to the next data, or to the end of the file.
    // A file that shrank ends where it ends now.
    if (holesKnown_ && dataStart != at)
      zerosEnd_ = dataStart < 0 ? std::min(size, holeStart) : dataStart;
  }
  if (at < zerosEnd_) {
    const auto zeros =
        static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(length), zerosEnd_ - at));
    std::memset(buffer, 0, zeros);
    if (platform::SeekFile(fd, at + static_cast<int64_t>(zeros), platform::SeekFrom::kStart) < 0) {
      return -1;
    }
    fileRead_ += static_cast<int64_t>(zeros);
    return static_cast<int64_t>(zeros);
  }
  if (holesKnown_ && size >= kAskPiece && dataEnd_ > at) {
    length = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(length), dataEnd_ - at));
  }
  const int64_t got = platform::ReadFile(fd, buffer, length);
  if (got > 0) fileRead_ += got;
  return got;
}

void SourceFile::AskAhead() {
  // Smaller files are asked for whole as they are opened ahead, or read in
  // one go.
  if (size <= kAskPiece) return;
  const int64_t until = std::min(size, static_cast<int64_t>(head.size()) + fileRead_ + kAskAhead);
  while (askedTo_ < until) {
    const int64_t piece = std::min(kAskPiece, size - askedTo_);
    platform::PrefetchFile(fd, askedTo_, piece);
    askedTo_ += piece;
  }
}

}  // namespace vaultline
