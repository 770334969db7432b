#include "progress/WorkerRoutines.h"

#include <QFileInfo>

#include "AppStrings.h"
#include "MessageBox.h"
#include "progress/KeepRulesRoutine.h"
#include "resources/ResourceIds.h"
#include "vaultline/FileUtilities.h"

namespace {

// The nearest existing folder at or above `path` when the user may not write
// into it; empty when writing there is allowed or nothing above exists.
QString ReadOnlyAncestor(const QString& path) {
  QFileInfo at(path);
  while (!at.exists() && !at.isRoot() && at.absolutePath() != at.absoluteFilePath()) {
    at = QFileInfo(at.absolutePath());
  }
  return at.exists() && at.isDir() && !at.isWritable() ? at.absoluteFilePath() : QString();
}

// Ends an operation that never reached the engine, so that the window still
// offers Close.
void FinishWithText(IBackupRestoreStatus* sink, unsigned textId) {
  if (sink == nullptr) return;
  const std::wstring text = FromQString(LoadString(textId));
  sink->OnFinished(text.c_str());
}

// Frames one operation on the job's selection: the sink is installed, the
// operation runs, the sink hears OnFinished and is removed again.
template <typename Operation>
void RunOnSelection(const BackupJob& job, Operation operation) {
  if (job.engine == nullptr || !job.profile) {
    FinishWithText(job.sink, marrowby::ids::kInvalidBackupSelection);
    return;
  }
  if (job.sink == nullptr) return;
  job.engine->SetStatusCallback(job.sink);
  operation(*job.engine, *job.profile);
  job.sink->OnFinished(L"");
  job.engine->SetStatusCallback(nullptr);
}

}  // namespace

void RunBackupRoutine(const BackupJob& job) {
  RunOnSelection(job, [&job](IVaultline& engine, unsigned profile) {
    // The keep rules make room when the quota would stop the backup, and
    // follow only a backup that took its snapshot unhindered.
    auto* window = dynamic_cast<CBackupProgressDlg*>(job.sink);
    const bool taken = window != nullptr ? BackUpMakingRoom(engine, profile, job.name, window,
                                                            job.keepRulesNotes, nullptr)
                                         : engine.BackUp(profile);
    if (!taken || job.sink->IsCancelled()) return;
    const QString note = ApplyKeepRules(engine, profile, job.name, job.sink);
    if (!note.isEmpty() && job.keepRulesNotes != nullptr) job.keepRulesNotes->append(note);
  });
}

void RunVerifyRoutine(const BackupJob& job) {
  RunOnSelection(job, [&job](IVaultline& engine, unsigned profile) {
    // Each damaged item has reached the window as an error line.
    StringList found = engine.Verify(profile, true);
    if (found != nullptr && engine.GetListCount(found) == 0) {
      const std::wstring text = FromQString(LoadString(marrowby::ids::kVerifySound));
      job.sink->OnMessage(kMessageInfo, text.c_str());
    }
    engine.ReleaseList(found);
  });
}

void RunCompactRoutine(const BackupJob& job) {
  // A refusal or failure has reached the window as an error line.
  RunOnSelection(job, [](IVaultline& engine, unsigned profile) { engine.CompactProfile(profile); });
}

void RunRestoreRoutine(const RestoreJob& job) {
  if (job.engine == nullptr || !job.profile || !job.snapshot) {
    FinishWithText(job.sink, marrowby::ids::kInvalidRestoreSelection);
    return;
  }
  if (job.sink == nullptr) return;
  if (job.destination.empty()) {
    FinishWithText(job.sink, marrowby::ids::kInvalidRestoreStatus);
    return;
  }
  if (!CheckCreatePath(job.destination)) {
    // Nothing could be written there; say so instead of a silent empty restore,
    // and say why when it is the permissions, not the path.
    const std::wstring blocking = FromQString(ReadOnlyAncestor(ToQString(job.destination)));
    const QString reason = blocking.empty()
                               ? FormatString(marrowby::ids::kVerifyPath, job.destination.c_str())
                               : FormatString(marrowby::ids::kNoWritePermission, blocking.c_str());
    job.sink->OnMessage(kMessageError, FromQString(reason).c_str());
    job.sink->OnFinished(L"");
    return;
  }
  job.engine->SetStatusCallback(job.sink);
  job.engine->Restore(*job.profile, *job.snapshot, job.item.c_str(), job.destination.c_str());
  job.sink->OnFinished(L"");
  job.engine->SetStatusCallback(nullptr);
}
