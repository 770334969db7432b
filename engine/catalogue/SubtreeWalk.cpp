#include "catalogue/SubtreeWalk.h"

#include "catalogue/DirectoryFile.h"
#include "platform/DiagnosticLog.h"

namespace vaultline {

bool SubtreeWalk::Walk(int64_t offset, int32_t count, RecordVisitor& visitor) {
  visited_.clear();
  damaged_ = false;
  return Visit(offset, count, 0, visitor) >= 0;
}

int64_t SubtreeWalk::Visit(int64_t offset, int32_t count, int depth, RecordVisitor& visitor) {
  if (depth > kMaxDepth) {
    platform::WriteDiagnostic(L"\nDirectory records nest deeper than any stored path can");
    damaged_ = true;
    return -2;
  }
  DirEntry entry;
  for (int32_t i = 0; i < count; ++i) {
    const int64_t next = directory_.ReadRecordAt(offset, &entry);
    if (next == -2) {
      platform::WriteDiagnostic(L"\nLocation in dir directory is invalid");
      damaged_ = true;
      return -2;
    }
    if (next < 0) {
      platform::WriteDiagnostic(L"\nProblem reading directory");
      damaged_ = true;
      return -1;
    }
    if (!visited_.insert(offset).second) {
      platform::WriteDiagnostic(L"\nDirectory records point back at a record already read");
      damaged_ = true;
      return -2;
    }
    visitor.ReadRecord(entry, offset);
    if (entry.name.empty()) {
      offset = next;
      continue;
    }
    if (entry.IsFolder()) {
      if (!visitor.EnterFolder(entry, offset)) return kStopped;
      const int64_t end = Visit(entry.contentOffset, entry.count, depth + 1, visitor);
      if (end < 0) return end;
      if (!visitor.LeaveFolder(entry)) return kStopped;
      offset = entry.contentOffset == next ? end : next;
      continue;
    }
    if (entry.count != -1 && !visitor.VisitFile(entry, offset)) return kStopped;
    offset = next;
  }
  return offset;
}

}  // namespace vaultline
