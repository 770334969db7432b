// config.ini and config.bak in the storage root, saved so that a crash or a
// pulled drive at any moment leaves either the old or the new configuration
// complete: the new file is written to a temporary file and synced, then
// config.ini becomes config.bak and the temporary file becomes config.ini.
#pragma once

#include <functional>
#include <string>

namespace vaultline {

class ConfigurationFiles {
 public:
  // The moments of a save after which a crash is survivable.
  enum class SaveStep { kTemporaryWritten, kBackupDeleted, kRotated, kReplaced };

  // `storageRoot` ends in a separator.
  explicit ConfigurationFiles(std::wstring storageRoot);

  std::wstring ConfigPath() const { return root_ + L"config.ini"; }
  std::wstring BackupPath() const { return root_ + L"config.bak"; }
  std::wstring TemporaryPath() const { return root_ + L"config.new"; }
  // A damaged config.ini with nothing to restore it from, kept for whoever
  // wants to repair it by hand; the engine never reads it.
  std::wstring DamagedPath() const { return root_ + L"config.damaged"; }

  // The whole of config.ini; false when it cannot be read or is far too
  // large to be one.
  bool ReadConfig(std::string* bytes) const;
  bool ReadBackup(std::string* bytes) const;
  bool ConfigExists() const;
  bool BackupExists() const;

  // Puts the contents of config.bak in place of config.ini. Without
  // `replaceExisting`, a config.ini that exists by then is kept.
  bool RestoreFromBackup(bool replaceExisting);
  // Copies config.ini to DamagedPath, keeping a copy made there earlier.
  void KeepDamaged();

  // Saves `bytes` as config.ini, creating the storage root when missing. The
  // previous config.ini becomes config.bak unless it holds no settings (an
  // empty or cut-off file) while config.bak exists: that would replace the
  // last good copy. False when the new file could not be written whole.
  bool Save(const std::string& bytes);

  // Tests simulate a crash: when `stop` returns true after a step, Save
  // returns false at once, leaving the files as a dying process would.
  void SetCrashPointForTesting(std::function<bool(SaveStep)> stop) {
    crashPoint_ = std::move(stop);
  }

 private:
  bool WriteTemporary(const std::string& bytes);
  bool CrashesAfter(SaveStep step) const { return crashPoint_ && crashPoint_(step); }

  std::wstring root_;
  std::function<bool(SaveStep)> crashPoint_;
};

// True when the bytes of a config.ini hold at least one settings line; the
// engine always writes them first, so a file without one was cut short.
bool IsUsableConfiguration(const std::string& bytes);

}  // namespace vaultline
