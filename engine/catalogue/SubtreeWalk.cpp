#include "catalogue/SubtreeWalk.h"

#include "catalogue/DirectoryFile.h"
#include "catalogue/ExtendedRanges.h"
#include "platform/DiagnosticLog.h"
#include "platform/Path.h"

namespace vaultline {

namespace {

// `name` below `folder`: 0 not below it, 1 a child, 2 deeper.
int DepthBelow(const std::wstring& name, const std::wstring& folder) {
  std::wstring_view base = folder;
  while (!base.empty() && base.back() == platform::kSeparator) base.remove_suffix(1);
  if (name.size() <= base.size() + 1 || name.compare(0, base.size(), base) != 0 ||
      name[base.size()] != platform::kSeparator) {
    return 0;
  }
  return name.find(platform::kSeparator, base.size() + 1) == std::wstring::npos ? 1 : 2;
}

}  // namespace

bool SubtreeWalk::Walk(int64_t offset, int32_t count, RecordVisitor& visitor) {
  visited_.clear();
  damage_.clear();
  return Visit(offset, count, 0, nullptr, visitor) >= 0 && damage_.empty();
}

void SubtreeWalk::Lost(const std::wstring* parent, int64_t firstChild, int32_t records,
                       const wchar_t* diagnostic) {
  platform::WriteDiagnostic(diagnostic);
  const std::wstring folder = parent != nullptr ? *parent : std::wstring();
  if (!damage_.empty() && damage_.back().firstChild == firstChild &&
      damage_.back().folder == folder) {
    damage_.back().records += records;
  } else {
    damage_.push_back(DamagedFolder{folder, firstChild, records});
  }
}

bool SubtreeWalk::Belongs(const DirEntry& entry, int64_t offset, const std::wstring* parent) const {
  if (!entry.IsSound()) return false;
  if (extended_ != nullptr && !entry.IsExtended() && extended_->Covers(offset)) return false;
  return parent == nullptr || entry.name.empty() || DepthBelow(entry.name, *parent) == 1;
}

int64_t SubtreeWalk::NextSibling(int64_t offset, const std::wstring& parent, int64_t* end) {
  DirEntry entry;
  int64_t at = offset + kDirRecordSize;
  for (;; at += kDirRecordSize) {
    const int64_t next = directory_.ReadRecordAt(at, &entry);
    if (next < 0) break;
    if (Belongs(entry, at, &parent)) return at;
    // Damaged records and the inline subtree of a damaged folder are passed
    // over; anything else means the folder's records have ended.
    if (entry.IsSound() && DepthBelow(entry.name, parent) == 0) break;
  }
  *end = at;
  return -1;
}

int64_t SubtreeWalk::Visit(int64_t offset, int32_t count, int depth, const std::wstring* parent,
                           RecordVisitor& visitor) {
  const int64_t firstChild = offset;
  if (depth > kMaxDepth) {
    Lost(parent, firstChild, count, L"\nDirectory records nest deeper than any stored path can");
    return offset;
  }
  DirEntry entry;
  for (int32_t i = 0; i < count; ++i) {
    const int64_t next = directory_.ReadRecordAt(offset, &entry);
    if (next == -1) {
      Lost(parent, firstChild, count - i, L"\nProblem reading directory");
      return -1;
    }
    const bool seen = next >= 0 && !visited_.insert(offset).second;
    if (next == -2 || seen || !Belongs(entry, offset, parent)) {
      const wchar_t* why = next == -2 ? L"\nLocation in dir directory is invalid"
                           : seen     ? L"\nDirectory records point back at a record already read"
                                      : L"\nDamaged directory record";
      if (next == -2 || seen || parent == nullptr || i + 1 == count) {
        Lost(parent, firstChild, count - i, why);
        // A damaged last record still holds its place: what follows it is
        // the parent's to read, not a record read twice.
        return next >= 0 && !seen ? next : offset;
      }
      Lost(parent, firstChild, 1, why);
      int64_t end = 0;
      const int64_t sibling = NextSibling(offset, *parent, &end);
      if (sibling < 0) {
        Lost(parent, firstChild, count - i - 1, L"\nDirectory records of a folder are missing");
        return end;
      }
      offset = sibling;
      continue;
    }
    visitor.ReadRecord(entry, offset);
    if (entry.name.empty()) {
      offset = next;
      continue;
    }
    if (entry.IsFolder()) {
      if (!visitor.EnterFolder(entry, offset)) return kStopped;
      if (entry.contentOffset != next && !visitor.WalkChildren(entry)) {
        if (!visitor.LeaveFolder(entry)) return kStopped;
        offset = next;
        continue;
      }
      const std::wstring folder = entry.name;
      const int64_t end = Visit(entry.contentOffset, entry.count, depth + 1, &folder, visitor);
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
