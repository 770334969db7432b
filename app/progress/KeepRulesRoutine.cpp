#include "progress/KeepRulesRoutine.h"

#include <QStringList>

#include "AppStrings.h"
#include "CollectedMessages.h"
#include "EngineList.h"
#include "KeepRulesText.h"
#include "SizeText.h"
#include "SnapshotTimeText.h"
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

QString ForgetAndCompact(IVaultline& engine, unsigned profile, const QString& name,
                         const KeepRulesSink& sink, IBackupRestoreStatus* window) {
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
  const int64_t freed = CompactProfileWhenWorthIt(&engine, profile);
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

QString ApplyKeepRules(IVaultline& engine, unsigned profile, const QString& name,
                       IBackupRestoreStatus* window) {
  // Even unreadable rules are no failure of the backup: the window hears of
  // them as a warning, never as an error.
  KeepRulesSink sink(window);
  engine.SetStatusCallback(&sink);
  const QString note = ForgetAndCompact(engine, profile, name, sink, window);
  engine.SetStatusCallback(window);
  return note;
}
