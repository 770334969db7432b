// The one loop behind every read and write of the layer that must move a
// whole length: the system may move less than asked, or be interrupted by a
// signal before moving anything. For the layer's own files only.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace vaultline::platform {

enum class TransferKind {
  kRead,   // a call that moves nothing is the end of the file
  kWrite,  // a call that moves nothing is a full drive (ENOSPC)
};

// Calls `step(done)`, which moves some of the `length - done` bytes left and
// answers how many, or a negative number with errno set, until all
// `length` are done. Bytes moved, or -1 on an error (errno kept).
template <typename Step>
int64_t TransferWhole(TransferKind kind, size_t length, Step step) {
  size_t done = 0;
  while (done < length) {
    const auto moved = step(done);
    if (moved < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (moved == 0) {
      if (kind == TransferKind::kRead) break;
      errno = ENOSPC;
      return -1;
    }
    done += static_cast<size_t>(moved);
  }
  return static_cast<int64_t>(done);
}

}  // namespace vaultline::platform
