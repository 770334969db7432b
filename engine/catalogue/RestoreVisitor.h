// Writes a subtree of a snapshot back to disk. The top record lands in the
// target (directly with flatten, else under its whole stored path; an empty
// target means where it came from); everything below a folder lands in that
// folder's destination. Never writes outside the destination: unsafe stored
// names are refused, and no file or folder is written through a symbolic link.
//
// Restores use two threads for their system calls. A file written whole is
// finished (its end set, what it records set through the descriptor, and
// closed) on the plan's kRestoreWriter helper, while the caller creates and
// writes the next file of the same folder, if nothing was at its place: that
// file is written ahead with what it reports held back. Once the file before
// has reported its end, the file ahead reports, in the same order as if it
// had waited; where it may not be written (a stop, a failure of the file
// before, a second name), it is taken back and, if the restore goes on,
// written again in order. Anything else (folders, links, files where
// something was) waits for the file being finished.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/AttributeList.h"
#include "catalogue/SubtreeWalk.h"

namespace vaultline {

class BlockStore;
class ThreadPlan;
struct StoreContext;

class RestoreVisitor : public RecordVisitor {
 public:
  // What is done with a file already at its destination.
  struct Conflict {
    int rule = 0;            // a RestoreConflictRule
    bool countOnly = false;  // write nothing; name each file `rule` would replace (OnFile)
  };

  RestoreVisitor(BlockStore& store, int contentFd, StoreContext& context, std::wstring target,
                 bool flatten, Conflict conflict);
  ~RestoreVisitor();  // waits for the file being finished
  RestoreVisitor(const RestoreVisitor&) = delete;
  RestoreVisitor& operator=(const RestoreVisitor&) = delete;

  bool VisitFile(const DirEntry& entry, int64_t offset) override;
  bool EnterFolder(const DirEntry& entry, int64_t offset) override;
  bool LeaveFolder(const DirEntry& entry) override;

  // Once the walk is over: the file being finished reports its end. False
  // when the restore is to stop.
  bool Finish();
  // Something was refused or could not be restored (already reported).
  bool Failed() const { return failed_; }

 private:
  // A file handed over to be finished, and what finishing it found.
  struct Finishing {
    DirEntry entry;
    std::wstring destination;
    int fd = -1;
    AttributeList list;
    bool listed = false;
    uint64_t ticket = 0;
    // Set by the helper; the caller's to read once the ticket is done.
    bool ended = false;
    bool closed = false;
    std::vector<std::wstring> left;  // what could not be set
  };

  // VisitFile once no file is being finished.
  bool VisitFileInOrder(const DirEntry& entry);
  // Writes the file of `entry` while the one before is finished; no value
  // when it cannot be written ahead (nothing then happened, nothing was
  // reported). Otherwise what VisitFile answers.
  std::optional<bool> VisitFileAhead(const DirEntry& entry);
  // After RestoreFile wrote `fd`: ends, sets and closes it, here or (when it
  // came back whole and the restore goes on) on the helper. What VisitFile
  // answers.
  bool FinishFile(const DirEntry& entry, const std::wstring& destination, int fd, bool restored,
                  const AttributeList& list, bool listed);
  // The end of a file as VisitFile reports it, once it was closed.
  bool Finished(const DirEntry& entry, const std::wstring& destination, bool restored,
                uint64_t linkGroup);
  // Waits for the file being finished; whether it came back with nothing to
  // report but its end.
  bool FinishingWentWell();
  // The file being finished reports its end; false when the restore is to
  // stop. True when there is none.
  bool Settle();
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
  // The warning of what could not be set, if anything.
  void ReportLeft(const std::wstring& destination, const std::vector<std::wstring>& left);
  // As above, by path, with the record's own attribute list.
  void ApplyTo(const DirEntry& entry, const std::wstring& destination);
  // Where `name` goes; empty when the name is refused (reported here).
  std::wstring Destination(const std::wstring& name);
  // As Destination, reporting nothing; `unsafe` tells a refused name.
  std::wstring DestinationOf(const std::wstring& name, bool* unsafe) const;
  bool Skipping() const { return !folders_.empty() && folders_.back().empty(); }
  // Where the file of `entry` is written under the conflict rule, given the
  // path it would take; empty when the local file there stays.
  std::wstring UnderConflictRule(const DirEntry& entry, const std::wstring& destination);
  void Report(const std::wstring& text, const std::wstring& diagnostic);

  BlockStore& store_;
  ThreadPlan& threads_;
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
  std::unique_ptr<Finishing> finishing_;  // the file on the helper, if any
};

}  // namespace vaultline
