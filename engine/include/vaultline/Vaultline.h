// The boundary between the Vaultline engine and its front ends (the Marrowby
// desktop program and the vaultline command line). Everything that crosses it
// is declared here; the rest of the engine is hidden inside libvaultline.so.
//
// All strings are wide and zero-terminated. The engine never throws across
// this boundary: operations report failures by their results and through the
// status sink.
#pragma once

#include <cstdint>

#include "vaultline/Api.h"

// Opaque list of wide strings owned by the engine. Read it with GetListCount
// and GetListItem, give it back with ReleaseList. A null handle is a valid
// empty list.
struct VaultlineStringList;
using StringList = VaultlineStringList*;

// Severity passed to IBackupRestoreStatus::OnMessage; values above Info are
// trace output.
enum MessageLevel : int {
  kMessageError = 2,
  kMessageWarning = 3,
  kMessageInfo = 4,
};

// Calendar date-time in UTC, filled by IResourceProvider::TimeToSystemTime.
struct SystemTime {
  uint16_t year;
  uint16_t month;
  uint16_t dayOfWeek;
  uint16_t day;
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
  uint16_t milliseconds;
};

// Flags of IResourceProvider::FormatText. With kFormatAllocateBuffer the
// buffer argument points at a wchar_t* that receives a newly allocated text,
// to be freed with the platform's message release function.
enum FormatTextFlags : unsigned {
  kFormatAllocateBuffer = 0x0100,
  kFormatArgumentArray = 0x2000,
};

// Progress and message sink of a long operation, implemented by the front end.
// Called on the thread that called BackUp or Restore. A true result of
// OnTotalSize, OnFile or OnProgress asks the engine to stop. The engine never
// owns a sink.
class VAULTLINE_API IBackupRestoreStatus {
 public:
  virtual bool OnTotalSize(int64_t total) = 0;
  // size -1 announces a file skipped because it exceeds MaxFileSize.
  virtual bool OnFile(int64_t size, const wchar_t* path) = 0;
  virtual bool OnProgress(int64_t done, int64_t currentFileSize) = 0;
  virtual void OnFileDone() = 0;
  // Never called by the engine; the front end calls it on its own sink after
  // BackUp or Restore returned.
  virtual void OnFinished(const wchar_t* text) = 0;
  virtual void OnMessage(int level, const wchar_t* text) = 0;
  virtual bool OnSummary(unsigned skippedFiles, unsigned files, int64_t bytes) = 0;
  virtual bool IsCancelled() = 0;

 protected:
  IBackupRestoreStatus();
  ~IBackupRestoreStatus();
};

// Source of localised texts by numeric identifier, implemented by the front
// end. May be called on any thread that calls the engine.
class VAULTLINE_API IResourceProvider {
 public:
  // 100-nanosecond units since 1601-01-01.
  virtual void TimeToFileTime(int32_t time, int64_t* fileTime) = 0;
  virtual bool TimeToSystemTime(int32_t time, SystemTime* systemTime) = 0;
  // Copies text `id` into buffer, zero-terminated and truncated to capacity;
  // returns the number of characters copied.
  virtual int LoadText(unsigned id, wchar_t* buffer, int capacity) = 0;
  virtual uint16_t GetLanguage() = 0;
  // Formats text `id` with %1!s! inserts from `arguments`. See FormatTextFlags.
  virtual int FormatText(unsigned flags, unsigned id, void* buffer, int size,
                         const wchar_t* const* arguments) = 0;

 protected:
  IResourceProvider();
  ~IResourceProvider();
};

// The engine. Created by InitializeT, destroyed only by Cleanup. Not thread
// safe: the front end calls it from one thread at a time; only the sink's
// cancel flag crosses threads.
class VAULTLINE_API IVaultline {
 public:
  virtual ~IVaultline();

