// restore SEL SNAP [ITEM] --to DIR. The engine's Restore answers true when it
// ran to its end even if files failed; the exit status follows the errors the
// sink saw, so a failed restore is never reported as a good one.
#include <set>
#include <vector>

#include "CommandError.h"
#include "Commands.h"
#include "Console.h"
#include "ConsoleStatus.h"
#include "JsonText.h"
#include "SelectionArguments.h"
#include "StatusScope.h"
#include "Terminal.h"
#include "vaultline/FileUtilities.h"
#include "vaultline/Path.h"
#include "vaultline/RestoreConflict.h"

namespace vaultline::cli {
namespace {

bool IsBelow(const std::wstring& path, const std::wstring& listedItem) {
  if (path.empty() || path.back() == platform::kSeparator) return false;
  return listedItem.empty() || path == listedItem ||
         (listedItem.back() == platform::kSeparator && path.starts_with(listedItem));
}

// The files a restore of `listedItem` writes back: the item itself, or every
// file below it when it is a folder; every file for an empty item.
std::vector<std::wstring> FilesBelow(const std::vector<std::wstring>& paths,
                                     const std::wstring& listedItem) {
  std::vector<std::wstring> files;
  for (const auto& path : paths) {
    if (IsBelow(path, listedItem)) files.push_back(path);
  }
  return files;
}

// Where the restore writes a listed file: the item keeps its own name below
// the target, the whole snapshot its listed path.
std::wstring DestinationOf(const std::wstring& target, const std::wstring& listedItem,
                           const std::wstring& path) {
  std::wstring parent = listedItem;
  if (!parent.empty() && parent.back() == platform::kSeparator) parent.pop_back();
  const size_t cut = parent.rfind(platform::kSeparator);
  const size_t prefix = parent.empty() || cut == std::wstring::npos ? 0 : cut + 1;
  std::wstring destination = target;
  if (destination.back() != platform::kSeparator) destination += platform::kSeparator;
  return destination + path.substr(prefix);
}

// The listed files that were not written whole: the sink names the files
// it saw finished by their destinations. Unless the rule replaces every file,
// one that is there but was not written is a local file the rule kept. Those
// a warning named as left out (a device only the administrator makes) go to
// `leftOut`.
std::vector<std::wstring> FailedFiles(const std::vector<std::wstring>& expected,
                                      const ConsoleStatus& status, const std::wstring& target,
                                      const std::wstring& listedItem, int conflictRule,
                                      std::vector<std::wstring>* leftOut) {
  const std::set<std::wstring> done(status.finishedFiles().begin(), status.finishedFiles().end());
  std::vector<std::wstring> failed;
  for (const auto& path : expected) {
    const std::wstring destination = DestinationOf(target, listedItem, path);
    // Asked of the disk only for files not written: a restore of many
    // files would otherwise look each one up twice more.
    if (done.contains(destination)) continue;
    const bool kept = conflictRule != kReplaceLocalFile && platform::PathExists(destination) &&
                      !platform::IsFolder(destination);
    if (kept) continue;
    (status.Warned(destination) ? leftOut : &failed)->push_back(path);
  }
  return failed;
}

}  // namespace

int ConflictRuleNamed(const std::string& name) {
  if (name == "replace") return kReplaceLocalFile;
  if (name == "keep-both") return kKeepBothFiles;
  return kKeepNewerLocalFile;
}

int RunRestore(EngineSession& session, const std::wstring& selection, const std::wstring& snapshot,
               const std::optional<std::wstring>& item, const std::wstring& destination,
               int conflictRule) {
  IVaultline& engine = session.engine();
  const unsigned index = ResolveSelection(session, selection);
  const int snap = ResolveSnapshot(session, index, snapshot);
  const auto paths = session.Take(engine.GetSnapshotContents(index, snap));
  std::wstring restoreItem;
  std::wstring listedItem;
  if (item) {
    listedItem = FindListedItem(session, index, snap, *item).path;
    restoreItem = RestoreItemOf(listedItem);
  }
  const std::vector<std::wstring> expected =
      FilesBelow(paths, restoreItem.empty() ? L"" : listedItem);
  std::wstring target = platform::FullPath(destination);
  if (target.empty() || !CheckCreatePath(target) || !platform::IsFolder(target)) {
    throw CommandError{kExitFailure, L"the folder " + destination + L" cannot be created"};
  }
  ConsoleStatus status(session.options().verbosity, StandardErrorIsTerminal());
  status.keepFinishedFiles();
  bool ran = false;
  {
    StatusScope scope(engine, status);
    SetRestoreConflict(&engine, conflictRule, false);
    ran = engine.Restore(index, snap, restoreItem.c_str(), target.c_str());
  }
  if (status.IsCancelled()) throw CommandError{kExitFailure, L"the restore was cancelled"};
  if (!ran) {
    if (status.errors() == 0) PrintError(L"the restore failed");
    return kExitFailure;
  }
  // Some failures (a folder that cannot be made) reach only the engine's
  // diagnostic log, so the files written back are checked as well.
  std::vector<std::wstring> leftOut;
  const auto failed = FailedFiles(expected, status, target, restoreItem.empty() ? L"" : listedItem,
                                  conflictRule, &leftOut);
  const bool whole = status.errors() == 0 && failed.empty();
  if (session.options().json) {
    nlohmann::json failedList = nlohmann::json::array();
    for (const auto& path : failed) {
      nlohmann::json entry = nlohmann::json::object();
      PutText(entry, "path", path);
      failedList.push_back(std::move(entry));
    }
    nlohmann::json document = {{"selection", index},
                               {"snapshot", snap},
                               {"restored", status.filesDone()},
                               {"failed", failedList}};
    PutText(document, "destination", target);
    PrintJson(document);
  }
  if (!whole) {
    PrintError(L"the restore is incomplete: " + std::to_wstring(status.filesDone()) + L" of " +
               std::to_wstring(expected.size()) + L" file(s) restored");
    return kExitFailure;
  }
  if (!session.options().json) {
    PrintLine(std::to_wstring(status.filesDone()) + L" file(s) restored to " + target);
  }
  if (!leftOut.empty() || status.warnings() > 0) {
    PrintWarning(L"the restore is incomplete: " + std::to_wstring(leftOut.size()) +
                 L" item(s) could not be made as they were");
    return kExitPartial;
  }
  return kExitSuccess;
}

}  // namespace vaultline::cli
