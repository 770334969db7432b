// Writes a subtree of a snapshot back to disk. The top record lands in the
// target (directly with flatten, else under its whole stored path; an empty
// target means where it came from); everything below a folder lands in that
// folder's destination. Never writes outside the destination: unsafe stored
// names are refused, and no file or folder is written through a symbolic link.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/SubtreeWalk.h"

namespace vaultline {

class BlockStore;
struct AttributeList;
struct StoreContext;

class RestoreVisitor : public RecordVisitor {
 public:
  // What is done with a file already at its destination.
  struct Conflict {
    int rule = 0;            // a RestoreConflictRule
    bool countOnly = false;  // write nothing; name each file `rule` would replace (OnFile)
  };

  RestoreVisitor(BlockStore& store, int contentFd, StoreContext& context, std::wstring target,
                 bool flatten, Conflict conflict)
      : store_(store),
        contentFd_(contentFd),
        context_(context),
        target_(std::move(target)),
        flatten_(flatten),
        conflict_(conflict) {}

  bool VisitFile(const DirEntry& entry, int64_t offset) override;
  bool EnterFolder(const DirEntry& entry, int64_t offset) override;
  bool LeaveFolder(const DirEntry& entry) override;

  // Something was refused or could not be restored (already reported).
  bool Failed() const { return failed_; }

 private:
  // Makes the link or special file of `entry` at `destination`, in place of
  // whatever is there but a folder. A device that only the administrator
  // may make is a warning.
  bool MakeNode(const DirEntry& entry, const std::wstring& destination);
  // Counts a file in place; false when the restore is to stop.
  bool Done(const DirEntry& entry);
  // Makes `destination` a second name of the file of `linkGroup` this
  // restore wrote before, when it wrote one of the same size.
  bool LinkToEarlierName(uint64_t linkGroup, const DirEntry& entry,
                         const std::wstring& destination);
  // The record's attribute list; false when it has none or it is damaged
  // (reported).
  bool ReadAttributeList(const DirEntry& entry, const std::wstring& destination,
                         AttributeList* list);
  // Sets the recorded owner, attributes (`list`, null for none), mode and
  // time on the item at `destination`, through `fd` when it is open; what
  // could not be set is a warning.
  void ApplyTo(const DirEntry& entry, const std::wstring& destination, int fd,
               const AttributeList* list);
  // As above, by path, with the record's own attribute list.
  void ApplyTo(const DirEntry& entry, const std::wstring& destination);
  // Where `name` goes; empty when the name is refused (reported here).
  std::wstring Destination(const std::wstring& name);
  bool Skipping() const { return !folders_.empty() && folders_.back().empty(); }
  // Where the file of `entry` is written under the conflict rule, given the
  // path it would take; empty when the local file there stays.
  std::wstring UnderConflictRule(const DirEntry& entry, const std::wstring& destination);
  void Report(const std::wstring& text, const std::wstring& diagnostic);

  BlockStore& store_;
  int contentFd_;
  StoreContext& context_;
  std::wstring target_;
  bool flatten_;
  Conflict conflict_;
  std::vector<std::wstring> folders_;  // destinations of the open folders; empty: refused
  // The first name restored of each file with several names.
  struct LinkedFile {
    std::wstring destination;
    int64_t size;
  };
  std::unordered_map<uint64_t, LinkedFile> linkedFiles_;
  bool failed_ = false;
};

}  // namespace vaultline
