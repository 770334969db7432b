// Checks every file of a snapshot's tree as a restore would read it, without
// writing anything, and lists the damaged ones. Contents shared with other
// snapshots are checked once; their result is named in every snapshot.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/SubtreeWalk.h"

namespace vaultline {

class BlockStore;
struct StoreContext;

// One damaged item: snapshot -1 stands for the store as a whole, an empty
// path for the snapshot (or store) itself.
struct CheckFinding {
  int snapshot = -1;
  std::wstring path;
  std::wstring what;
};

class CheckVisitor : public RecordVisitor {
 public:
  // Results of contents already checked, by (contentOffset, name); an empty
  // text means sound.
  using Results = std::map<std::pair<int64_t, std::wstring>, std::wstring>;

  CheckVisitor(BlockStore& store, int contentFd, StoreContext& context, bool readBlocks,
               int snapshot, Results* results, std::vector<CheckFinding>* findings)
      : store_(store),
        contentFd_(contentFd),
        context_(context),
        readBlocks_(readBlocks),
        snapshot_(snapshot),
        results_(results),
        findings_(findings) {}

  bool VisitFile(const DirEntry& entry, int64_t offset) override;
  bool EnterFolder(const DirEntry&, int64_t) override { return !Cancelled(); }
  bool LeaveFolder(const DirEntry&) override { return !Cancelled(); }

 private:
  bool Cancelled() const;

  BlockStore& store_;
  int contentFd_;
  StoreContext& context_;
  bool readBlocks_;
  int snapshot_;
  Results* results_;
  std::vector<CheckFinding>* findings_;
};

}  // namespace vaultline
