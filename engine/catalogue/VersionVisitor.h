// Gathers, over the walks of several snapshots, each distinct version of the
// items a filter matches and the snapshots that hold it. Versions are told
// apart by what the records hold of the item (time, size, attributes, mode,
// kind, owner and attributes' checksum), not by where they lie. A folder
// whose children were walked for an earlier snapshot (the same records)
// adds the snapshot to what was found below it then, without reading them
// again: unchanged folders cost one record each.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "catalogue/ItemFilter.h"
#include "catalogue/ListedPaths.h"
#include "catalogue/SubtreeWalk.h"

namespace vaultline {

class VersionVisitor : public RecordVisitor {
 public:
  struct Found {
    DirEntry entry;
    std::wstring listed;
    std::vector<unsigned> snapshots;  // in the order they were walked
  };

  VersionVisitor(const ItemFilter& filter, const ListedPaths& paths)
      : filter_(filter), paths_(paths) {}

  // Before the walk of snapshot `index`; `walk` tells of damage met.
  void StartSnapshot(unsigned index, const SubtreeWalk& walk);

  bool VisitFile(const DirEntry& entry, int64_t offset) override;
  bool EnterFolder(const DirEntry& entry, int64_t offset) override;
  bool WalkChildren(const DirEntry& folder) override;
  bool LeaveFolder(const DirEntry& entry) override;

  const std::vector<Found>& Versions() const { return found_; }

 private:
  struct OpenFolder {
    std::pair<int64_t, int32_t> children;  // contentOffset and count
    size_t firstFound;                     // in foundHere_
    size_t damage;                         // damaged places met before it
    bool walked = true;
  };

  void Match(const DirEntry& entry, const std::wstring& listed);
  void Add(size_t version);

  const ItemFilter& filter_;
  const ListedPaths& paths_;
  const SubtreeWalk* walk_ = nullptr;
  unsigned snapshot_ = 0;
  std::vector<OpenFolder> open_;
  std::vector<size_t> foundHere_;  // versions met in this snapshot, in walk order
  std::map<std::pair<int64_t, int32_t>, std::vector<size_t>> foundBelow_;
  std::unordered_map<std::wstring, size_t> byState_;
  std::vector<Found> found_;
};

}  // namespace vaultline
