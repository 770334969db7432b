// Engine start-up from the storage root, and the saving of its configuration.
#include "core/BuiltInTexts.h"
#include "core/ConfigurationFiles.h"
#include "core/Engine.h"
#include "core/Folders.h"
#include "platform/File.h"
#include "platform/MessageBox.h"
#include "platform/Path.h"

namespace vaultline {

namespace {

constexpr const wchar_t* kStorageFolder = L"BackupStorage";
constexpr const wchar_t* kTextConfigurationDamaged =
    L"The configuration file is damaged and there is no sound copy to restore it from, so no "
    L"selections can be shown. \nIt is kept as config.damaged; the backups on the drive are "
    L"untouched.";

// The location from its first storage folder onwards, as config.ini keeps it.
std::wstring RelativeLocation(const std::wstring& location) {
  size_t at = location.find(std::wstring(kStorageFolder) + platform::kSeparator);
  return at == std::wstring::npos ? location : location.substr(at);
}

int16_t Low16(int64_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

}  // namespace

void Engine::ApplyDiagnostics() {
  ReadDiagnostics(storageRoot_ + L"diagnostics.ini", &diagnostics_);
  auto apply = [this](const wchar_t* key, auto* field) {
    int64_t value = LookUpDiagnostic(diagnostics_, key);
    if (value == -1) return;
    if constexpr (sizeof(*field) == sizeof(int16_t)) {
      *field = Low16(value);
    } else {
      *field = value;
    }
  };
  apply(L"TraceLevel", &traceLevel_);
  apply(L"ShowTimeTick", &showTimeTick_);
  apply(L"CreateProfileDlg", &createProfileDlg_);
  apply(L"TotalSpaceAvailabeInDevice", &totalSpaceAvailabeInDevice_);
}

void Engine::AddProfile(std::wstring location, std::wstring name, std::wstring contentPath) {
  auto profile = std::make_unique<Profile>();
  profile->location = std::move(location);
  profile->name = std::move(name);
  profile->contents.push_back(std::move(contentPath));
  profiles_->push_back(std::move(profile));
}

bool Engine::Initialize() {
  profiles_.emplace();
  std::wstring programFolder = platform::ProgramFolder();
  storageRoot_ = programFolder + kStorageFolder + platform::kSeparator;
  ConfigurationFiles files(storageRoot_);

  std::string bytes;
  bool readable = files.ReadConfig(&bytes);
  // An empty or cut-off config.ini (a drive pulled while it was written)
  // counts as missing when there is a backup copy to fall back on.
  bool usable = readable && IsUsableConfiguration(bytes);
  if (!usable && files.BackupExists()) {
    std::string backup;
    bool backupUsable = files.ReadBackup(&backup) && IsUsableConfiguration(backup);
    if (!readable || backupUsable) {
      platform::ShowWarningMessageBox(LoadEngineText(provider_, kTextCaption),
                                      LoadEngineText(provider_, kTextConfigurationMissing));
      // A config.ini still there is a damaged one and gives way.
      files.RestoreFromBackup(files.ConfigExists());
      readable = files.ReadConfig(&bytes);
      usable = readable && IsUsableConfiguration(bytes);
    }
  }
  if (readable && !usable && !bytes.empty()) {
    // Nothing to fall back on: without a word the selections would simply
    // be gone. The file is kept before a save can rotate it away.
    files.KeepDamaged();
    platform::ShowWarningMessageBox(LoadEngineText(provider_, kTextCaption),
                                    kTextConfigurationDamaged);
  }

  ApplyDiagnostics();
  if (!readable || bytes.size() < 2) return false;

  Configuration configuration{maxFileSize_, maxBackupSize_, {}, {}};
  configEncoding_ = DecodeConfiguration(bytes, &configuration).encoding;
  maxFileSize_ = configuration.maxFileSize;
  maxBackupSize_ = configuration.maxBackupSize;
  otherSettings_ = std::move(configuration.otherSettings);
  for (SelectionLine& line : configuration.selections) {
    AddProfile(programFolder + line.relativeLocation, std::move(line.name),
               std::move(line.contentPath));
    Profile& profile = *profiles_->back();
    if (OpenCatalogue(profile, nullptr) != nullptr) {
      LoadSnapshotList(profile);
      CloseCatalogue(profile);
    }
  }
  return true;
}

bool Engine::SaveConfiguration() {
  if (!profiles_) return true;
  ConfigurationFiles files(storageRoot_);
  CreateFolders(storageRoot_, true);
  // The desktop program and the command line each keep their own list of
  // selections; under the lock, a save keeps the lines the other one wrote.
  const int lock = platform::LockFolderWaiting(storageRoot_);
  Configuration configuration{maxFileSize_, maxBackupSize_, {}, otherSettings_};
  for (const auto& profile : *profiles_) {
    if (profile->deleted || profile->contents.empty()) continue;
    configuration.selections.push_back(
        {profile->name, RelativeLocation(profile->location), profile->contents.front()});
  }
  KeepUnknownSelections(files, &configuration);
  const bool saved = files.Save(EncodeConfiguration(configuration));
  platform::UnlockFile(lock);
  return saved;
}

void Engine::KeepUnknownSelections(const ConfigurationFiles& files, Configuration* configuration) {
  std::string bytes;
  if (!files.ReadConfig(&bytes)) return;
  Configuration saved{0, 0, {}, {}};
  if (!DecodeConfiguration(bytes, &saved).hasSettingsLine) return;
  const std::wstring programFolder = platform::ProgramFolder();
  unsigned ignored = 0;
  for (SelectionLine& line : saved.selections) {
    // A selection this engine knows, deleted or not, is saved as it has it.
    if (FindProfileByLocation(programFolder + line.relativeLocation, &ignored)) continue;
    configuration->selections.push_back(std::move(line));
  }
}

int64_t Engine::GetStorageUsed() {
  // 64 bits throughout: a 32-bit total is wrong on any drive beyond 4 GiB.
  int32_t files = 0;
  std::wstring root = storageRoot_;
  if (root.size() > 1 && root.back() == platform::kSeparator) root.pop_back();
  return static_cast<int64_t>(FolderSize(root, files));
}

}  // namespace vaultline
