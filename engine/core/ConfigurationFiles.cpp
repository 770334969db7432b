#include "core/ConfigurationFiles.h"

#include "core/Configuration.h"
#include "core/Folders.h"
#include "core/WholeFile.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "vaultline/FileUtilities.h"

namespace vaultline {

namespace {

// Far beyond any real configuration; a damaged file of that size is not one.
constexpr int64_t kMaxConfigurationSize = int64_t{16} << 20;

}  // namespace

bool IsUsableConfiguration(const std::string& bytes) {
  Configuration ignored;
  return DecodeConfiguration(bytes, &ignored).hasSettingsLine;
}

ConfigurationFiles::ConfigurationFiles(std::wstring storageRoot) : root_(std::move(storageRoot)) {}

bool ConfigurationFiles::ReadConfig(std::string* bytes) const {
  return ReadWholeFile(ConfigPath(), kMaxConfigurationSize, bytes);
}

bool ConfigurationFiles::ReadBackup(std::string* bytes) const {
  return ReadWholeFile(BackupPath(), kMaxConfigurationSize, bytes);
}

bool ConfigurationFiles::ConfigExists() const {
  return platform::PathExists(ConfigPath());
}

bool ConfigurationFiles::BackupExists() const {
  return platform::PathExists(BackupPath());
}

bool ConfigurationFiles::WriteTemporary(const std::string& bytes) {
  return WriteSyncedFile(TemporaryPath(), bytes);
}

void ConfigurationFiles::KeepDamaged() {
  platform::CopyFile(ConfigPath(), DamagedPath(), true);
}

bool ConfigurationFiles::RestoreFromBackup(bool replaceExisting) {
  // A copy straight onto config.ini could be cut short by a crash and then be
  // read as the configuration; going through the synced temporary file cannot.
  std::string bytes;
  if (!ReadBackup(&bytes) || !WriteTemporary(bytes)) return false;
  if (!replaceExisting && ConfigExists()) {
    platform::DeleteFile(TemporaryPath());
    return true;
  }
  RemoveFileProtection(ConfigPath().c_str());
  if (!platform::RenameFile(TemporaryPath(), ConfigPath())) return false;
  platform::SyncFolder(root_);
  return true;
}

bool ConfigurationFiles::Save(const std::string& bytes) {
  CreateFolders(root_, true);
  if (!WriteTemporary(bytes)) return false;
  if (CrashesAfter(SaveStep::kTemporaryWritten)) return false;

  std::wstring config = ConfigPath();
  std::wstring backup = BackupPath();
  RemoveFileProtection(config.c_str());
  RemoveFileProtection(backup.c_str());
  if (ConfigExists()) {
    std::string current;
    bool usable = ReadConfig(&current) && IsUsableConfiguration(current);
    if (usable || !BackupExists()) {
      platform::DeleteFile(backup);
      if (CrashesAfter(SaveStep::kBackupDeleted)) return false;
      platform::RenameFile(config, backup);
      if (CrashesAfter(SaveStep::kRotated)) return false;
    }
  }
  // rename replaces a config.ini that is still there (one not worth keeping)
  // in one step.
  if (!platform::RenameFile(TemporaryPath(), config)) return false;
  // Until the folder is synced the new name may not survive a pulled drive.
  const bool durable = platform::SyncFolder(root_);
  if (CrashesAfter(SaveStep::kReplaced)) return false;
  SetFileProtection(config.c_str());
  SetFileProtection(backup.c_str());
  return durable;
}

}  // namespace vaultline
