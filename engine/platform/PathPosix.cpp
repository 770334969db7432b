#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

#include "platform/OsPath.h"
#include "platform/Path.h"
#include "platform/Text.h"

namespace vaultline::platform {
namespace {

// The folder SetProgramFolderOverride named, under its lock.
struct FolderOverride {
  std::mutex mutex;
  std::wstring folder;
};

FolderOverride& ProgramFolderOverride() {
  static FolderOverride folderOverride;
  return folderOverride;
}

// An empty path (a failure) stays empty.
std::wstring WithTrailingSeparator(std::wstring path) {
  if (!path.empty() && path.back() != kSeparator) path.push_back(kSeparator);
  return path;
}

// The lexical parent of an absolute, normalised path without a trailing
// separator ("/" is its own parent).
std::wstring ParentOf(const std::wstring& path) {
  const size_t last = path.find_last_of(kSeparator);
  if (last == std::wstring::npos || last == 0) return kSeparatorText;
  return path.substr(0, last);
}

std::wstring WithoutTrailingSeparator(std::wstring path) {
  while (path.size() > 1 && path.back() == kSeparator) path.pop_back();
  return path;
}

// The path itself when it exists, else its nearest existing ancestor.
std::wstring NearestExisting(std::wstring path, struct stat* info) {
  if (path.empty()) return {};
  path = WithoutTrailingSeparator(std::move(path));
  while (::stat(OsPath(path).c_str(), info) != 0) {
    if (path == kSeparatorText) return {};
    path = ParentOf(path);
  }
  return path;
}

}  // namespace

std::wstring CurrentDirectory() {
  std::vector<char> buffer(4096);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() > (1u << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
  return DecodeName(buffer.data());
}

std::wstring FullPath(std::wstring_view path) {
  std::wstring absolute;
  if (path.empty() || path.front() != kSeparator) {
    absolute = CurrentDirectory();
    if (absolute.empty()) return {};
    if (path.empty()) return absolute;
    absolute.push_back(kSeparator);
  }
  absolute.append(path);

  std::vector<std::wstring_view> parts;
  const std::wstring_view whole(absolute);
  size_t begin = 0;
  while (begin <= whole.size()) {
    size_t end = whole.find(kSeparator, begin);
    if (end == std::wstring_view::npos) end = whole.size();
    const std::wstring_view part = whole.substr(begin, end - begin);
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(part);
    }
    begin = end + 1;
  }

  std::wstring result;
  for (const auto& part : parts) {
    result.push_back(kSeparator);
    result.append(part);
  }
  if (result.empty() || path.back() == kSeparator) result.push_back(kSeparator);
  return result;
}

std::wstring JoinPath(std::wstring_view folder, std::wstring_view path) {
  std::wstring joined(folder);
  while (!path.empty() && path.front() == kSeparator) path.remove_prefix(1);
  if (!joined.empty() && joined.back() != kSeparator && !path.empty()) {
    joined.push_back(kSeparator);
  }
  joined.append(path);
  return joined;
}

void SetProgramFolderOverride(std::wstring_view folder) {
  std::wstring full = folder.empty() ? std::wstring() : WithTrailingSeparator(FullPath(folder));
  FolderOverride& folderOverride = ProgramFolderOverride();
  std::lock_guard<std::mutex> lock(folderOverride.mutex);
  folderOverride.folder = std::move(full);
}

std::wstring ProgramFolder() {
  {
    FolderOverride& folderOverride = ProgramFolderOverride();
    std::lock_guard<std::mutex> lock(folderOverride.mutex);
    if (!folderOverride.folder.empty()) return folderOverride.folder;
  }
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < buffer.size()) {
      const std::wstring program = DecodeName(std::string_view(buffer.data(), length));
      return WithTrailingSeparator(ParentOf(program));
    }
    if (buffer.size() > (1u << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring DeviceRootOf(std::wstring_view path) {
  struct stat info;
  std::wstring current = NearestExisting(FullPath(path), &info);
  if (current.empty()) return {};
  while (current != kSeparatorText) {
    const std::wstring parent = ParentOf(current);
    struct stat parentInfo;
    if (::stat(OsPath(parent).c_str(), &parentInfo) != 0 || parentInfo.st_dev != info.st_dev) {
      break;
    }
    current = parent;
  }
  return WithTrailingSeparator(current);
}

bool DiskSpace(std::wstring_view path, uint64_t* freeBytes, uint64_t* totalBytes, int* error) {
  struct stat info;
  const std::wstring existing = NearestExisting(FullPath(path), &info);
  struct statvfs space;
  if (existing.empty() || ::statvfs(OsPath(existing).c_str(), &space) != 0) {
    if (error != nullptr) *error = existing.empty() ? ENOENT : errno;
    return false;
  }
  if (freeBytes != nullptr) *freeBytes = static_cast<uint64_t>(space.f_bavail) * space.f_frsize;
  if (totalBytes != nullptr) *totalBytes = static_cast<uint64_t>(space.f_blocks) * space.f_frsize;
  return true;
}

}  // namespace vaultline::platform
