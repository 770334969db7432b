#include "catalogue/RestoreVisitor.h"

#include <cerrno>

#include "blockstore/BlockStore.h"
#include "blockstore/StoreContext.h"
#include "catalogue/AttributeList.h"
#include "catalogue/PathJoin.h"
#include "catalogue/RecordExtension.h"
#include "catalogue/StatusRecorder.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/LinksAndNodes.h"
#include "platform/Owners.h"
#include "platform/Path.h"
#include "util/ThreadPlan.h"
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
  bool SetMode(uint16_t mode) const { return platform::SetMode(path, mode); }
  bool SetReadOnly(bool readOnly) const { return platform::SetReadOnly(path, readOnly); }
  bool SetOwner(uint32_t owner, uint32_t group) const {
    return platform::SetOwner(path, owner, group);
  }
  bool SetAttribute(const platform::ExtendedAttribute& attribute) const {
    return platform::SetExtendedAttribute(path, attribute);
  }
};

struct OpenFileAttributes {
  int fd;
  bool SetTime(const ExactTime& time) const {
    return platform::SetOpenFileTime(fd, time.seconds, time.nanoseconds);
  }
  bool SetMode(uint16_t mode) const { return platform::SetOpenFileMode(fd, mode); }
  bool SetReadOnly(bool readOnly) const { return platform::SetOpenFileReadOnly(fd, readOnly); }
  bool SetOwner(uint32_t owner, uint32_t group) const {
    return platform::SetOpenFileOwner(fd, owner, group);
  }
  bool SetAttribute(const platform::ExtendedAttribute& attribute) const {
    return platform::SetOpenFileExtendedAttribute(fd, attribute);
  }
};

// The id a recorded name has on this computer, else the recorded id.
// Sets what the record and its attribute list hold: owner and group (by
// the administrator only; anyone else keeps the items as their own), the
// extended attributes, all twelve mode bits (or, for a record without them,
// the read-only state) and last the time (exact when recorded so; a plain
// time 0 is none). A set-ID bit is kept only with the owner or group it was
// set for, never for whoever restores. What could not be set is named in
// `left`; false when the mode or time could not be set.
template <typename Target>
bool ApplyRecorded(const DirEntry& entry, const AttributeList* list, const Target& target,
                   std::vector<std::wstring>* left) {
  bool applied = true;
  bool ownerKept = false;
  bool groupKept = false;
  if (list != nullptr) {
    const uint32_t owner = list->OwnerHere();
    const uint32_t group = list->GroupHere();
    if (platform::IsAdministrator()) {
      ownerKept = groupKept = target.SetOwner(owner, group);
      if (!ownerKept) left->push_back(L"its owner and group");
    } else {
      ownerKept = owner == platform::ProcessOwnerId();
      groupKept = group == platform::ProcessGroupId();
    }
    for (const platform::ExtendedAttribute& attribute : list->attributes) {
      if (!target.SetAttribute(attribute)) left->push_back(L"the attribute " + attribute.name);
    }
  }
  // A link has no mode of its own to set.
  if (entry.Kind() != platform::ItemKind::kSymbolicLink && HasPermissions(entry)) {
    uint16_t mode = PermissionsOf(entry) | (entry.HasTail() ? entry.tail.specialMode : 0);
    if ((mode & 04000) != 0 && !ownerKept) {
      mode &= ~04000;
      left->push_back(L"its set-user-ID bit");
    }
    if ((mode & 02000) != 0 && !groupKept) {
      mode &= ~02000;
      left->push_back(L"its set-group-ID bit");
    }
    applied = target.SetMode(mode);
  } else if (!entry.IsFolder() && entry.Kind() == platform::ItemKind::kPlain) {
    applied = target.SetReadOnly((entry.attributes & kReadOnlyAttribute) != 0);
  }
  const ExactTime time = DecodeTime(entry);
  // A plain record's time 0 stands for none (a drive root).
  if ((entry.extension & kDirHasExactTime) != 0 || time.seconds != 0) {
    applied = target.SetTime(time) && applied;
  }
  return applied;
}

std::wstring LastComponent(const std::wstring& name) {
  const size_t separator = name.rfind(platform::kSeparator);
  return separator == std::wstring::npos ? name : name.substr(separator + 1);
}

bool IsDevice(platform::ItemKind kind) {
  return kind == platform::ItemKind::kCharacterDevice || kind == platform::ItemKind::kBlockDevice;
}

