// Hands a restore's visits on a few files late, and names each file to the
// store as soon as the walk reaches it: the store reads and checks the next
// files while the one before is written. The visits keep their order, and
// one that stops the walk drops those held back, as if the walk had ended
// there. The caller has the store forget the files named once the walk is
// over, however it ended.
#pragma once

#include <cstdint>
#include <deque>

#include "catalogue/SubtreeWalk.h"

namespace vaultline {

class BlockStore;

class RestoreLookahead : public RecordVisitor {
 public:
  // Fewer than the store keeps named.
  static constexpr size_t kFilesAhead = 3;

  RestoreLookahead(RecordVisitor& visitor, BlockStore& store, int contentFd)
      : visitor_(visitor), store_(store), contentFd_(contentFd) {}

  bool VisitFile(const DirEntry& entry, int64_t offset) override;
  bool EnterFolder(const DirEntry& entry, int64_t offset) override;
  bool LeaveFolder(const DirEntry& entry) override;
  void ReadRecord(const DirEntry& entry, int64_t offset) override {
    visitor_.ReadRecord(entry, offset);
  }
  // Hands on the visits held back, once the walk has ended; false when a
  // visit stopped it.
  bool Finish();

 private:
  enum class Kind { kFile, kEnterFolder, kLeaveFolder };
  struct Visit {
    Kind kind;
    DirEntry entry;
    int64_t offset;
  };

  // Holds the visit back, then hands on what is due.
  bool Hold(Kind kind, const DirEntry& entry, int64_t offset);
  // Hands on visits while more than `files` files are held; 0: all of them.
  bool HandOn(size_t files);

  RecordVisitor& visitor_;
  BlockStore& store_;
  int contentFd_;
  std::deque<Visit> held_;
  size_t heldFiles_ = 0;
  bool stopped_ = false;
};

}  // namespace vaultline
