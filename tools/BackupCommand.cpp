// backup SEL: one snapshot. A snapshot that left files out ends with status 3,
// so that a partial backup is never mistaken for a whole one.
#include <algorithm>

#include "CommandError.h"
#include "Commands.h"
#include "Console.h"
#include "ConsoleStatus.h"
#include "JsonText.h"
#include "QuotaAdvice.h"
#include "SelectionArguments.h"
#include "StatusScope.h"
#include "platform/Terminal.h"

namespace vaultline::cli {

int RunBackup(EngineSession& session, const std::wstring& selection) {
  IVaultline& engine = session.engine();
  const unsigned index = ResolveSelection(session, selection);
  const size_t before = session.Take(engine.GetSnapshots(index)).size();
  ConsoleStatus status(session.options().verbosity, platform::StandardErrorIsTerminal());
  // The quota counts what the drive's storage already holds; 0 means none.
  const int64_t quota = engine.GetMaxBackupSize();
  if (quota > 0) status.SetBackupAllowance(std::max<int64_t>(quota - engine.GetStorageUsed(), 0));
  bool taken = false;
  {
    StatusScope scope(engine, status);
    taken = engine.BackUp(index);
  }
  if (status.IsCancelled()) {
    // A stop the sink asked for after an error (the quota) has said why.
    if (status.refusedSize() > 0) {
      PrintWayOutOfFullQuota(session, selection, status.refusedSize(), true);
    }
    if (status.errors() > 0) return kExitFailure;
    throw CommandError{kExitFailure, L"the backup was cancelled"};
  }
  engine.RefreshSnapshots(index);
  const size_t after = session.Take(engine.GetSnapshots(index)).size();
  // The engine can report success for a snapshot that ended without an entry
  // (a source that vanished); only a new listed snapshot counts.
  if (!taken || after <= before) {
    if (status.errors() == 0) PrintError(L"no snapshot was taken");
    // The engine refuses a snapshot the drive's free space cannot hold.
    if (status.filesDone() == 0) {
      PrintWayOutOfFullQuota(session, selection, status.totalSize(), false);
    }
    return kExitFailure;
  }
  const unsigned snapshot = static_cast<unsigned>(after - 1);
  if (session.options().json) {
    PrintJson({{"selection", index},
               {"snapshot", snapshot},
               {"files", status.summaryFiles()},
               {"bytes", status.summaryBytes()},
               {"skipped", status.skippedFiles()}});
  } else {
    std::wstring summary = L"snapshot " + std::to_wstring(snapshot);
    if (status.hasSummary()) {
      summary += L": " + std::to_wstring(status.summaryFiles()) + L" files, " +
                 std::to_wstring(status.summaryBytes()) + L" bytes";
    }
    if (status.skippedFiles() > 0) {
      summary += L", " + std::to_wstring(status.skippedFiles()) + L" skipped for size";
    }
    PrintLine(summary);
  }
  if (status.errors() > 0) return kExitFailure;
  if (status.skippedFiles() > 0 || status.warnings() > 0) {
    PrintWarning(L"snapshot " + std::to_wstring(snapshot) +
                 L" is incomplete: files were skipped or could not be read");
    return kExitPartial;
  }
  return kExitSuccess;
}

}  // namespace vaultline::cli
