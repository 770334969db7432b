// Visits the records of a subtree of the directory file in stored order:
// `count` records from `offset`, each folder's children from its
// contentOffset; after a folder whose children followed it, the walk goes on
// behind that folder's whole subtree. Nameless records and files that were not
// stored (count -1) are passed over.
//
// Ends on any file: depth is bounded (a stored path of at most 511 units has
// at most 256 levels) and no record is visited twice, so offsets that loop
// back to an ancestor or fan out again are reported as damage.
#pragma once

#include <cstdint>
#include <unordered_set>

#include "catalogue/DirRecord.h"

namespace vaultline {

class DirectoryFile;

class RecordVisitor {
 public:
  virtual ~RecordVisitor() = default;
  // A false result stops the walk (cancelled or failed).
  virtual bool VisitFile(const DirEntry& entry, int64_t offset) = 0;
  virtual bool EnterFolder(const DirEntry& entry, int64_t offset) = 0;
  virtual bool LeaveFolder(const DirEntry& entry) = 0;
  // Every record read, the passed-over ones included: they still hold their
  // place among a folder's children.
  virtual void ReadRecord(const DirEntry& /*entry*/, int64_t /*offset*/) {}
};

class SubtreeWalk {
 public:
  static constexpr int kMaxDepth = 256;

  explicit SubtreeWalk(DirectoryFile& directory) : directory_(directory) {}

  // True when every record was read and the visitor never stopped the walk.
  // Damage is written to the diagnostic log; Damaged() tells it from a stop.
  bool Walk(int64_t offset, int32_t count, RecordVisitor& visitor);
  bool Damaged() const { return damaged_; }

 private:
  static constexpr int64_t kStopped = -3;
  int64_t Visit(int64_t offset, int32_t count, int depth, RecordVisitor& visitor);

  DirectoryFile& directory_;
  std::unordered_set<int64_t> visited_;
  bool damaged_ = false;
};

}  // namespace vaultline
