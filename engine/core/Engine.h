// The engine object behind IVaultline: settings, the Backup Selections and the
// operations on them. One per process, made by InitializeT. Not thread safe;
// see IVaultline.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/ConfigLineReader.h"
#include "core/Configuration.h"
#include "core/Diagnostics.h"
#include "core/Profile.h"
#include "vaultline/ItemHistory.h"
#include "vaultline/KeepRules.h"
#include "vaultline/SnapshotFiles.h"
#include "vaultline/Vaultline.h"

namespace vaultline {

class ConfigurationFiles;
class ListedPaths;
class ExclusionFile;
struct RetentionPolicy;

class Engine : public IVaultline {
 public:
  // Keeps `provider` (may be null, not owned) and the drive root whose free
  // space limits a backup. Initialize is not called here.
  Engine(IResourceProvider* provider, const wchar_t* deviceRoot);
  ~Engine() override;

  IBackupRestoreStatus* SetStatusCallback(IBackupRestoreStatus* status) override;
  bool BackUp(unsigned profile) override;
  bool Restore(unsigned profile, int snapshot, const wchar_t* item,
               const wchar_t* destination) override;
  int64_t GetMaxFileSize() override { return maxFileSize_; }
  void SetMaxFileSize(int64_t bytes) override;
  int64_t GetMaxBackupSize() override { return maxBackupSize_; }
  void SetMaxBackupSize(int64_t bytes) override;
  void SetShowTimeTick(int16_t value) override { showTimeTick_ = value; }
  int16_t GetShowTimeTick() override { return showTimeTick_; }
  void SetTraceLevel(int16_t value) override { traceLevel_ = value; }
  int16_t GetTraceLevel() override { return traceLevel_; }
  int16_t GetCreateProfileDlg() override { return createProfileDlg_; }
  int64_t GetTotalSpaceAvailabeInDevice() override { return totalSpaceAvailabeInDevice_; }
  void ReleaseList(StringList list) override;
  int GetListCount(StringList list) override;
  const wchar_t* GetListItem(StringList list, unsigned index) override;
  bool CreateProfile(const wchar_t* name, const wchar_t** contents, int contentCount,
                     int* newIndex) override;
  bool RenameProfile(unsigned profile, const wchar_t* name) override;
  bool DeleteProfile(unsigned profile) override;
  StringList GetProfileNames() override;
  StringList GetSnapshots(unsigned profile) override;
  StringList GetSnapshotContents(unsigned profile, unsigned snapshot) override;
  StringList GetSnapshotItemKinds(unsigned profile, unsigned snapshot) override;
  StringList GetProfileContents(unsigned profile) override;
  StringList GetProfileLocation(unsigned profile) override;
  int64_t GetStorageUsed() override;
  bool Initialize() override;
  bool SaveConfiguration() override;
  bool RefreshSnapshots(unsigned profile) override;
  StringList Verify(unsigned profile, bool readData) override;
  bool IsSnapshotDamaged(unsigned profile, unsigned snapshot) override;
  StringList GetExclusions(unsigned profile) override;
  bool AddExclusion(unsigned profile, const wchar_t* pattern) override;
  bool RemoveExclusion(unsigned profile, const wchar_t* pattern) override;
  int TestExclusion(unsigned profile, const wchar_t* path, StringList* decidedBy) override;
  bool ForgetSnapshots(unsigned profile, const unsigned* snapshots, int count) override;
  StringList GetSnapshotsToForget(unsigned profile, int keepLast, int keepDaily, int keepWeekly,
                                  int keepMonthly) override;
  bool CompactProfile(unsigned profile) override;

  // The location for a new selection, with its folders created; unique among
  // the selections by "x"s appended to the creation stamp.
  virtual std::wstring MakeProfileLocation(const std::wstring& name);
  virtual bool FindProfileByLocation(const std::wstring& location, unsigned* index);
  // Deletes the selection folder of `location`; never the storage root.
  virtual bool RemoveProfileStorage(const std::wstring& location);

  // "SIZE\tTIME" of each item GetSnapshotContents lists, in its order; null
  // when the listing cannot be read whole.
  StringList GetSnapshotDetails(unsigned profile, unsigned snapshot);
  // The selection's source moved to `path`: a ProfileSourceResult.
  int SetProfileSource(unsigned profile, const std::wstring& path);
  // The figures of each listed snapshot, as GetSnapshotFigures describes.
  StringList GetSnapshotFigures(unsigned profile);
  // The selection's snapshots opened for reading under its lock held as a
  // reader; null with `failure` (a SnapshotFilesFailure) when they cannot be.
  ISnapshotFiles* OpenSnapshotFiles(unsigned profile, int* failure);
  // The reading behind the exports of vaultline/ItemHistory.h.
  bool ListStoredItems(unsigned profile, unsigned snapshot, std::vector<StoredItem>* items,
                       std::vector<std::wstring>* problems);
  bool FindVersions(unsigned profile, const VersionSearch& search,
                    std::vector<ItemVersion>* versions, std::vector<std::wstring>* problems);
  bool DiffSnapshots(unsigned profile, unsigned from, unsigned to, std::vector<ItemChange>* changes,
                     std::vector<std::wstring>* problems);
  bool DiffWithFolder(unsigned profile, unsigned snapshot, const std::wstring& folder,
                      std::vector<ItemChange>* changes, std::vector<std::wstring>* problems);
  // The rule of the later restores for files already at their destination.
  void SetRestoreConflict(int rule, bool countOnly) {
    restoreConflict_ = rule;
    restoreCountOnly_ = countOnly;
  }

