// restore SEL SNAP [ITEM] --to DIR. The engine's Restore answers true when it
// ran to its end even if files failed; the exit status follows the errors the
// sink saw, so a failed restore is never reported as a good one.
#include <vector>

#include "CommandError.h"
#include "Commands.h"
#include "Console.h"
#include "ConsoleStatus.h"
#include "SelectionArguments.h"
#include "StatusScope.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/Terminal.h"
#include "vaultline/FileUtilities.h"

namespace vaultline::cli {
namespace {

// The files a restore of `listedItem` writes back: the item itself, or every
// file below it when it is a folder; every file for an empty item.
unsigned FilesBelow(const std::vector<std::wstring>& paths, const std::wstring& listedItem) {
  unsigned count = 0;
  for (const auto& path : paths) {
    if (path.empty() || path.back() == platform::kSeparator) continue;
    if (listedItem.empty() || path == listedItem ||
        (listedItem.back() == platform::kSeparator && path.starts_with(listedItem))) {
      ++count;
    }
  }
  return count;
}

}  // namespace

int RunRestore(EngineSession& session, const std::wstring& selection, const std::wstring& snapshot,
               const std::optional<std::wstring>& item, const std::wstring& destination) {
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
  const unsigned expectedFiles = FilesBelow(paths, restoreItem.empty() ? L"" : listedItem);
  std::wstring target = platform::FullPath(destination);
  if (target.empty() || !CheckCreatePath(target) || !platform::IsFolder(target)) {
    throw CommandError{kExitFailure, L"the folder " + destination + L" cannot be created"};
  }
  ConsoleStatus status(session.options().verbosity, platform::StandardErrorIsTerminal());
  bool ran = false;
  {
    StatusScope scope(engine, status);
    ran = engine.Restore(index, snap, restoreItem.c_str(), target.c_str());
  }
  if (status.IsCancelled()) throw CommandError{kExitFailure, L"the restore was cancelled"};
  if (!ran) {
    if (status.errors() == 0) PrintError(L"the restore failed");
    return kExitFailure;
  }
  // Some failures (a folder that cannot be made) reach only the engine's
  // diagnostic log, so the count of files written back is checked as well.
  if (status.errors() > 0 || status.filesDone() < expectedFiles) {
    PrintError(L"the restore is incomplete: " + std::to_wstring(status.filesDone()) + L" of " +
               std::to_wstring(expectedFiles) + L" file(s) restored");
    return kExitFailure;
  }
  PrintLine(std::to_wstring(status.filesDone()) + L" file(s) restored to " + target);
  return kExitSuccess;
}

}  // namespace vaultline::cli
