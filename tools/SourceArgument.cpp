#include "SourceArgument.h"

#include "CommandError.h"
#include "EnglishResources.h"
#include "vaultline/Format.h"
#include "vaultline/Path.h"

namespace vaultline::cli {
namespace {

bool IsWithin(const std::wstring& path, const std::wstring& folder) {
  if (folder == platform::kSeparatorText) return true;
  return path == folder ||
         (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
          path[folder.size()] == platform::kSeparator);
}

}  // namespace

std::wstring CheckedSourcePath(EngineSession& session, const std::wstring& argument) {
  std::wstring path = argument.empty() ? std::wstring() : platform::FullPath(argument);
  while (path.size() > 1 && path.back() == platform::kSeparator) path.pop_back();
  if (path.empty() || !platform::PathExists(path)) {
    throw CommandError{kExitFailure, platform::FormatWide(EnglishText(kTextPathNotFound).c_str(),
                                                          argument.c_str())};
  }
  const std::wstring storage = session.programFolder() + L"BackupStorage";
  if (IsWithin(path, storage) || IsWithin(storage, path)) {
    throw CommandError{kExitFailure, path + L" holds the backup storage " + storage +
                                         L" itself and cannot be backed up"};
  }
  return path;
}

}  // namespace vaultline::cli
