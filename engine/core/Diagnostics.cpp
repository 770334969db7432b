#include "core/Diagnostics.h"

#include <vector>

#include "core/DecimalNumber.h"
#include "platform/File.h"
#include "platform/Text.h"
#include "vaultline/FileUtilities.h"

namespace vaultline {

void ReadDiagnostics(const std::wstring& path, DiagnosticsMap* values) {
  RemoveFileProtection(path.c_str());
  int fd = platform::OpenFile(path, platform::OpenMode::kRead);
  if (fd < 0) {
    SetFileProtection(path.c_str());
    return;
  }
  // The byte-order mark is taken on trust: the file is always UTF-16LE.
  char mark[2];
  if (platform::ReadFile(fd, mark, sizeof mark) == 2) {
    std::vector<std::wstring> fields;
    while (GetLineParameters(fd, fields)) {
      if (fields.size() == 2) values->emplace(platform::ToUpper(fields[0]), fields[1]);
      fields.clear();
    }
  }
  platform::CloseFile(fd);
  SetFileProtection(path.c_str());
}

int64_t LookUpDiagnostic(const DiagnosticsMap& values, const std::wstring& key) {
  auto found = values.find(platform::ToUpper(key));
  int64_t value = -1;
  if (found == values.end() || !ParseDecimal(found->second, &value)) return -1;
  return value;
}

}  // namespace vaultline
