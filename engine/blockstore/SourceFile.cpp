#include "blockstore/SourceFile.h"

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
  const int64_t got = platform::ReadFile(fd, static_cast<uint8_t*>(buffer) + taken, length - taken);
  if (got < 0) return got;
  fileRead_ += got;
  return got + static_cast<int64_t>(taken);
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
