// The "exclude" file beside a selection's data file on the drive: its
// exclusion patterns, UTF-8, one a line, so that they travel with the drive
// and survive a restart and a rename of the selection. Lines that are no
// patterns (comments, blank lines) are kept as they are.
#pragma once

#include <string>
#include <vector>

namespace vaultline {

class ExclusionFile {
 public:
  // `location`: the selection's location (".../Dir/file").
  explicit ExclusionFile(const std::wstring& location);

  const std::wstring& Path() const { return path_; }

  // Reads the file; a missing one holds no lines. False when it exists but
  // cannot be read (nothing is loaded then).
  bool Load();
  const std::vector<std::wstring>& Lines() const { return lines_; }
  // The lines that are patterns, in order.
  std::vector<std::wstring> Patterns() const;

  // Text that can be stored as one pattern: not blank, no comment, no line
  // break.
  static bool IsStorablePattern(const std::wstring& pattern);
  // Appends `pattern` unless it is there already.
  void Add(const std::wstring& pattern);
  // Removes every line that is `pattern`; false when there is none.
  bool Remove(const std::wstring& pattern);

  // Replaces the file in one step (a synced temporary file renamed over it).
  // False, errno kept, when it could not be written.
  bool Save() const;

 private:
  std::wstring path_;
  std::vector<std::wstring> lines_;
};

}  // namespace vaultline