// Makes room for a link or special file: whatever is in its place goes,
// but never a folder.
bool ClearPlace(const std::wstring& path, int* error) {
  if (!platform::PathExists(path) && !platform::IsSymbolicLink(path)) return true;
  if (platform::DeleteFile(path, error)) return true;
  // A read-only file left by an earlier restore is replaced all the same.
  return *error == EACCES && platform::SetReadOnly(path, false) &&
         platform::DeleteFile(path, error);
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

// Sets what the record and `list` (null for none) hold on the file open at
// `fd`; what could not be set.
std::vector<std::wstring> SetOnOpenFile(const DirEntry& entry, int fd, const AttributeList* list) {
  std::vector<std::wstring> left;
  ApplyRecorded(entry, list, OpenFileAttributes{fd}, &left);
  return left;
}

}  // namespace

RestoreVisitor::RestoreVisitor(BlockStore& store, int contentFd, StoreContext& context,
                               std::wstring target, bool flatten, Conflict conflict)
    : store_(store),
      threads_(*store.Threads()),
      contentFd_(contentFd),
      context_(context),
      target_(std::move(target)),
      flatten_(flatten),
      conflict_(conflict) {}

RestoreVisitor::~RestoreVisitor() {
  if (finishing_ != nullptr) FinishingWentWell();
}

void RestoreVisitor::Report(const std::wstring& text, const std::wstring& diagnostic) {
  failed_ = true;
  platform::WriteDiagnostic(diagnostic);
  if (context_.status != nullptr) context_.status->OnMessage(kMessageError, text.c_str());
}

std::wstring RestoreVisitor::Destination(const std::wstring& name) {
  bool unsafe = false;
  std::wstring destination = DestinationOf(name, &unsafe);
  if (unsafe) {
    Report(platform::FormatWide(L"The stored name %ls is not a safe path and was not restored",
                                name.c_str()),
           L"\nUnsafe stored name not restored: " + name);
  }
  return destination;
}

std::wstring RestoreVisitor::DestinationOf(const std::wstring& name, bool* unsafe) const {
  const std::wstring last = LastComponent(name);
  const bool joinedWhole = folders_.empty() && (!flatten_ || target_.empty());
  *unsafe = IsUnsafeComponent(last) || (joinedWhole && HasParentComponent(name));
  if (*unsafe) return std::wstring();
  if (!folders_.empty()) return JoinPath(folders_.back(), last);
  if (target_.empty()) return name;
  return JoinPath(target_, flatten_ ? last : name);
}

bool RestoreVisitor::EnterFolder(const DirEntry& entry, int64_t) {
  if (!Settle() || context_.cancelled) return false;
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
  // The folder's time is set after its contents are in place.
  if (!Settle()) return false;
  const std::wstring destination = folders_.back();
  folders_.pop_back();
  if (context_.cancelled) return false;
  if (!destination.empty() && !conflict_.countOnly) ApplyTo(entry, destination);
  return true;
}

bool RestoreVisitor::VisitFile(const DirEntry& entry, int64_t) {
  if (finishing_ != nullptr) {
    if (const std::optional<bool> ahead = VisitFileAhead(entry)) return *ahead;
    if (!Settle()) return false;
  }
  return VisitFileInOrder(entry);
}

bool RestoreVisitor::VisitFileInOrder(const DirEntry& entry) {
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
  if (entry.Kind() != platform::ItemKind::kPlain) return MakeNode(entry, destination);
  AttributeList list;
  const bool listed = ReadAttributeList(entry, destination, &list);
  if (listed && list.linkGroup != 0 && LinkToEarlierName(list.linkGroup, entry, destination)) {
    return Done(entry);
  }
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
  const bool restored =
      store_.RestoreFile(contentFd_, fd, entry.contentOffset, entry.name, entry.size);
  return FinishFile(entry, destination, fd, restored, list, listed);
}

