// Puts the five files of a compacted selection in place of the old ones so
// that a power loss or a kill at any moment leaves either the whole old set
// or the whole new set.
//
// The new files are written into the staging folder "compact-new" beside the
// selection's files, under the same names, and synced. The marker file
// "compact-commit" is then created and synced: from that moment the new set
// is the selection's, and each new file is renamed over its old one. Without
// the marker, a staging folder is the unfinished work of a compaction that
// never switched and is removed. The next opening of the selection (under
// its lock) finishes or rolls back whatever it finds.
#pragma once

#include <string>
#include <vector>

namespace vaultline {

class CompactionSwitch {
 public:
  // location: the selection's data file; the others add ".ind", ".fp",
  // ".dir" and ".snp".
  explicit CompactionSwitch(std::wstring location);

  // The five files of the selection, the data file first, and the figures
  // sidecar (which may be missing).
  const std::vector<std::wstring>& Files() const { return files_; }
  // Where the new version of one of Files() is written.
  std::wstring StagedPath(const std::wstring& file) const;

  // An empty staging folder, after removing what a rolled-back compaction
  // left; false when it cannot be created.
  bool PrepareStaging();
  // Makes the staged set the selection's; false when the switch could not
  // be committed (the old set then stays) or finished (the next opening
  // finishes it).
  bool Commit();
  // Drops the staged files of a compaction that is not to switch.
  void Discard();

  // Finishes or rolls back an interrupted compaction of the selection at
  // `location`. False when a committed switch could not be finished; the
  // selection must not be used then.
  static bool Recover(const std::wstring& location);

 private:
  bool MarkerExists() const;
  bool MoveStagedFiles();
  void RemoveStaging();

  std::wstring folder_;
  std::wstring staging_;
  std::wstring marker_;
  std::vector<std::wstring> files_;
  std::vector<std::wstring> sidecars_;
};

}  // namespace vaultline
