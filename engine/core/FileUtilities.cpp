#include "vaultline/FileUtilities.h"

#include "core/Folders.h"
#include "core/LineFields.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"

using namespace vaultline;

bool CheckCreatePath(const std::wstring& path) {
  return CreateFolders(path, false);
}

uint32_t GetDirInfo(const wchar_t* path, int32_t& fileCount) {
  // The sum of the low halves wraps to the same value as the low half of the sum.
  return static_cast<uint32_t>(FolderSize(path, fileCount));
}

uint32_t GetFileSize(const wchar_t* path) {
  uint64_t size = 0;
  if (!platform::GetFileSize64(path, &size)) return 0;
  return static_cast<uint32_t>(size);
}

bool RemoveFolder(const wchar_t* path) {
  std::wstring folder = path;
  std::vector<platform::FindData> entries;
  if (!platform::ListFolder(folder, &entries)) return true;
  for (const platform::FindData& entry : entries) {
    std::wstring full = folder + platform::kSeparator + entry.name;
    bool removed = (entry.attributes & platform::kAttributeFolder) ? RemoveFolder(full.c_str())
                                                                   : platform::DeleteFile(full);
    if (!removed) return false;
  }
  platform::RemoveEmptyFolder(folder);
  return true;
}

void SetFileProtection(const wchar_t* path) {
  // Reads the attributes and deliberately sets none: the configuration files
  // stay writable for the next save.
  uint32_t attributes = 0;
  platform::GetAttributes(path, &attributes);
}

void RemoveFileProtection(const wchar_t* path) {
  uint32_t attributes = 0;
  if (!platform::GetAttributes(path, &attributes)) return;
  if (attributes & platform::kAttributeReadOnly) platform::SetReadOnly(path, false);
}

void Ltrim(std::wstring& text) {
  text.erase(0, text.find_first_not_of(L' '));
}

void Rtrim(std::wstring& text) {
  size_t last = text.find_last_not_of(L' ');
  text.erase(last == std::wstring::npos ? 0 : last + 1);
}

void DoubleQuotes(std::wstring& text) {
  for (size_t at = text.find(L'"'); at != std::wstring::npos; at = text.find(L'"', at + 2)) {
    text.insert(at, 1, L'"');
  }
}

void RemoveDoubleQuotes(std::wstring& text) {
  for (size_t at = text.find(L"\"\""); at != std::wstring::npos; at = text.find(L"\"\"", at + 1)) {
    text.erase(at, 1);
  }
}

bool GetLineParameters(int fileDescriptor, std::vector<std::wstring>& fields) {
  LineFields line(&fields);
  for (;;) {
    unsigned char unit[2];
    int64_t got = platform::ReadFile(fileDescriptor, unit, sizeof unit);
    if (got == 0) return line.HasFields();
    if (got != 2) return false;
    if (line.Add(static_cast<char16_t>(unit[0] | (unit[1] << 8)))) return true;
  }
}
