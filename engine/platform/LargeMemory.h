// Zeroed memory for a large table that is read into a page at a time as it
// is reached. Backed by huge pages where the system has them: a table of
// tens of megabytes touched at a few thousand places then costs a few dozen
// page faults, not one for each page.
#pragma once

#include <cstddef>

namespace vaultline::platform {

// Null when the memory cannot be had.
void* AllocateLargeZeroed(size_t bytes);
void FreeLarge(void* memory, size_t bytes);

}  // namespace vaultline::platform
