#include "progress/KeepRulesRoutine.h"

#include <QStringList>
#include <algorithm>

#include "AppStrings.h"
#include "CollectedMessages.h"
#include "EngineList.h"
#include "KeepRulesText.h"
#include "SizeText.h"
#include "SnapshotTimeText.h"
#include "frontend/BackupQuota.h"
#include "resources/ResourceIds.h"
#include "vaultline/KeepRules.h"

using namespace marrowby;

namespace {

// Keeps the engine's errors for the log and the window's details, and lets
// Cancel in the progress window stop a long compaction (which then leaves
// the old files whole).
class KeepRulesSink : public CollectedMessages {
 public:
  explicit KeepRulesSink(IBackupRestoreStatus* window) : window_(window) {}
  bool OnTotalSize(int64_t) override { return IsCancelled(); }
  bool OnFile(int64_t, const wchar_t*) override { return IsCancelled(); }
  bool OnProgress(int64_t, int64_t) override { return IsCancelled(); }
  bool IsCancelled() override { return window_ != nullptr && window_->IsCancelled(); }

 private:
  IBackupRestoreStatus* window_;
};

void Log(IVaultline& engine, const QString& line) {
  AppendForgetLog(&engine, FromQString(line).c_str());
}

// The failure as a log line and a warning in the window.
void Fail(IVaultline& engine, IBackupRestoreStatus* window, const QString& text) {
  Log(engine, text);
  if (window != nullptr) window->OnMessage(kMessageWarning, FromQString(text).c_str());
}

// With `makingRoom` (for a backup the quota stopped) the compaction runs
// whatever it gives back.
QString ForgetAndCompact(IVaultline& engine, unsigned profile, const QString& name,
                         const KeepRulesSink& sink, IBackupRestoreStatus* window, bool makingRoom) {
  const std::wstring who = FromQString(name);
  const KeepRules rules = GetKeepRules(&engine, profile);
  if (sink.HasAny()) {
    const std::wstring reason = FromQString(sink.Text());
    Fail(engine, window, FormatString(ids::kForgetLogForgetFailed, who.c_str(), reason.c_str()));
    return QString();
  }
  if (!rules.enabled || !HasAnyRule(rules)) return QString();
  std::vector<unsigned> chosen;
  for (const std::wstring& text :
       TakeList(&engine, engine.GetSnapshotsToForget(profile, rules.last, rules.daily, rules.weekly,
                                                     rules.monthly))) {
    chosen.push_back(static_cast<unsigned>(std::stoul(text)));
  }
  if (chosen.empty()) return QString();
  const std::vector<std::wstring> times = TakeList(&engine, engine.GetSnapshots(profile));
  QStringList forgotten;
  for (unsigned index : chosen) {
    if (index < times.size()) forgotten << SnapshotTimeText(ToQString(times[index]));
  }
  if (!engine.ForgetSnapshots(profile, chosen.data(), static_cast<int>(chosen.size()))) {
    const std::wstring reason = FromQString(sink.Text());
    Fail(engine, window, FormatString(ids::kForgetLogForgetFailed, who.c_str(), reason.c_str()));
    return QString();
  }
  const int count = static_cast<int>(chosen.size());
  const std::wstring policy = FromQString(RulesText(rules));
  const std::wstring list = FromQString(forgotten.join(QStringLiteral("; ")));
  Log(engine,
      FormatString(ids::kForgetLogForgot, who.c_str(), count, policy.c_str(), list.c_str()));
  int64_t freed = -1;
  if (makingRoom) {
    const int64_t before = engine.GetStorageUsed();
    if (engine.CompactProfile(profile) && !sink.HasAny()) {
      freed = std::max<int64_t>(before - engine.GetStorageUsed(), 0);
    }
  } else {
    freed = CompactProfileWhenWorthIt(&engine, profile);
  }
  if (freed < 0) {
    const std::wstring reason = FromQString(sink.Text());
    Fail(engine, window, FormatString(ids::kForgetLogCompactFailed, who.c_str(), reason.c_str()));
  }
  if (freed <= 0) return FormatString(ids::kKeepRulesNote, who.c_str(), count);
  const std::wstring size = FromQString(SizeText(freed));
  Log(engine, FormatString(ids::kForgetLogCompacted, who.c_str(), size.c_str()));
  return FormatString(ids::kKeepRulesNoteCompacted, who.c_str(), count, size.c_str());
}

}  // namespace

namespace {

QString ForgetByKeepRules(IVaultline& engine, unsigned profile, const QString& name,
                          IBackupRestoreStatus* window, bool makingRoom) {
  // Even unreadable rules are no failure of the backup: the window hears of
  // them as a warning, never as an error.
  KeepRulesSink sink(window);
  engine.SetStatusCallback(&sink);
  const QString note = ForgetAndCompact(engine, profile, name, sink, window, makingRoom);
  engine.SetStatusCallback(window);
  return note;
}

// Whether the rules, turned on, would forget a snapshot now.
bool KeepRulesWouldForget(IVaultline& engine, unsigned profile) {
  CollectedMessages quiet;  // unreadable rules are told when they are applied
  IBackupRestoreStatus* previous = engine.SetStatusCallback(&quiet);
  const KeepRules rules = GetKeepRules(&engine, profile);
  const bool would =
      rules.enabled && HasAnyRule(rules) &&
      !TakeList(&engine, engine.GetSnapshotsToForget(profile, rules.last, rules.daily, rules.weekly,
                                                     rules.monthly))
           .empty();
  engine.SetStatusCallback(previous);
  return would;
}

}  // namespace

QString ApplyKeepRules(IVaultline& engine, unsigned profile, const QString& name,
                       IBackupRestoreStatus* window) {
  return ForgetByKeepRules(engine, profile, name, window, false);
}

bool BackUpMakingRoom(IVaultline& engine, unsigned profile, const QString& name,
                      CBackupProgressDlg* window, QStringList* notes, int* forgottenFirst) {
  if (forgottenFirst != nullptr) *forgottenFirst = 0;
  const int64_t limit = engine.GetMaxBackupSize();
  const bool canMakeRoom = limit > 0 && KeepRulesWouldForget(engine, profile);
  window->SetQuietQuota(canMakeRoom);
  bool taken = engine.BackUp(profile);
  if (!canMakeRoom) return taken;
  const int64_t needed = window->QuotaRefusal();
  if (needed > 0) {
    // The rules never forget the newest snapshot.
    const int count = static_cast<int>(TakeList(&engine, engine.GetSnapshots(profile)).size());
    const QString note = ForgetByKeepRules(engine, profile, name, window, true);
    if (forgottenFirst != nullptr) {
      *forgottenFirst =
          count - static_cast<int>(TakeList(&engine, engine.GetSnapshots(profile)).size());
    }
    if (!note.isEmpty() && notes != nullptr) notes->append(note);
    const int64_t allowance = frontend::BackupAllowance(engine);
    if (needed <= allowance && window->ResumeAfterRoom(allowance)) {
      taken = engine.BackUp(profile);
    } else {
      window->ReportQuotaRefusal(allowance);
    }
  }
  window->SetQuietQuota(false);
  return taken;
}
