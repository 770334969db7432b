#include <sys/uio.h>

#include <cerrno>
#include <vector>

#include "platform/FileOperationHook.h"
#include "platform/GatherWrite.h"

namespace vaultline::platform {

namespace {

bool WriteAllPieces(int fd, const WritePiece* pieces, size_t count) {
  // Stores append a header and at most two pieces: no allocation for those.
  iovec local[8];
  std::vector<iovec> heap;
  iovec* left = local;
  if (count > 8) {
    heap.resize(count);
    left = heap.data();
  }
  size_t used = 0;
  for (size_t i = 0; i < count; ++i) {
    if (pieces[i].length > 0)
      left[used++] = iovec{const_cast<void*>(pieces[i].data), pieces[i].length};
  }
  size_t first = 0;
  while (first < used) {
    const ssize_t put = ::writev(fd, left + first, static_cast<int>(used - first));
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (put == 0) {
      errno = ENOSPC;
      return false;
    }
    // A partial write: drop what went out and go on with the rest.
    size_t done = static_cast<size_t>(put);
    while (first < used && done >= left[first].iov_len) done -= left[first++].iov_len;
    if (first < used) {
      left[first].iov_base = static_cast<char*>(left[first].iov_base) + done;
      left[first].iov_len -= done;
    }
  }
  return true;
}

}  // namespace

bool WriteFileGather(int fd, const WritePiece* pieces, size_t count) {
  FileOperationHook* hook = InstalledFileOperationHook();
  if (hook == nullptr) return WriteAllPieces(fd, pieces, count);
  return Observed(
      hook, {FileOperationKind::kWrite, {}, {}, OpenMode::kRead, fd, TellFile(fd), pieces, count},
      [&] { return WriteAllPieces(fd, pieces, count); });
}

}  // namespace vaultline::platform
