#include <sys/mman.h>

#include "platform/LargeMemory.h"

namespace vaultline::platform {

void* AllocateLargeZeroed(size_t bytes) {
  if (bytes == 0) bytes = 1;
  void* memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return nullptr;
  // Advice only: without huge pages the table works the same, page by page.
  constexpr size_t kHugePage = size_t{2} << 20;
  if (bytes >= 2 * kHugePage) ::madvise(memory, bytes, MADV_HUGEPAGE);
  return memory;
}

void FreeLarge(void* memory, size_t bytes) {
  if (memory != nullptr) ::munmap(memory, bytes == 0 ? 1 : bytes);
}

}  // namespace vaultline::platform