std::optional<bool> RestoreVisitor::VisitFileAhead(const DirEntry& entry) {
  if (context_.cancelled || Skipping() || conflict_.countOnly ||
      entry.Kind() != platform::ItemKind::kPlain) {
    return std::nullopt;
  }
  bool unsafe = false;
  const std::wstring destination = DestinationOf(entry.name, &unsafe);
  if (destination.empty()) return std::nullopt;
  // Only a file that nothing was in the place of can be taken back: the
  // conflict rule has nothing to decide for it.
  int error = 0;
  const int fd = platform::OpenFile(destination,
                                    HasPermissions(entry) ? platform::OpenMode::kCreateNewPrivate
                                                          : platform::OpenMode::kCreateNew,
                                    &error);
  if (fd < 0) return std::nullopt;
  auto takeBack = [&] {
    platform::CloseFile(fd);
    platform::DeleteFile(destination);
  };

  StatusRecorder held;
  IBackupRestoreStatus* const status = context_.status;
  context_.status = &held;
  held.OnFile(entry.size, destination.c_str());
  AttributeList list;
  const bool listed = ReadAttributeList(entry, destination, &list);
  // A second name depends on how the file before ends.
  const bool linked = listed && list.linkGroup != 0;
  const bool restored =
      !linked && store_.RestoreFile(contentFd_, fd, entry.contentOffset, entry.name, entry.size);
  const bool stopAhead = context_.cancelled;  // by an error reported ahead
  context_.status = status;
  context_.cancelled = false;  // as when the file before was handed over

  if (linked || !FinishingWentWell()) {
    // Its progress counted the file before as restored; it is written
    // again after that file reported, if the restore goes on.
    takeBack();
    if (!Settle()) return false;
    return VisitFileInOrder(entry);
  }
  if (!Settle() || !held.Replay(status, &context_.cancelled)) {
    takeBack();
    return false;
  }
  if (stopAhead) context_.cancelled = true;
  return FinishFile(entry, destination, fd, restored, list, listed);
}

bool RestoreVisitor::FinishFile(const DirEntry& entry, const std::wstring& destination, int fd,
                                bool restored, const AttributeList& list, bool listed) {
  if (restored && !context_.cancelled && threads_.Threaded()) {
    auto finishing = std::make_unique<Finishing>();
    finishing->entry = entry;
    finishing->destination = destination;
    finishing->fd = fd;
    finishing->list = list;
    finishing->listed = listed;
    Finishing* handed = finishing.get();
    finishing->ticket = threads_.Get(ThreadPlan::Helper::kRestoreWriter).Submit([handed] {
      handed->ended = platform::EndFileAtPosition(handed->fd);
      if (handed->ended) {
        handed->left =
            SetOnOpenFile(handed->entry, handed->fd, handed->listed ? &handed->list : nullptr);
      }
      handed->closed = platform::CloseFile(handed->fd);
    });
    finishing_ = std::move(finishing);
    // The next file's progress counts this one as restored, as it will be
    // once it reports.
    context_.restoredBytes += entry.size;
    return true;
  }
  // Pieces of zeros were left holes, the last of them too.
  restored = restored && platform::EndFileAtPosition(fd);
  // Set through the descriptor: no path is looked up again for them.
  if (restored) ApplyTo(entry, destination, fd, listed ? &list : nullptr);
  restored = store_.CloseRestoredFile(fd, restored);
  return Finished(entry, destination, restored, listed ? list.linkGroup : 0);
}

bool RestoreVisitor::FinishingWentWell() {
  threads_.Get(ThreadPlan::Helper::kRestoreWriter).WaitFor(finishing_->ticket);
  return finishing_->ended && finishing_->closed && finishing_->left.empty();
}

bool RestoreVisitor::Settle() {
  if (finishing_ == nullptr) return true;
  FinishingWentWell();
  const std::unique_ptr<Finishing> finishing = std::move(finishing_);
  context_.restoredBytes -= finishing->entry.size;
  bool restored = finishing->ended;
  if (restored) ReportLeft(finishing->destination, finishing->left);
  restored = store_.RestoredFileClosed(finishing->closed, restored);
  return Finished(finishing->entry, finishing->destination, restored,
                  finishing->listed ? finishing->list.linkGroup : 0);
}

bool RestoreVisitor::Finish() {
  return Settle();
}

