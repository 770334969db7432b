#include <sys/mman.h>

#include <algorithm>

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

void MappedFile::Populate(size_t offset, size_t length) {
#ifdef MADV_POPULATE_READ
  if (data_ == nullptr || offset >= length_) return;
  madvise(data_ + offset, std::min(length, length_ - offset), MADV_POPULATE_READ);
#else
  (void)offset;
  (void)length;
#endif
}

void MappedFile::Unmap() {
  if (data_ != nullptr) munmap(data_, length_);
  data_ = nullptr;
  length_ = 0;
}

}  // namespace vaultline::platform
