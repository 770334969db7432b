// restore SEL SNAP [ITEM] --to DIR. The engine's Restore answers true when it
// ran to its end even if files failed; the exit status follows the errors the
// sink saw, so a failed restore is never reported as a good one.
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

int RunRestore(EngineSession& session, const std::wstring& selection, const std::wstring& snapshot,
               const std::optional<std::wstring>& item, const std::wstring& destination) {
  IVaultline& engine = session.engine();
  const unsigned index = ResolveSelection(session, selection);
  const int snap = ResolveSnapshot(session, index, snapshot);
  std::wstring restoreItem;
  if (item) {
    restoreItem = RestoreItemOf(FindListedItem(session, index, snap, *item).path);
  }
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
  if (status.errors() > 0) {
    PrintError(L"the restore is incomplete: " + std::to_wstring(status.errors()) + L" error(s), " +
               std::to_wstring(status.filesDone()) + L" file(s) restored");
    return kExitFailure;
  }
  PrintLine(std::to_wstring(status.filesDone()) + L" file(s) restored to " + target);
  return kExitSuccess;
}

}  // namespace vaultline::cli
