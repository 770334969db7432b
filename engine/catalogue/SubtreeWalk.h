// Visits the records of a subtree of the directory file in stored order:
// `count` records from `offset`, each folder's children from its
// contentOffset; after a folder whose children followed it, the walk goes on
// behind that folder's whole subtree. Nameless records and files that were not
// stored (count -1) are passed over.
//
// Nothing read is trusted: a record that is damaged, that is not a child of
// the folder that points at it, or that lies in a checksummed snapshot's
// range without a checksum, is counted against that folder, and the walk
// finds the next sibling behind it and goes on. Ends on any file: depth is
// bounded (a stored path of at most 511 units has at most 256 levels) and no
// record is visited twice.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "catalogue/DirRecord.h"

namespace vaultline {

class DirectoryFile;
class ExtendedRanges;

class RecordVisitor {
 public:
  virtual ~RecordVisitor() = default;
  // A false result stops the walk (cancelled or failed).
  virtual bool VisitFile(const DirEntry& entry, int64_t offset) = 0;
  virtual bool EnterFolder(const DirEntry& entry, int64_t offset) = 0;
  virtual bool LeaveFolder(const DirEntry& entry) = 0;
  // Asked after EnterFolder of a folder whose children lie elsewhere (an
  // unchanged folder of an earlier snapshot): false passes them over.
  virtual bool WalkChildren(const DirEntry& /*folder*/) { return true; }
  // Every record read, the passed-over ones included: they still hold their
  // place among a folder's children.
  virtual void ReadRecord(const DirEntry& /*entry*/, int64_t /*offset*/) {}
};

// Records of one folder's listing that could not be read. An empty folder
// name stands for the top of the walk.
struct DamagedFolder {
  std::wstring folder;
  int64_t firstChild = -1;  // where the folder says its records begin
  int32_t records = 0;
};

class SubtreeWalk {
 public:
  static constexpr int kMaxDepth = 256;

  explicit SubtreeWalk(DirectoryFile& directory, const ExtendedRanges* extended = nullptr)
      : directory_(directory), extended_(extended) {}

  // True when every record was read and the visitor never stopped the walk.
  // Damage is written to the diagnostic log and listed by Damage().
  bool Walk(int64_t offset, int32_t count, RecordVisitor& visitor);
  bool Damaged() const { return !damage_.empty(); }
  const std::vector<DamagedFolder>& Damage() const { return damage_; }

 private:
  static constexpr int64_t kStopped = -3;
  int64_t Visit(int64_t offset, int32_t count, int depth, const std::wstring* parent,
                RecordVisitor& visitor);
  bool Belongs(const DirEntry& entry, int64_t offset, const std::wstring* parent) const;
  // The first sibling behind the damaged record at `offset`, or -1 with
  // `*end` where the folder's records must have ended.
  int64_t NextSibling(int64_t offset, const std::wstring& parent, int64_t* end);
  void Lost(const std::wstring* parent, int64_t firstChild, int32_t records,
            const wchar_t* diagnostic);

  DirectoryFile& directory_;
  const ExtendedRanges* extended_;
  std::unordered_set<int64_t> visited_;
  std::vector<DamagedFolder> damage_;
};

}  // namespace vaultline
