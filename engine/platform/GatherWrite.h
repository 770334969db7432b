// Writing several buffers as one contiguous run of a file (writev), so that
// a record and the bytes behind it cost one system call.
#pragma once

#include <cstddef>

namespace vaultline::platform {

struct WritePiece {
  const void* data;
  size_t length;
};

// Writes the pieces one after another at the current position; false on a
// failed or short write (errno kept), as WriteFile.
bool WriteFileGather(int fd, const WritePiece* pieces, size_t count);

}  // namespace vaultline::platform
