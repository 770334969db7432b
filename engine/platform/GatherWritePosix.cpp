#include <sys/uio.h>

#include <vector>

#include "platform/FileOperationHook.h"
#include "platform/GatherWrite.h"
#include "platform/WholeTransfer.h"

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
  size_t length = 0;
  for (size_t i = 0; i < count; ++i) {
    if (pieces[i].length > 0)
      left[used++] = iovec{const_cast<void*>(pieces[i].data), pieces[i].length};
    length += pieces[i].length;
  }
  size_t first = 0;
  size_t dropped = 0;  // bytes of the pieces already taken off `left`
  return TransferWhole(TransferKind::kWrite, length, [&](size_t done) {
           // After a partial write: drop what went out and go on with the rest.
           size_t went = done - dropped;
           dropped = done;
           while (first < used && went >= left[first].iov_len) went -= left[first++].iov_len;
           if (first < used) {
             left[first].iov_base = static_cast<char*>(left[first].iov_base) + went;
             left[first].iov_len -= went;
           }
           return ::writev(fd, left + first, static_cast<int>(used - first));
         }) >= 0;
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
