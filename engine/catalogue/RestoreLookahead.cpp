#include "catalogue/RestoreLookahead.h"

#include "blockstore/BlockStore.h"

namespace vaultline {

bool RestoreLookahead::VisitFile(const DirEntry& entry, int64_t offset) {
  // A link or special file is made, not written.
  if (entry.Kind() == platform::ItemKind::kPlain) {
    store_.ExpectRestore(contentFd_, entry.contentOffset, entry.name, entry.size);
  }
  return Hold(Kind::kFile, entry, offset);
}

bool RestoreLookahead::EnterFolder(const DirEntry& entry, int64_t offset) {
  return Hold(Kind::kEnterFolder, entry, offset);
}

bool RestoreLookahead::LeaveFolder(const DirEntry& entry) {
  return Hold(Kind::kLeaveFolder, entry, 0);
}

bool RestoreLookahead::Finish() {
  return !stopped_ && HandOn(0);
}

bool RestoreLookahead::Hold(Kind kind, const DirEntry& entry, int64_t offset) {
  if (stopped_) return false;
  held_.push_back(Visit{kind, entry, offset});
  if (kind == Kind::kFile) ++heldFiles_;
  return HandOn(kFilesAhead);
}

bool RestoreLookahead::HandOn(size_t files) {
  while (!held_.empty() && (heldFiles_ > files || files == 0)) {
    const Visit visit = std::move(held_.front());
    held_.pop_front();
    bool goOn = false;
    switch (visit.kind) {
      case Kind::kFile:
        --heldFiles_;
        goOn = visitor_.VisitFile(visit.entry, visit.offset);
        break;
      case Kind::kEnterFolder:
        goOn = visitor_.EnterFolder(visit.entry, visit.offset);
        break;
      case Kind::kLeaveFolder:
        goOn = visitor_.LeaveFolder(visit.entry);
        break;
    }
    if (!goOn) {
      stopped_ = true;
      held_.clear();
      heldFiles_ = 0;
      return false;
    }
  }
  return true;
}

}  // namespace vaultline
