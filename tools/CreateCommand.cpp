// create NAME SOURCE: a new Backup Selection, its index on standard output.
#include "CommandError.h"
#include "Commands.h"
#include "Console.h"
#include "JsonText.h"
#include "QuotaAdvice.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/Path.h"

namespace vaultline::cli {
namespace {

// The source as the desktop's dialogs leave it: absolute, normalised, no
// trailing separator (except for the root itself).
std::wstring SourcePathOf(const std::wstring& argument) {
  std::wstring path = platform::FullPath(argument);
  while (path.size() > 1 && path.back() == platform::kSeparator) path.pop_back();
  return path;
}

bool IsWithin(const std::wstring& path, const std::wstring& folder) {
  if (folder == platform::kSeparatorText) return true;
  return path == folder ||
         (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
          path[folder.size()] == platform::kSeparator);
}

}  // namespace

int RunCreate(EngineSession& session, const std::wstring& name, const std::wstring& source) {
  if (name.find_first_not_of(L" \t") == std::wstring::npos) {
    throw CommandError{kExitUsage, EnglishText(kTextNameMissing)};
  }
  const std::wstring path = source.empty() ? std::wstring() : SourcePathOf(source);
  if (path.empty() || !platform::PathExists(path)) {
    throw CommandError{
        kExitFailure, platform::FormatWide(EnglishText(kTextPathNotFound).c_str(), source.c_str())};
  }
  // A snapshot of the storage folder (or of a folder holding it) would read
  // the store while it grows.
  const std::wstring storage = session.programFolder() + L"BackupStorage";
  if (IsWithin(path, storage) || IsWithin(storage, path)) {
    throw CommandError{kExitFailure, path + L" holds the backup storage " + storage +
                                         L" itself and cannot be backed up"};
  }
  const wchar_t* contents[] = {path.c_str()};
  int index = -1;
  if (!session.engine().CreateProfile(name.c_str(), contents, 1, &index)) {
    throw CommandError{kExitFailure, L"the Backup Selection \"" + name + L"\" could not be saved"};
  }
  if (session.options().json) {
    nlohmann::json document = {{"index", index}};
    PutText(document, "name", name);
    PutText(document, "source", path);
    PrintJson(document);
  } else {
    PrintLine(std::to_wstring(index));
  }
  PrintQuotaInForce(session.engine());
  return kExitSuccess;
}

}  // namespace vaultline::cli
