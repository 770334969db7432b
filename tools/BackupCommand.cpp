// backup SEL | backup --all: snapshots. A snapshot that left files out ends
// with status 3, so that a partial backup is never mistaken for a whole one;
// --all goes on after a selection fails and ends with the worst status.
#include <algorithm>
#include <optional>

#include "BackupNotice.h"
#include "CommandError.h"
#include "Commands.h"
#include "Console.h"
#include "ConsoleStatus.h"
#include "JsonText.h"
#include "ProgressLine.h"
#include "QuotaAdvice.h"
#include "SelectionArguments.h"
#include "StatusScope.h"
#include "Terminal.h"
#include "frontend/BackupQuota.h"
#include "linuxdesktop/SleepInhibitor.h"
#include "vaultline/KeepRules.h"
#include "vaultline/SnapshotFigures.h"

namespace vaultline::cli {

namespace {

struct BackupOutcome {
  int exitCode = kExitFailure;
  bool cancelled = false;  // stopped by Ctrl-C, not by an error
  std::optional<unsigned> snapshot;
  bool hasSummary = false;
  unsigned files = 0;
  int64_t bytes = 0;
  unsigned skipped = 0;
  // Of the files, those the snapshot stored (new or changed), and what it
  // added to the drive; unknown when its figures could not be read.
  std::optional<int64_t> changedFiles;
  std::optional<int64_t> newBytes;
  // The snapshots the keep rules forgot after it, and what the compaction
  // that followed gave back.
  std::vector<unsigned> forgotten;
  int64_t freed = 0;
};

// "last 3, daily 7": the rules as the forget log names them.
std::wstring RulesText(const KeepRules& rules) {
  std::wstring text;
  const std::pair<const wchar_t*, int> counts[] = {{L"last ", rules.last},
                                                   {L"daily ", rules.daily},
                                                   {L"weekly ", rules.weekly},
                                                   {L"monthly ", rules.monthly}};
  for (const auto& [name, count] : counts) {
    if (count <= 0) continue;
    if (!text.empty()) text += L", ";
    text += name + std::to_wstring(count);
  }
  return text;
}

// A line of the forget log, and the same as a warning when it tells of a failure.
void LogKeepRules(IVaultline& engine, const std::wstring& line, bool failure) {
  AppendForgetLog(&engine, line.c_str());
  if (failure) PrintWarning(line);
}

struct Forgotten {
  std::vector<unsigned> snapshots;  // their indices before the forget
  int64_t freed = 0;                // what the compaction gave back
};

// The selection's keep rules, when the user turned them on, forget what they
// choose, as the desktop program's backups do: a drive backed up only when
// plugged in is thinned as well. Each forget and compaction is written to the
// forget log; a failure is a warning. The compaction follows when it is worth
// it, or, `makingRoom` for a backup the quota would stop, whatever it gives.
Forgotten ForgetByKeepRules(EngineSession& session, unsigned index, const std::wstring& named,
                            bool makingRoom) {
  IVaultline& engine = session.engine();
  Forgotten result;
  ConsoleStatus status(session.options().verbosity, false);
  StatusScope scope(engine, status);
  const KeepRules rules = GetKeepRules(&engine, index);
  if (status.errors() > 0) {
    LogKeepRules(engine, named + L": the keep rules were not applied: they cannot be read", true);
    return result;
  }
  if (!rules.enabled || RulesText(rules).empty()) return result;
  std::vector<unsigned> chosen;
  for (const std::wstring& text : session.Take(engine.GetSnapshotsToForget(
           index, rules.last, rules.daily, rules.weekly, rules.monthly))) {
    chosen.push_back(static_cast<unsigned>(std::stoul(text)));
  }
  if (chosen.empty()) return result;
  const auto times = session.Take(engine.GetSnapshots(index));
  std::wstring list;
  for (unsigned chosenIndex : chosen) {
    if (chosenIndex >= times.size()) continue;
    list += (list.empty() ? L"" : L"; ") + times[chosenIndex];
  }
  if (!engine.ForgetSnapshots(index, chosen.data(), static_cast<int>(chosen.size()))) {
    LogKeepRules(engine, named + L": the keep rules were not applied: no snapshot was forgotten",
                 true);
    return result;
  }
  LogKeepRules(engine,
               named + L": forgot " + std::to_wstring(chosen.size()) +
                   L" snapshot(s) by the keep rules (" + RulesText(rules) + L"): " + list,
               false);
  result.snapshots = chosen;
  int64_t freed = -1;
  if (makingRoom) {
    const int64_t before = engine.GetStorageUsed();
    if (engine.CompactProfile(index) && status.errors() == 0) {
      freed = std::max<int64_t>(before - engine.GetStorageUsed(), 0);
    }
  } else {
    freed = CompactProfileWhenWorthIt(&engine, index);
  }
  if (freed < 0) {
    LogKeepRules(engine, named + L": the compaction after the keep rules failed", true);
  } else if (freed > 0) {
    LogKeepRules(engine, named + L": compacted, " + ByteText(freed) + L" given back", false);
    result.freed = freed;
  }
  return result;
}

// After a snapshot: the keep rules; the snapshot stands whatever they do.
void ApplyKeepRules(EngineSession& session, unsigned index, const std::wstring& named,
                    BackupOutcome* outcome) {
  const Forgotten forgotten = ForgetByKeepRules(session, index, named, false);
  outcome->forgotten = forgotten.snapshots;
  outcome->freed = forgotten.freed;
  // The snapshot just taken (the newest, which the rules keep) moves down the
  // list by the older ones gone.
  if (outcome->snapshot) {
    const unsigned taken = *outcome->snapshot;
    *outcome->snapshot -=
        static_cast<unsigned>(std::count_if(forgotten.snapshots.begin(), forgotten.snapshots.end(),
                                            [taken](unsigned i) { return i < taken; }));
  }
}

// Whether the keep rules, turned on, would forget a snapshot now.
bool KeepRulesWouldForget(EngineSession& session, unsigned index) {
  IVaultline& engine = session.engine();
  const KeepRules rules = GetKeepRules(&engine, index);
  return rules.enabled && !RulesText(rules).empty() &&
         !session
              .Take(engine.GetSnapshotsToForget(index, rules.last, rules.daily, rules.weekly,
                                                rules.monthly))
              .empty();
}

// One snapshot of selection `index`; `named` is how the advice names it.
// Errors and warnings go to standard error as they come.
// With `mayMakeRoom`, a backup the quota would stop first lets the keep rules
// forget what they choose (never the newest) and compact, and is tried again
// when that made enough room.
BackupOutcome TakeSnapshot(EngineSession& session, unsigned index, const std::wstring& named,
                           bool mayMakeRoom = true) {
  IVaultline& engine = session.engine();
  BackupOutcome outcome;
  const size_t before = session.Take(engine.GetSnapshots(index)).size();
  ConsoleStatus status(session.options().verbosity, StandardErrorIsTerminal());
  // The quota counts what the drive's storage already holds; 0 means none.
  const int64_t quota = engine.GetMaxBackupSize();
  status.SetBackupAllowance(frontend::BackupAllowance(engine));
  const bool canMakeRoom = mayMakeRoom && quota > 0 && KeepRulesWouldForget(session, index);
  status.SetQuietQuota(canMakeRoom);
  bool taken = false;
  {
    StatusScope scope(engine, status);
    taken = engine.BackUp(index);
  }
  if (status.IsCancelled()) {
    if (canMakeRoom && status.refusedSize() > 0) {
      const Forgotten room = ForgetByKeepRules(session, index, named, true);
      if (!room.snapshots.empty()) {
        PrintNote(named + L": the quota would stop this backup; the keep rules forgot " +
                  std::to_wstring(room.snapshots.size()) + L" snapshot(s), " +
                  ByteText(room.freed) + L" given back");
      }
      if (status.refusedSize() <= frontend::BackupAllowance(engine)) {
        return TakeSnapshot(session, index, named, false);
      }
      status.ReportQuotaRefusal(frontend::BackupAllowance(engine));
    }
    // A stop the sink asked for after an error (the quota) has said why.
    if (status.refusedSize() > 0) {
      PrintWayOutOfFullQuota(session, named, status.refusedSize(), true);
    }
    outcome.cancelled = status.errors() == 0;
    return outcome;
  }
  engine.RefreshSnapshots(index);
  const size_t after = session.Take(engine.GetSnapshots(index)).size();
  // The engine can report success for a snapshot that ended without an entry
  // (a source that vanished); only a new listed snapshot counts.
  if (!taken || after <= before) {
    if (status.errors() == 0) PrintError(L"no snapshot was taken");
    // The engine refuses a snapshot the drive's free space cannot hold.
    if (status.filesDone() == 0) PrintWayOutOfFullQuota(session, named, status.totalSize(), false);
    return outcome;
  }
  outcome.snapshot = static_cast<unsigned>(after - 1);
  outcome.hasSummary = status.hasSummary();
  outcome.files = status.summaryFiles();
  outcome.bytes = status.summaryBytes();
  outcome.skipped = status.skippedFiles();
  const auto figures = session.Take(GetSnapshotFigures(&engine, index));
  const SnapshotFigureFields stored = SnapshotFigureFields::Parse(
      *outcome.snapshot < figures.size() ? figures[*outcome.snapshot].c_str() : L"");
  outcome.changedFiles = stored.changedFiles;
  outcome.newBytes = stored.newBytes;
  if (status.errors() > 0) return outcome;
  outcome.exitCode =
      status.skippedFiles() > 0 || status.warnings() > 0 ? kExitPartial : kExitSuccess;
  ApplyKeepRules(session, index, named, &outcome);
  return outcome;
}

void WarnIfIncomplete(const BackupOutcome& outcome) {
  if (outcome.exitCode != kExitPartial) return;
  PrintWarning(L"snapshot " + std::to_wstring(*outcome.snapshot) +
               L" is incomplete: files were skipped or could not be read");
}

// "snapshot 4: 12 files, 30000 bytes (1 new or changed, 11 unchanged),
// 9.3 KiB stored, 1 skipped for size": the files a snapshot holds are not
// what it stored, as most are unchanged.
std::wstring SnapshotText(const BackupOutcome& outcome) {
  std::wstring text = L"snapshot " + std::to_wstring(*outcome.snapshot);
  if (outcome.hasSummary) {
    text += L": " + std::to_wstring(outcome.files) + L" files, " + std::to_wstring(outcome.bytes) +
            L" bytes";
  }
  if (outcome.hasSummary && outcome.changedFiles && outcome.newBytes) {
    const int64_t unchanged = std::max<int64_t>(outcome.files - *outcome.changedFiles, 0);
    text += L" (" + std::to_wstring(*outcome.changedFiles) + L" new or changed, " +
            std::to_wstring(unchanged) + L" unchanged), " + ByteText(*outcome.newBytes) +
            L" stored";
  }
  if (outcome.skipped > 0) text += L", " + std::to_wstring(outcome.skipped) + L" skipped for size";
  if (!outcome.forgotten.empty()) {
    text += L"; " + std::to_wstring(outcome.forgotten.size()) +
            L" old snapshot(s) forgotten by the keep rules";
    if (outcome.freed > 0) text += L", " + ByteText(outcome.freed) + L" given back";
  }
  return text;
}

nlohmann::json SnapshotJson(unsigned index, const BackupOutcome& outcome) {
  nlohmann::json document = {{"selection", index},
                             {"snapshot", *outcome.snapshot},
                             {"files", outcome.files},
                             {"bytes", outcome.bytes},
                             {"changedFiles", OptionalNumber(outcome.changedFiles)},
                             {"newBytes", OptionalNumber(outcome.newBytes)},
                             {"skipped", outcome.skipped}};
  if (!outcome.forgotten.empty()) {
    document["forgotten"] = outcome.forgotten;
    document["freed"] = outcome.freed;
  }
  return document;
}

// Success, partial, failure: the order in which one outcome is worse.
int Severity(int exitCode) {
  return exitCode == kExitSuccess ? 0 : exitCode == kExitPartial ? 1 : 2;
}

std::wstring OutcomeText(const BackupOutcome& outcome, bool run) {
  if (!run) return L"not run: the backups were cancelled";
  if (outcome.cancelled) return L"cancelled";
  if (!outcome.snapshot) return L"failed";
  if (outcome.exitCode == kExitPartial) return L"incomplete, " + SnapshotText(outcome);
  if (outcome.exitCode != kExitSuccess) return L"failed, " + SnapshotText(outcome);
  return SnapshotText(outcome);
}

}  // namespace

// The computer does not suspend while a backup runs, where the desktop's
// login manager can hold it awake.
class AwakeWhileBackingUp {
 public:
  explicit AwakeWhileBackingUp(const EngineSession& session) : lock_("Marrowby", "Backing up") {
    if (lock_.held() && session.options().verbosity > 0) {
      PrintNote(L"the computer will not suspend while the backup runs");
    }
  }

