#include "core/ExclusionFile.h"

#include <algorithm>

#include "catalogue/ExclusionRules.h"
#include "core/WholeFile.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/Text.h"

namespace vaultline {

namespace {

// Far beyond any list a person keeps; a file that large is not one.
constexpr int64_t kMaxExclusionFileSize = int64_t{1} << 20;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::wstring FolderPrefixOf(const std::wstring& location) {
  const size_t separator = location.rfind(platform::kSeparator);
  return separator == std::wstring::npos ? std::wstring() : location.substr(0, separator + 1);
}

}  // namespace

ExclusionFile::ExclusionFile(const std::wstring& location)
    : path_(FolderPrefixOf(location) + L"exclude") {}

bool ExclusionFile::Load() {
  lines_.clear();
  if (!platform::PathExists(path_)) return true;
  std::string bytes;
  if (!ReadWholeFile(path_, kMaxExclusionFileSize, &bytes)) return false;
  std::string_view rest(bytes);
  if (rest.starts_with(kByteOrderMark)) rest.remove_prefix(kByteOrderMark.size());
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines_.push_back(platform::DecodeName(line));
  }
  return true;
}

std::vector<std::wstring> ExclusionFile::Patterns() const {
  std::vector<std::wstring> patterns;
  for (const std::wstring& line : lines_) {
    if (ExclusionRules::IsPatternLine(line)) patterns.push_back(line);
  }
  return patterns;
}

bool ExclusionFile::IsStorablePattern(const std::wstring& pattern) {
  return ExclusionRules::IsPatternLine(pattern) &&
         pattern.find_first_of(std::wstring(L"\r\n\0", 3)) == std::wstring::npos;
}

void ExclusionFile::Add(const std::wstring& pattern) {
  if (std::find(lines_.begin(), lines_.end(), pattern) == lines_.end()) lines_.push_back(pattern);
}

bool ExclusionFile::Remove(const std::wstring& pattern) {
  const auto kept = std::remove(lines_.begin(), lines_.end(), pattern);
  const bool found = kept != lines_.end();
  lines_.erase(kept, lines_.end());
  return found;
}

bool ExclusionFile::Save() const {
  std::string bytes;
  for (const std::wstring& line : lines_) bytes += platform::EncodeName(line) + '\n';
  const std::wstring temporary = path_ + L".new";
  return WriteSyncedFile(temporary, bytes) && platform::RenameFile(temporary, path_) &&
         platform::SyncFolder(FolderPrefixOf(path_));
}

}  // namespace vaultline