  // A front end's setting in config.ini; false when it holds none.
  bool GetDriveSetting(const std::wstring& key, std::wstring* value) const;
  // Sets it and saves the configuration; false when that fails.
  bool SetDriveSetting(const std::wstring& key, const std::wstring& value);

  // The selection's keep rules (off when it has none); false (reported) when
  // they cannot be read.
  bool GetKeepRules(unsigned index, KeepRules* rules);
  // Stores them beside the selection's files, under its lock; false
  // (reported) when that fails.
  bool SetKeepRules(unsigned index, const KeepRules& rules);
  StringList GetSnapshotsToForgetAfterBackup(unsigned index, const KeepRules& rules);
  // Compacts the selection: always, or only when it is worth it (see
  // CompactProfileWhenWorthIt). The bytes given back, 0 when it was not worth
  // it, -1 when it was refused, cancelled or failed (reported).
  int64_t Compact(unsigned index, bool onlyWhenWorthIt);
  // The forget log beside config.ini; false when it cannot be written.
  bool AppendForgetLog(const std::wstring& line);
  StringList ReadForgetLog();

  const std::wstring& StorageRoot() const { return storageRoot_; }
  ConfigEncoding GetConfigEncoding() const { return configEncoding_; }

 private:
  // The selection at `index`, or null when out of range or before Initialize.
  Profile* ProfileAt(unsigned index);
  // Runs `work` and turns any exception into false and an error message
  // (the exception's text, or text `failureText`).
  bool Guarded(unsigned failureText, const std::function<bool()>& work);
  void Report(int level, const std::wstring& text);

  // True for a path strictly below the storage root, once "." and ".." are
  // folded: the only places the engine writes to or removes.
  bool IsInsideStorage(const std::wstring& path) const;
  void ApplyDiagnostics();
  void AddProfile(std::wstring location, std::wstring name, std::wstring contentPath);
  // Adds the selection lines of the saved config.ini whose locations this
  // engine does not know: ones another process created since this one read it.
  void KeepUnknownSelections(const ConfigurationFiles& files, Configuration* configuration);

  // Opens the selection's catalogue under its lock, with `status` as the sink
  // (may be null). Null when it does not open, when the sink cancels, or when
  // another process holds the selection (reported to `status`).
  SnapshotManager* OpenCatalogue(Profile& profile, IBackupRestoreStatus* status);
  void CloseCatalogue(Profile& profile);
  // Closes a selection's catalogue, and so frees its lock, on every way out
  // of an operation, exceptions included.
  class CatalogueCloser {
   public:
    CatalogueCloser(Engine* engine, Profile* profile) : engine_(engine), profile_(profile) {}
    ~CatalogueCloser() { engine_->CloseCatalogue(*profile_); }
    CatalogueCloser(const CatalogueCloser&) = delete;
    CatalogueCloser& operator=(const CatalogueCloser&) = delete;

   private:
    Engine* engine_;
    Profile* profile_;
  };
  // Takes the selection's lock; false (reported to `status`) when another
  // process holds it.
  bool LockSelection(Profile& profile, IBackupRestoreStatus* status);
  // Loads a selection's exclusion file; false (reported) when it cannot be
  // read.
  bool LoadExclusions(ExclusionFile* file);
  // Changes the selection's exclusions under its lock and saves them; false
  // when `change` refuses or the file cannot be read or written (reported).
  bool ChangeExclusions(unsigned index, const std::function<bool(ExclusionFile&)>& change);
  // Finishes or rolls back an interrupted compaction of the locked
  // selection; false (reported to `status`) when it cannot be finished.
  bool FinishCompaction(Profile& profile, IBackupRestoreStatus* status);
  // Opens the selection's catalogue and its snapshot list for `work`, which
  // gets the source's listed paths and the source; anything that stops it is
  // named in `problems`.
  bool ReadHistory(
      unsigned index, std::vector<std::wstring>* problems,
      const std::function<bool(SnapshotManager&, const ListedPaths&, const std::wstring&)>& work);
  // Opens the selection's catalogue without a sink and lists its snapshots
  // for `read`, whose list it returns; null when there is no such selection
  // or its catalogue does not open.
  StringList ReadSnapshotList(unsigned index,
                              const std::function<StringList(SnapshotManager&)>& read);
  // Replaces the cached snapshot list from the open catalogue; true when the
  // catalogue lists at least one snapshot.
  bool LoadSnapshotList(Profile& profile);
  // The indices, as texts, of the snapshots `policy` does not keep, with a
  // snapshot taken at `nextSnapshot` (when given) listed after them; damaged
  // entries but the newest go too. Null when none.
  StringList SnapshotsToForget(unsigned index, const RetentionPolicy& policy,
                               std::optional<int32_t> nextSnapshot);
  std::wstring ForgetLogPath() const;

  DiagnosticsMap diagnostics_;
  IBackupRestoreStatus* status_ = nullptr;
  int restoreConflict_ = 0;
  bool restoreCountOnly_ = false;
  int64_t maxFileSize_ = 0;
  int64_t maxBackupSize_ = kDefaultMaxBackupSize;
  std::vector<SettingLine> otherSettings_;
  std::wstring deviceRoot_;
  std::optional<std::vector<std::unique_ptr<Profile>>> profiles_;
  std::wstring storageRoot_;
  int16_t traceLevel_ = 3;
  int16_t showTimeTick_ = 0;
  int16_t createProfileDlg_ = 1;
  int64_t totalSpaceAvailabeInDevice_ = 0;
  ConfigEncoding configEncoding_ = ConfigEncoding::kAnsi;
  IResourceProvider* provider_;
};

}  // namespace vaultline
