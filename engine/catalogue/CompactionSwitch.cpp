#include "catalogue/CompactionSwitch.h"

#include "catalogue/PathJoin.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace vaultline {

namespace {

constexpr const wchar_t* kStagingName = L"compact-new";
constexpr const wchar_t* kMarkerName = L"compact-commit";
constexpr const char kMarkerText[] = "vaultline compaction 1\nswitch to compact-new\n";

std::wstring NameOf(const std::wstring& path) {
  const size_t separator = path.rfind(platform::kSeparator);
  return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

}  // namespace

CompactionSwitch::CompactionSwitch(std::wstring location) {
  folder_ = FolderOfPath(location);
  staging_ = folder_ + platform::kSeparator + kStagingName;
  marker_ = folder_ + platform::kSeparator + kMarkerName;
  // The figures sidecar names snapshots by their ranges: it is renumbered
  // and switched with the set.
  files_ = {location,           location + L".ind", location + L".fp",
            location + L".dir", location + L".snp", location + L".figures"};
  // Derived from the old offsets; they would point the new files astray.
  sidecars_ = {location + L".keys", location + L".bad", location + L".lookup"};
}

std::wstring CompactionSwitch::StagedPath(const std::wstring& file) const {
  return staging_ + platform::kSeparator + NameOf(file);
}

bool CompactionSwitch::MarkerExists() const {
  return platform::PathExists(marker_);
}

void CompactionSwitch::RemoveStaging() {
  bool removed = false;
  // A compaction stopped while replacing a staged file (written beside it as
  // ".new", then renamed over it) leaves that too; the folder only goes
  // once it is empty.
  for (const std::vector<std::wstring>* names : {&files_, &sidecars_}) {
    for (const std::wstring& file : *names) {
      removed = platform::DeleteFile(StagedPath(file)) || removed;
      removed = platform::DeleteFile(StagedPath(file) + L".new") || removed;
    }
  }
  removed = platform::RemoveEmptyFolder(staging_) || removed;
  // Only a removal needs its folder synced; a failure there loses nothing.
  if (removed) platform::SyncFolder(folder_);
}

bool CompactionSwitch::PrepareStaging() {
  if (MarkerExists()) return false;  // an unfinished switch comes first
  RemoveStaging();
  return platform::CreateFolder(staging_, true);
}

void CompactionSwitch::Discard() {
  if (!MarkerExists()) RemoveStaging();
}

bool CompactionSwitch::MoveStagedFiles() {
  // Renames are atomic one by one; the marker keeps the set together: while
  // it exists, every file still staged is newer than the one in place.
  for (const std::wstring& file : files_) {
    const std::wstring staged = StagedPath(file);
    if (!platform::PathExists(staged)) continue;
    if (!platform::RenameFile(staged, file)) {
      platform::WriteDiagnostic(L"\nfailed to put the compacted file in place: " + file);
      return false;
    }
  }
  if (!platform::SyncFolder(folder_)) return false;
  // Only now may the marker go: the new names are durable.
  if (!platform::DeleteFile(marker_) || !platform::SyncFolder(folder_)) return false;
  RemoveStaging();
  return true;
}

bool CompactionSwitch::Commit() {
  // Everything staged must be durable before the marker says it is whole.
  if (!platform::SyncFolder(staging_)) return false;
  for (const std::wstring& sidecar : sidecars_) platform::DeleteFile(sidecar);
  const int fd = platform::OpenFile(marker_, platform::OpenMode::kReadWriteStore);
  if (fd < 0) return false;
  const bool written = platform::TruncateFile(fd, 0) &&
                       platform::WriteFile(fd, kMarkerText, sizeof kMarkerText - 1) &&
                       platform::SyncFile(fd);
  platform::CloseFile(fd);
  if (!written || !platform::SyncFolder(folder_)) {
    // Not committed: the old set stays.
    platform::DeleteFile(marker_);
    platform::SyncFolder(folder_);
    return false;
  }
  return MoveStagedFiles();
}

bool CompactionSwitch::Recover(const std::wstring& location) {
  CompactionSwitch interrupted(location);
  if (interrupted.MarkerExists()) {
    platform::WriteDiagnostic(L"\nfinishing an interrupted compaction of " + location);
    return interrupted.MoveStagedFiles();
  }
  if (platform::PathExists(interrupted.staging_)) {
    platform::WriteDiagnostic(L"\nrolling back an interrupted compaction of " + location);
    interrupted.RemoveStaging();
  }
  return true;
}

}  // namespace vaultline
