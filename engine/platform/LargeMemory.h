// Zeroed memory for a large table that is read into a page at a time as it
// is reached. Backed by huge pages where the system has them, and made
// present a region at a time: a table of tens of megabytes touched at a few
// thousand places then costs a few dozen page faults, not one for each
// page (on a virtual machine each costs more than reading the page).
#pragma once

#include <cstddef>

namespace vaultline::platform {

// The memory is made present in regions of this size, aligned on it.
constexpr size_t kLargeRegion = size_t{2} << 20;

// Null when the memory cannot be had. Aligned on kLargeRegion when it is at
// least that large.
void* AllocateLargeZeroed(size_t bytes);
void FreeLarge(void* memory, size_t bytes);
// Makes the pages of [at, at + bytes) present with one call. Advice only:
// where the system cannot, they come as they are touched.
void PrepareLarge(void* at, size_t bytes);

}  // namespace vaultline::platform
