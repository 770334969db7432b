#include "core/KeepRulesFile.h"

#include <string_view>

#include "catalogue/PathJoin.h"
#include "core/DecimalNumber.h"
#include "core/WholeFile.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/Text.h"

namespace vaultline {

namespace {

// Five short lines; anything larger is not a file of ours.
constexpr int64_t kMaxKeepFileSize = 4096;

struct Field {
  const char* name;
  int KeepRules::*count;
};
constexpr Field kCounts[] = {{"last", &KeepRules::last},
                             {"daily", &KeepRules::daily},
                             {"weekly", &KeepRules::weekly},
                             {"monthly", &KeepRules::monthly}};

int Clamped(int count) {
  return count < 0 ? 0 : count > KeepRulesFile::kMaxCount ? KeepRulesFile::kMaxCount : count;
}

}  // namespace

KeepRulesFile::KeepRulesFile(const std::wstring& location)
    : path_(FolderOfPath(location) + platform::kSeparator + L"keep") {}

bool KeepRulesFile::Load(KeepRules* rules) const {
  *rules = KeepRules();
  if (!platform::PathExists(path_)) return true;
  std::string bytes;
  if (!ReadWholeFile(path_, kMaxKeepFileSize, &bytes)) return false;
  std::string_view rest(bytes);
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    const size_t blank = line.find(' ');
    if (blank == std::string_view::npos) continue;
    const std::string_view name = line.substr(0, blank);
    int64_t value = 0;
    if (!ParseDecimal(platform::DecodeName(line.substr(blank + 1)), &value) || value < 0 ||
        value > kMaxCount) {
      continue;
    }
    if (name == "enabled") rules->enabled = value != 0;
    for (const Field& field : kCounts) {
      if (name == field.name) rules->*field.count = static_cast<int>(value);
    }
  }
  return true;
}

bool KeepRulesFile::Save(const KeepRules& rules) const {
  std::string bytes = std::string("enabled ") + (rules.enabled ? "1" : "0") + '\n';
  for (const Field& field : kCounts) {
    bytes += std::string(field.name) + ' ' + std::to_string(Clamped(rules.*field.count)) + '\n';
  }
  const std::wstring temporary = path_ + L".new";
  return WriteSyncedFile(temporary, bytes) && platform::RenameFile(temporary, path_) &&
         platform::SyncFolder(FolderOfPath(path_));
}

}  // namespace vaultline
