// The "keep" file beside a selection's data file on the drive: its keep
// rules, UTF-8, one "NAME VALUE" line each (enabled, last, daily, weekly,
// monthly), so that they travel with the drive and survive a rename.
#pragma once

#include <string>

#include "vaultline/KeepRules.h"

namespace vaultline {

class KeepRulesFile {
 public:
  // `location`: the selection's location (".../Dir/file").
  explicit KeepRulesFile(const std::wstring& location);

  // The rules the file holds: a missing file, a line that is not one of the
  // five names or a value that is no number from 0 to kMaxCount leaves that
  // rule off. False when the file exists but cannot be read.
  bool Load(KeepRules* rules) const;
  // Replaces the file in one step (a synced temporary file renamed over it).
  // False, errno kept, when it could not be written.
  bool Save(const KeepRules& rules) const;

  static constexpr int kMaxCount = 100000;

 private:
  std::wstring path_;
};

}  // namespace vaultline