bool RestoreVisitor::Finished(const DirEntry& entry, const std::wstring& destination, bool restored,
                              uint64_t linkGroup) {
  if (!restored) {
    // Whatever was written of a damaged file must not pass for the file.
    platform::DeleteFile(destination);
    Report(platform::FormatWide(L"The file %ls could not be restored", destination.c_str()),
           L"\nCould not restore " + destination);
  }
  if (context_.cancelled) return false;
  if (!restored) return true;
  if (linkGroup != 0) linkedFiles_.emplace(linkGroup, LinkedFile{destination, entry.size});
  return Done(entry);
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

bool RestoreVisitor::Done(const DirEntry& entry) {
  context_.restoredBytes += entry.size;
  if (context_.status != nullptr) context_.status->OnFileDone();
  return !context_.cancelled;
}

bool RestoreVisitor::LinkToEarlierName(uint64_t linkGroup, const DirEntry& entry,
                                       const std::wstring& destination) {
  const auto earlier = linkedFiles_.find(linkGroup);
  if (earlier == linkedFiles_.end() || earlier->second.size != entry.size) return false;
  // Where no second name can be made (another file system), the file is
  // written again instead.
  int error = 0;
  return ClearPlace(destination, &error) &&
         platform::CreateHardLink(earlier->second.destination, destination, &error);
}

bool RestoreVisitor::ReadAttributeList(const DirEntry& entry, const std::wstring& destination,
                                       AttributeList* list) {
  if (!entry.HasTail() || entry.tail.attributesOffset < 0) return false;
  std::string bytes;
  std::wstring why = L"they do not match their record";
  if (store_.ReadBytes(contentFd_, entry.tail.attributesOffset, std::wstring(), -1, &bytes, &why)) {
    if (AttributeList::DecodeStored(bytes, entry.tail.attributesCrc, list)) return true;
  }
  // The item itself comes back: a warning, as for any attribute not set.
  platform::WriteDiagnostic(L"\nDamaged attribute list of " + entry.name + L": " + why);
  if (context_.status != nullptr) {
    const std::wstring text = platform::FormatWide(
        L"%ls was restored without its owner and attributes: they are damaged on the drive",
        destination.c_str());
    context_.status->OnMessage(kMessageWarning, text.c_str());
  }
  return false;
}

void RestoreVisitor::ApplyTo(const DirEntry& entry, const std::wstring& destination) {
  AttributeList list;
  const bool listed = ReadAttributeList(entry, destination, &list);
  ApplyTo(entry, destination, -1, listed ? &list : nullptr);
}

void RestoreVisitor::ApplyTo(const DirEntry& entry, const std::wstring& destination, int fd,
                             const AttributeList* list) {
  std::vector<std::wstring> left;
  if (fd >= 0) {
    left = SetOnOpenFile(entry, fd, list);
  } else {
    ApplyRecorded(entry, list, PathAttributes{destination}, &left);
  }
  ReportLeft(destination, left);
}

void RestoreVisitor::ReportLeft(const std::wstring& destination,
                                const std::vector<std::wstring>& left) {
  if (left.empty() || context_.status == nullptr) return;
  std::wstring what = left.front();
  for (size_t i = 1; i < left.size(); ++i) what += L", " + left[i];
  const std::wstring text =
      platform::FormatWide(L"%ls was restored without %ls", destination.c_str(), what.c_str());
  context_.status->OnMessage(kMessageWarning, text.c_str());
}

bool RestoreVisitor::MakeNode(const DirEntry& entry, const std::wstring& destination) {
  const platform::ItemKind kind = entry.Kind();
  int error = 0;
  bool made = ClearPlace(destination, &error);
  if (made && kind == platform::ItemKind::kSymbolicLink) {
    std::string target;
    if (!store_.RestoreBytes(contentFd_, entry.contentOffset, entry.name, entry.size, &target)) {
      Report(platform::FormatWide(L"The file %ls could not be restored", destination.c_str()),
             L"\nCould not restore " + destination);
      return !context_.cancelled;
    }
    made = platform::CreateSymbolicLink(target, destination, &error);
  } else if (made) {
    made = platform::CreateSpecialNode(destination, kind, entry.tail.deviceMajor,
                                       entry.tail.deviceMinor, &error);
  }
  if (!made && IsDevice(kind) && error == EPERM) {
    // Only the administrator makes devices: a restore by anyone else leaves
    // them out, and says so.
    if (context_.status != nullptr) {
      const std::wstring text = platform::FormatWide(
          L"The device %ls was not restored: only the administrator can make devices",
          destination.c_str());
      context_.status->OnMessage(kMessageWarning, text.c_str());
    }
    return !context_.cancelled;
  }
  if (!made) {
    Report(platform::FormatWide(L"Could not create the file %ls: %ls", destination.c_str(),
                                platform::SystemErrorText(error).c_str()),
           L"\nCan not create the file " + destination);
    return !context_.cancelled;
  }
  ApplyTo(entry, destination);
  return Done(entry);
}

}  // namespace vaultline
