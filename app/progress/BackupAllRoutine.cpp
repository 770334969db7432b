#include "progress/BackupAllRoutine.h"

#include <QStringList>

#include "AppStrings.h"
#include "frontend/BackupQuota.h"
#include "progress/KeepRulesRoutine.h"
#include "resources/ResourceIds.h"

using namespace marrowby;
using Status = CBackupProgressDlg::Status;

namespace {

// Failed over warned over completed; a cancelled series is cancelled.
int Rank(Status status) {
  switch (status) {
    case CBackupProgressDlg::kCompleted:
      return 0;
    case CBackupProgressDlg::kCompletedWithWarnings:
      return 1;
    case CBackupProgressDlg::kFailed:
      return 2;
    default:
      return 3;
  }
}

int SnapshotCount(IVaultline& engine, unsigned profile) {
  const StringList list = engine.GetSnapshots(profile);
  const int count = engine.GetListCount(list);
  engine.ReleaseList(list);
  return count;
}

QString OutcomeLine(Status status, const QString& name, const QString& reason) {
  const std::wstring who = FromQString(name);
  switch (status) {
    case CBackupProgressDlg::kCompleted:
      return FormatString(ids::kBackupAllOutcomeDone, who.c_str());
    case CBackupProgressDlg::kCompletedWithWarnings:
      return FormatString(ids::kBackupAllOutcomeWarned, who.c_str());
    case CBackupProgressDlg::kFailed:
    case CBackupProgressDlg::kCancelPressed:
      if (reason.isEmpty()) return FormatString(ids::kBackupAllOutcomeNotRun, who.c_str());
      // The quota's reason goes on with its ways out; its first line says it.
      return FormatString(ids::kBackupAllOutcomeFailed, who.c_str(),
                          FromQString(reason.section(u'\n', 0, 0)).c_str());
    default:
      return FormatString(ids::kBackupAllOutcomeNotRun, who.c_str());
  }
}

Status WorseStatus(Status a, Status b) {
  return Rank(b) > Rank(a) ? b : a;
}

}  // namespace

void RunBackupAllRoutine(const BackupAllJob& job) {
  if (job.engine == nullptr || job.window == nullptr) return;
  IVaultline& engine = *job.engine;
  engine.SetStatusCallback(job.window);
  Status overall = CBackupProgressDlg::kCompleted;
  int backedUp = 0;
  QStringList outcomes;
  for (const BackupAllJob::Item& item : job.items) {
    Status status = CBackupProgressDlg::kCancelPressed;
    QString reason;
    if (overall != CBackupProgressDlg::kCancelPressed &&
        job.window->BeginSeriesItem(item.name, frontend::BackupAllowance(engine))) {
      const int before = SnapshotCount(engine, item.profile);
      int forgottenFirst = 0;
      const bool taken = BackUpMakingRoom(engine, item.profile, item.name, job.window,
                                          job.keepRulesNotes, &forgottenFirst);
      engine.RefreshSnapshots(item.profile);
      status = job.window->SeriesItemStatus(&reason);
      if (status == CBackupProgressDlg::kCancelPressed) reason = LoadString(ids::kCancelPressed);
      // A backup can end without a word and without a snapshot (a source
      // that vanished): that is no success.
      const bool listed = SnapshotCount(engine, item.profile) > before - forgottenFirst;
      if ((!taken || !listed) && Rank(status) < Rank(CBackupProgressDlg::kFailed)) {
        status = CBackupProgressDlg::kFailed;
        reason = LoadString(ids::kNoSnapshotTaken);
      }
      if (Rank(status) <= Rank(CBackupProgressDlg::kCompletedWithWarnings)) {
        const QString note = ApplyKeepRules(engine, item.profile, item.name, job.window);
        if (!note.isEmpty() && job.keepRulesNotes != nullptr) job.keepRulesNotes->append(note);
      }
    }
    if (Rank(status) <= Rank(CBackupProgressDlg::kCompletedWithWarnings)) ++backedUp;
    overall = WorseStatus(overall, status);
    outcomes << OutcomeLine(status, item.name, reason);
  }
  job.window->EndSeries(
      overall, FormatString(ids::kBackupAllSummary, backedUp, static_cast<int>(job.items.size())),
      outcomes);
  job.window->OnFinished(L"");
  engine.SetStatusCallback(nullptr);
}
