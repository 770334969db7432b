#include "catalogue/RestoreVisitor.h"

#include <cerrno>

#include "blockstore/BlockStore.h"
#include "blockstore/StoreContext.h"
#include "catalogue/PathJoin.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/Path.h"
#include "vaultline/Vaultline.h"

namespace vaultline {

namespace {

std::wstring LastComponent(const std::wstring& name) {
  const size_t separator = name.rfind(platform::kSeparator);
  return separator == std::wstring::npos ? name : name.substr(separator + 1);
}

bool IsUnsafeComponent(std::wstring_view component) {
  return component.empty() || component == L"." || component == L"..";
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
  if (destination.empty()) return true;
  int error = 0;
  if (platform::IsSymbolicLink(destination) ||
      (!platform::CreateFolder(destination, false, &error) &&
       (error != EEXIST || !platform::IsFolder(destination)))) {
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
  if (!destination.empty()) ApplyAttributesAndTime(destination, entry.attributes, entry.modifyTime);
  return true;
}

bool RestoreVisitor::VisitFile(const DirEntry& entry, int64_t) {
  if (context_.cancelled) return false;
  if (Skipping()) return true;
  const std::wstring destination = Destination(entry.name);
  if (destination.empty()) return true;
  // A file left read-only by an earlier restore is overwritten; SetReadOnly
  // does not follow a link, and opening below refuses one.
  platform::SetReadOnly(destination, false);
  int error = 0;
  const int fd = platform::OpenFile(destination, platform::OpenMode::kCreateTruncate, &error);
  if (fd < 0) {
    Report(platform::FormatWide(L"Could not create the file %ls: %ls", destination.c_str(),
                                platform::SystemErrorText(error).c_str()),
           L"\nCan not create the file " + destination);
    return true;
  }
  if (context_.status != nullptr) {
    context_.cancelled = context_.status->OnFile(entry.size, destination.c_str());
  }
  if (context_.cancelled) {
    platform::CloseFile(fd);
    return false;
  }
  const bool restored =
      store_.RestoreFile(contentFd_, fd, entry.contentOffset, entry.name, entry.size);
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
  ApplyAttributesAndTime(destination, entry.attributes, entry.modifyTime);
  return true;
}

bool RestoreVisitor::ApplyAttributesAndTime(const std::wstring& path, uint32_t attributes,
                                            int32_t modifyTime) {
  bool applied = true;
  if (modifyTime != 0) applied = platform::SetFileTime(path, modifyTime);
  if ((attributes & kFolderAttribute) == 0) {
    applied = platform::SetReadOnly(path, (attributes & kReadOnlyAttribute) != 0) && applied;
  }
  return applied;
}

}  // namespace vaultline
