#include <sys/mman.h>

#include "platform/MappedFile.h"

namespace vaultline::platform {

bool MappedFile::Map(int fd, size_t length) {
  Unmap();
  if (length == 0) return false;
  void* at = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (at == MAP_FAILED) return false;
  // Look-ups land anywhere: reading ahead of them would only read pages no
  // one asks for.
  madvise(at, length, MADV_RANDOM);
  data_ = static_cast<uint8_t*>(at);
  length_ = length;
  return true;
}

void MappedFile::Unmap() {
  if (data_ != nullptr) munmap(data_, length_);
  data_ = nullptr;
  length_ = 0;
}

}  // namespace vaultline::platform
