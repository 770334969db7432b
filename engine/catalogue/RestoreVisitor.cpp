#include "catalogue/RestoreVisitor.h"

#include <cerrno>

#include "blockstore/BlockStore.h"
#include "blockstore/StoreContext.h"
#include "catalogue/PathJoin.h"
#include "catalogue/RecordExtension.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/Path.h"
#include "vaultline/RestoreConflict.h"
#include "vaultline/Vaultline.h"

namespace vaultline {

namespace {

constexpr uint16_t kClosedFileMode = 0600;
constexpr uint16_t kClosedFolderMode = 0700;

// Where recorded attributes are set: a path, or a file still open.
struct PathAttributes {
  const std::wstring& path;
  bool SetTime(const ExactTime& time) const {
    return platform::SetFileTime(path, time.seconds, time.nanoseconds);
  }
  bool SetPermissions(uint16_t permissions) const {
    return platform::SetPermissions(path, permissions);
  }
  bool SetReadOnly(bool readOnly) const { return platform::SetReadOnly(path, readOnly); }
};

struct OpenFileAttributes {
  int fd;
  bool SetTime(const ExactTime& time) const {
    return platform::SetOpenFileTime(fd, time.seconds, time.nanoseconds);
  }
  bool SetPermissions(uint16_t permissions) const {
    return platform::SetOpenFilePermissions(fd, permissions);
  }
  bool SetReadOnly(bool readOnly) const { return platform::SetOpenFileReadOnly(fd, readOnly); }
};

// The time (exact when recorded so; a plain time 0 is none) and the recorded
// permission bits, or, for a file of a record without them, the read-only
// state.
template <typename Target>
bool ApplyRecorded(const DirEntry& entry, const Target& target) {
  bool applied = true;
  const ExactTime time = DecodeTime(entry);
  // A plain record's time 0 stands for none (a drive root).
  if ((entry.extension & kDirHasExactTime) != 0 || time.seconds != 0) {
    applied = target.SetTime(time);
  }
  if (HasPermissions(entry)) {
    applied = target.SetPermissions(PermissionsOf(entry)) && applied;
  } else if (!entry.IsFolder()) {
    applied = target.SetReadOnly((entry.attributes & kReadOnlyAttribute) != 0) && applied;
  }
  return applied;
}

std::wstring LastComponent(const std::wstring& name) {
  const size_t separator = name.rfind(platform::kSeparator);
  return separator == std::wstring::npos ? name : name.substr(separator + 1);
}

bool IsUnsafeComponent(std::wstring_view component) {
  return component.empty() || component == L"." || component == L"..";
}

// The first free name beside `path` for a restored file that must not replace
// it: "report (restored).txt", then "report (restored 2).txt", ...
std::wstring FreeNameBeside(const std::wstring& path) {
  const size_t separator = path.rfind(platform::kSeparator);
  const size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
  size_t dot = path.rfind(L'.');
  // A leading dot starts a hidden name, not an extension.
  if (dot == std::wstring::npos || dot <= nameStart) dot = path.size();
  const std::wstring stem = path.substr(0, dot);
  const std::wstring extension = path.substr(dot);
  for (int n = 1;; ++n) {
    const std::wstring mark = n == 1 ? L" (restored)" : L" (restored " + std::to_wstring(n) + L")";
    std::wstring candidate = stem + mark + extension;
    if (!platform::PathExists(candidate) && !platform::IsSymbolicLink(candidate)) return candidate;
  }
}

bool HasParentComponent(const std::wstring& name) {
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find(platform::kSeparator, start);
    if (end == std::wstring::npos) end = name.size();
    if (std::wstring_view(name).substr(start, end - start) == L"..") return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

void RestoreVisitor::Report(const std::wstring& text, const std::wstring& diagnostic) {
  failed_ = true;
  platform::WriteDiagnostic(diagnostic);
  if (context_.status != nullptr) context_.status->OnMessage(kMessageError, text.c_str());
}

std::wstring RestoreVisitor::Destination(const std::wstring& name) {
  const std::wstring last = LastComponent(name);
  const bool joinedWhole = folders_.empty() && (!flatten_ || target_.empty());
  if (IsUnsafeComponent(last) || (joinedWhole && HasParentComponent(name))) {
    Report(platform::FormatWide(L"The stored name %ls is not a safe path and was not restored",
                                name.c_str()),
           L"\nUnsafe stored name not restored: " + name);
    return std::wstring();
  }
  if (!folders_.empty()) return JoinPath(folders_.back(), last);
  if (target_.empty()) return name;
  return JoinPath(target_, flatten_ ? last : name);
}

bool RestoreVisitor::EnterFolder(const DirEntry& entry, int64_t) {
  if (context_.cancelled) return false;
  if (Skipping()) {
    folders_.emplace_back();
    return true;
  }
  const std::wstring destination = Destination(entry.name);
  folders_.push_back(destination);
  if (destination.empty() || conflict_.countOnly) return true;
  // A folder with a recorded mode is made closed (0700) and opened up to that
  // mode only when its contents are in place, so that nothing in it is ever
  // reachable by more users than it was.
  const bool closed = HasPermissions(entry);
  int error = 0;
  if (platform::IsSymbolicLink(destination) ||
      (!platform::CreateFolder(destination, closed, &error) &&
       (error != EEXIST || !platform::IsFolder(destination) ||
        (closed && !platform::SetPermissions(destination, kClosedFolderMode))))) {
    Report(platform::FormatWide(L"Could not create the folder %ls", destination.c_str()),
           L"\nCan not create the path");
    return false;
  }
  return true;
}

bool RestoreVisitor::LeaveFolder(const DirEntry& entry) {
  const std::wstring destination = folders_.back();
  folders_.pop_back();
  if (context_.cancelled) return false;
  if (!destination.empty() && !conflict_.countOnly) ApplyAttributesAndTime(destination, entry);
  return true;
}

bool RestoreVisitor::VisitFile(const DirEntry& entry, int64_t) {
  if (context_.cancelled) return false;
  if (Skipping()) return true;
  const std::wstring destination = UnderConflictRule(entry, Destination(entry.name));
  if (destination.empty() || conflict_.countOnly) return true;
  // Announced before it is opened: a stop asked for now leaves a file that
  // is already there as it was, not cut to nothing.
  if (context_.status != nullptr) {
    context_.cancelled = context_.status->OnFile(entry.size, destination.c_str());
  }
  if (context_.cancelled) return false;
  // A file with a recorded mode is written closed (0600), whatever was there
  // and whatever the umask, and opened up to that mode at the end. Opening
  // refuses a link.
  const bool closed = HasPermissions(entry);
  const platform::OpenMode mode =
      closed ? platform::OpenMode::kCreatePrivate : platform::OpenMode::kCreateTruncate;
  int error = 0;
  int fd = platform::OpenFile(destination, mode, &error);
  if (fd < 0 && error == EACCES) {
    // A file left read-only by an earlier restore is overwritten; neither
    // SetReadOnly nor SetPermissions follows a link.
    if (closed) {
      platform::SetPermissions(destination, kClosedFileMode);
    } else {
      platform::SetReadOnly(destination, false);
    }
    fd = platform::OpenFile(destination, mode, &error);
  }
  if (fd < 0) {
    Report(platform::FormatWide(L"Could not create the file %ls: %ls", destination.c_str(),
                                platform::SystemErrorText(error).c_str()),
           L"\nCan not create the file " + destination);
    return true;
  }
  bool restored = store_.RestoreFile(contentFd_, fd, entry.contentOffset, entry.name, entry.size);
  // Set through the descriptor: no path is looked up again for them.
  if (restored) ApplyRecorded(entry, OpenFileAttributes{fd});
  restored = store_.CloseRestoredFile(fd, restored);
  if (!restored) {
    // Whatever was written of a damaged file must not pass for the file.
    platform::DeleteFile(destination);
    Report(platform::FormatWide(L"The file %ls could not be restored", destination.c_str()),
           L"\nCould not restore " + destination);
  }
  if (context_.cancelled) return false;
  if (!restored) return true;
  context_.restoredBytes += entry.size;
  if (context_.status != nullptr) context_.status->OnFileDone();
  return true;
}

std::wstring RestoreVisitor::UnderConflictRule(const DirEntry& entry,
                                               const std::wstring& destination) {
  platform::FindData local;
  const bool exists = !destination.empty() && platform::DescribePath(destination, &local) &&
                      (local.attributes & platform::kAttributeFolder) == 0;
  if (!exists) return conflict_.countOnly ? std::wstring() : destination;
  const ExactTime stored = DecodeTime(entry);
  // A plain record keeps whole seconds only: within its second no file is newer.
  const bool exact = (entry.extension & kDirHasExactTime) != 0;
  const bool localIsNewer = local.lastWriteSeconds > stored.seconds ||
                            (exact && local.lastWriteSeconds == stored.seconds &&
                             local.lastWriteNanoseconds > stored.nanoseconds);
  const bool replaces = conflict_.rule == kReplaceLocalFile ||
                        (conflict_.rule == kKeepNewerLocalFile && !localIsNewer);
  if (conflict_.countOnly) {
    if (replaces && context_.status != nullptr) {
      context_.status->OnFile(entry.size, destination.c_str());
    }
    return std::wstring();
  }
  if (replaces) return destination;
  if (conflict_.rule == kKeepBothFiles) return FreeNameBeside(destination);
  if (context_.status != nullptr) {
    const std::wstring text = platform::FormatWide(
        L"The file %ls was kept: it is newer than the one in the snapshot", destination.c_str());
    context_.status->OnMessage(kMessageInfo, text.c_str());
  }
  return std::wstring();
}

bool RestoreVisitor::ApplyAttributesAndTime(const std::wstring& path, const DirEntry& entry) {
  return ApplyRecorded(entry, PathAttributes{path});
}

}  // namespace vaultline