  // Installs the sink used by all later reports; returns the previous one.
  virtual IBackupRestoreStatus* SetStatusCallback(IBackupRestoreStatus* status) = 0;
  virtual bool BackUp(unsigned profile) = 0;
  // item: a path relative to the selection's source, empty for the whole
  // snapshot. destination: an existing folder.
  virtual bool Restore(unsigned profile, int snapshot, const wchar_t* item,
                       const wchar_t* destination) = 0;
  virtual int64_t GetMaxFileSize() = 0;
  virtual void SetMaxFileSize(int64_t bytes) = 0;
  virtual int64_t GetMaxBackupSize() = 0;
  virtual void SetMaxBackupSize(int64_t bytes) = 0;
  virtual void SetShowTimeTick(int16_t value) = 0;
  virtual int16_t GetShowTimeTick() = 0;
  virtual void SetTraceLevel(int16_t value) = 0;
  virtual int16_t GetTraceLevel() = 0;
  virtual int16_t GetCreateProfileDlg() = 0;
  virtual int64_t GetTotalSpaceAvailabeInDevice() = 0;
  virtual void ReleaseList(StringList list) = 0;
  virtual int GetListCount(StringList list) = 0;
  // Never null: an empty string for a null list or an index out of range.
  virtual const wchar_t* GetListItem(StringList list, unsigned index) = 0;
  virtual bool CreateProfile(const wchar_t* name, const wchar_t** contents, int contentCount,
                             int* newIndex) = 0;
  virtual bool RenameProfile(unsigned profile, const wchar_t* name) = 0;
  virtual bool DeleteProfile(unsigned profile) = 0;
  virtual StringList GetProfileNames() = 0;
  virtual StringList GetSnapshots(unsigned profile) = 0;
  virtual StringList GetSnapshotContents(unsigned profile, unsigned snapshot) = 0;
  virtual StringList GetProfileContents(unsigned profile) = 0;
  virtual StringList GetProfileLocation(unsigned profile) = 0;
  virtual int64_t GetStorageUsed() = 0;
  virtual bool Initialize() = 0;
  virtual bool SaveConfiguration() = 0;
  virtual bool RefreshSnapshots(unsigned profile) = 0;
  // Checks the store of a selection without changing it: every snapshot
  // entry, every directory record each snapshot reaches and every content
  // record they point at; with readData also every block of the data file and
  // the index. Progress and each damaged item go to the sink. Returns the
  // damaged items, one text each, "SNAPSHOT\tPATH\tWHAT" (SNAPSHOT -1 for the
  // store as a whole, PATH empty for the snapshot itself): an empty list when
  // everything is sound, null when the check could not run or was cancelled.
  virtual StringList Verify(unsigned profile, bool readData) = 0;
  // Whether the snapshot at `snapshot` of the cached list cannot be read
  // whole: its entry is damaged, or its last listing met damaged records.
  virtual bool IsSnapshotDamaged(unsigned profile, unsigned snapshot) = 0;
  // Forgets the snapshots at the given indices (as GetSnapshots lists them):
  // they are no longer listed, and CompactProfile gives their space back.
  // False, with nothing forgotten, for an index out of range or a failure
  // (reported through the sink). Refreshes the snapshot list.
  virtual bool ForgetSnapshots(unsigned profile, const unsigned* snapshots, int count) = 0;
  // The indices, as decimal texts and oldest first, of the snapshots that a
  // policy would forget which keeps the newest keepLast snapshots and the
  // newest snapshot of each of the newest keepDaily days, keepWeekly weeks
  // and keepMonthly months (local time). The newest snapshot is never among
  // them. Null when there are none.
  virtual StringList GetSnapshotsToForget(unsigned profile, int keepLast, int keepDaily,
                                          int keepWeekly, int keepMonthly) = 0;
  // Rewrites the selection's files so that they hold exactly what its listed
  // snapshots reference, giving back the space of forgotten ones. Progress
  // goes to the sink (OnTotalSize, OnProgress; cancel before the switch
  // leaves everything as it was). False when it was refused (not enough
  // room on the drive: reported with the bytes needed and available),
  // cancelled or failed; the old files then stay in place, whole.
  virtual bool CompactProfile(unsigned profile) = 0;

  // Exclusions: patterns of what the snapshots of a selection leave out, kept
  // with the selection on the drive. The meaning is that of ignore files:
  // "*.tmp" matches a name at any depth, a trailing "/" only folders, a
  // leading "/" anchors a path at the source, "!" brings back what an earlier
  // pattern left out; the last pattern that matches decides. Folders holding
  // a CACHEDIR.TAG with the standard signature are left out as well.
  //
  // The selection's patterns in order; null for an index out of range, a
  // deleted selection, or when they cannot be read (reported).
  virtual StringList GetExclusions(unsigned profile) = 0;
  // Appends `pattern` (nothing when present already). False for a text that
  // is blank, a comment ("#...") or holds a line break, for a selection that
  // is not available, or when the patterns cannot be saved (reported).
  virtual bool AddExclusion(unsigned profile, const wchar_t* pattern) = 0;
  // Removes `pattern`. False when the selection does not hold it (nothing
  // changes), or when the patterns cannot be saved (reported).
  virtual bool RemoveExclusion(unsigned profile, const wchar_t* pattern) = 0;
  // Whether a snapshot would hold `path` (a file or folder below the
  // selection's source; one that does not exist is a folder when it ends in
  // "/"): 0 it would, 1 it is left out, -1 the path is not below the source,
  // or the selection or its patterns are not available. `decidedBy` (may be
  // null) receives two items, the deciding pattern (or "CACHEDIR.TAG") and the
  // item it decided about (the path or a folder above it), or an empty list
  // when no pattern decides.
  virtual int TestExclusion(unsigned profile, const wchar_t* path, StringList* decidedBy) = 0;

  // What each item of GetSnapshotContents(profile, snapshot) is, one text
  // for each, in the same order: empty for a file or folder; else "link",
  // "fifo", "socket", "character device" or "block device", followed for a
  // link by a tab and its target, for a device by a tab and its numbers
  // ("1:3"). Null when the snapshot cannot be listed.
  virtual StringList GetSnapshotItemKinds(unsigned profile, unsigned snapshot) = 0;

 protected:
  IVaultline();
};

// Creates the engine for the drive whose root is `deviceRoot` and reads its
// configuration. Returns null unless the versions are exactly (1, 0, 2).
VAULTLINE_API IVaultline* InitializeT(IResourceProvider* provider, const wchar_t* deviceRoot,
                                      int interfaceVersion, int reserved, int buildVersion);
// Destroys an engine made by InitializeT; null does nothing.
VAULTLINE_API void Cleanup(IVaultline* engine);
