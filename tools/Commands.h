// One function per command; each returns the exit status and throws
// CommandError when it cannot go on.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "EngineSession.h"
#include "ExitCode.h"

namespace vaultline::cli {

int RunList(EngineSession& session);
int RunCreate(EngineSession& session, const std::wstring& name, const std::wstring& source);
int RunRename(EngineSession& session, const std::wstring& selection, const std::wstring& name);
int RunDelete(EngineSession& session, const std::wstring& selection);
// The selection's source was moved to `place`.
int RunRelocate(EngineSession& session, const std::wstring& selection, const std::wstring& place);
// notify: the outcome also goes to the desktop's notification area.
int RunBackup(EngineSession& session, const std::wstring& selection, bool notify);
// Every live selection in turn, then one line (or JSON entry) for each.
int RunBackupAll(EngineSession& session, bool notify);
int RunSnapshots(EngineSession& session, const std::wstring& selection);
int RunLs(EngineSession& session, const std::wstring& selection, const std::wstring& snapshot);
int RunLsLong(EngineSession& session, const std::wstring& selection, const std::wstring& snapshot);
struct FindOptions {
  std::vector<std::wstring> patterns;
  std::optional<std::wstring> newer;  // modified after this time
  std::optional<std::wstring> older;  // modified before it
  std::wstring first = L"0";          // the range of snapshots searched
  std::wstring last = L"latest";
};
int RunFind(EngineSession& session, const std::wstring& selection, const FindOptions& options);
// to: a snapshot, or with `withFolder` a folder on disk.
int RunDiff(EngineSession& session, const std::wstring& selection, const std::wstring& from,
            const std::wstring& to, bool withFolder);
// conflictRule: a RestoreConflictRule for files already at the destination.
int RunRestore(EngineSession& session, const std::wstring& selection, const std::wstring& snapshot,
               const std::optional<std::wstring>& item, const std::wstring& destination,
               int conflictRule);
// The rule --overwrite names: "replace", "keep-both", else keep-newer.
int ConflictRuleNamed(const std::string& name);
int RunCat(EngineSession& session, const std::wstring& selection, const std::wstring& snapshot,
           const std::wstring& item);
// Serves the selection's snapshots read-only at `folder` until it is
// unmounted or the program is stopped.
int RunMount(EngineSession& session, const std::wstring& selection, const std::wstring& folder);
int RunCheck(EngineSession& session, const std::wstring& selection, bool readData);
// words: empty (list), "add"/"remove" PATTERN..., or "test" PATH.
int RunExclude(EngineSession& session, const std::wstring& selection,
               const std::vector<std::wstring>& words);
// How many snapshots forget keeps: the newest `last`, and the newest of each
// of the newest `daily` days, `weekly` weeks and `monthly` months.
struct KeepPolicy {
  int last = 0;
  int daily = 0;
  int weekly = 0;
  int monthly = 0;
};
int RunForget(EngineSession& session, const std::wstring& selection,
              const std::vector<std::wstring>& snapshots, const KeepPolicy& keep, bool dryRun,
              bool compact);
int RunCompact(EngineSession& session, const std::wstring& selection);
int RunConfig(EngineSession& session, const std::optional<std::wstring>& key,
              const std::optional<std::wstring>& value);

}  // namespace vaultline::cli
