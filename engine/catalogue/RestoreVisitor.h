// Writes a subtree of a snapshot back to disk. The top record lands in the
// target (directly with flatten, else under its whole stored path; an empty
// target means where it came from); everything below a folder lands in that
// folder's destination. Never writes outside the destination: unsafe stored
// names are refused, and no file or folder is written through a symbolic link.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/SubtreeWalk.h"

namespace vaultline {

class BlockStore;
struct StoreContext;

class RestoreVisitor : public RecordVisitor {
 public:
  RestoreVisitor(BlockStore& store, int contentFd, StoreContext& context, std::wstring target,
                 bool flatten)
      : store_(store),
        contentFd_(contentFd),
        context_(context),
        target_(std::move(target)),
        flatten_(flatten) {}

  bool VisitFile(const DirEntry& entry, int64_t offset) override;
  bool EnterFolder(const DirEntry& entry, int64_t offset) override;
  bool LeaveFolder(const DirEntry& entry) override;

  // Something was refused or could not be restored (already reported).
  bool Failed() const { return failed_; }

  // The time (exact when recorded so; a plain time 0 is none) and the
  // recorded permission bits, or, for a file of a record without them, the
  // read-only state; nothing else.
  static bool ApplyAttributesAndTime(const std::wstring& path, const DirEntry& entry);

 private:
  // Where `name` goes; empty when the name is refused (reported here).
  std::wstring Destination(const std::wstring& name);
  bool Skipping() const { return !folders_.empty() && folders_.back().empty(); }
  void Report(const std::wstring& text, const std::wstring& diagnostic);

  BlockStore& store_;
  int contentFd_;
  StoreContext& context_;
  std::wstring target_;
  bool flatten_;
  std::vector<std::wstring> folders_;  // destinations of the open folders; empty: refused
  bool failed_ = false;
};

}  // namespace vaultline
