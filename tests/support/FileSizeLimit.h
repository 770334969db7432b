// A ceiling on the size of files this process writes (RLIMIT_FSIZE), with
// the signal it raises ignored, so that a write past it fails with EFBIG as
// on a full drive: for tests that prove write failures surface.
#pragma once

#include <cstdint>

namespace vaultline::testing {

// Writes that would take a file past `bytes` fail from now on.
bool LimitFileSize(uint64_t bytes);
// Lifts the ceiling set by LimitFileSize.
bool UnlimitFileSize();

}  // namespace vaultline::testing
