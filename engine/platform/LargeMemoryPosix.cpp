#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "platform/LargeMemory.h"

namespace vaultline::platform {

void* AllocateLargeZeroed(size_t bytes) {
  if (bytes == 0) bytes = 1;
  if (bytes < kLargeRegion) {
    void* memory =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return memory == MAP_FAILED ? nullptr : memory;
  }
  // Huge pages back only aligned regions: map one region more and give
  // back what lies before and after the aligned part.
  const size_t mapped = bytes + kLargeRegion;
  void* memory =
      ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(memory);
  const uintptr_t aligned = (start + kLargeRegion - 1) & ~(uintptr_t{kLargeRegion} - 1);
  const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const uintptr_t end = (aligned + bytes + page - 1) & ~(page - 1);
  if (aligned > start) ::munmap(memory, aligned - start);
  if (start + mapped > end) ::munmap(reinterpret_cast<void*>(end), start + mapped - end);
  // Advice only: without huge pages the table works the same, page by page.
  ::madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(aligned);
}

void FreeLarge(void* memory, size_t bytes) {
  if (memory != nullptr) ::munmap(memory, bytes == 0 ? 1 : bytes);
}

void PrepareLarge(void* at, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  ::madvise(at, bytes, MADV_POPULATE_WRITE);
#else
  (void)at;
  (void)bytes;
#endif
}

}  // namespace vaultline::platform
