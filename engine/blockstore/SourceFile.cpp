#include "blockstore/SourceFile.h"

#include <algorithm>
#include <cstring>

#include "platform/File.h"

namespace vaultline {

int64_t SourceFile::Read(void* buffer, size_t length) {
  const size_t taken = std::min(length, head.size() - headTaken_);
  if (taken > 0) std::memcpy(buffer, head.data() + headTaken_, taken);
  headTaken_ += taken;
  if (taken == length) return static_cast<int64_t>(taken);
  const int64_t got = platform::ReadFile(fd, static_cast<uint8_t*>(buffer) + taken, length - taken);
  return got < 0 ? got : got + static_cast<int64_t>(taken);
}

}  // namespace vaultline