 private:
  linuxdesktop::SleepInhibitor lock_;
};

int RunBackup(EngineSession& session, const std::wstring& selection, bool notify) {
  const unsigned index = ResolveSelection(session, selection);
  BackupOutcome outcome;
  {
    AwakeWhileBackingUp awake(session);
    outcome = TakeSnapshot(session, index, selection);
  }
  if (notify)
    NotifyBackupOutcome(outcome.exitCode, {selection + L": " + OutcomeText(outcome, true)});
  if (outcome.cancelled) throw CommandError{kExitFailure, L"the backup was cancelled"};
  if (!outcome.snapshot) return kExitFailure;
  if (session.options().json) {
    PrintJson(SnapshotJson(index, outcome));
  } else {
    PrintLine(SnapshotText(outcome));
  }
  WarnIfIncomplete(outcome);
  return outcome.exitCode;
}

int RunBackupAll(EngineSession& session, bool notify) {
  const auto names = session.Take(session.engine().GetProfileNames());
  std::vector<unsigned> live;
  for (unsigned i = 0; i < names.size(); ++i) {
    if (IsLiveSelection(session, i)) live.push_back(i);
  }
  if (live.empty()) throw CommandError{kExitFailure, L"there is no Backup Selection to back up"};
  int worst = kExitSuccess;
  bool cancelled = false;
  nlohmann::json selections = nlohmann::json::array();
  std::vector<std::wstring> lines;
  std::vector<std::wstring> noticeLines;
  std::optional<AwakeWhileBackingUp> awake(std::in_place, session);
  for (unsigned index : live) {
    BackupOutcome outcome;
    if (!cancelled) {
      outcome = TakeSnapshot(session, index, names[index]);
      cancelled = outcome.cancelled;
      WarnIfIncomplete(outcome);
    }
    const int exitCode = cancelled ? kExitFailure : outcome.exitCode;
    if (Severity(exitCode) > Severity(worst)) worst = exitCode;
    const std::wstring outcomeText = OutcomeText(outcome, !cancelled || outcome.cancelled);
    lines.push_back(std::to_wstring(index) + L"\t" + names[index] + L"\t" + outcomeText);
    noticeLines.push_back(names[index] + L": " + outcomeText);
    nlohmann::json entry =
        outcome.snapshot ? SnapshotJson(index, outcome) : nlohmann::json{{"selection", index}};
    PutText(entry, "name", names[index]);
    entry["status"] = exitCode;
    selections.push_back(std::move(entry));
  }
  awake.reset();
  if (notify) NotifyBackupOutcome(worst, noticeLines);
  if (session.options().json) {
    PrintJson({{"selections", selections}, {"status", worst}});
  } else {
    for (const std::wstring& line : lines) PrintLine(line);
  }
  return worst;
}

}  // namespace vaultline::cli
