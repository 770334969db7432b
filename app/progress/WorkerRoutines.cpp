#include "progress/WorkerRoutines.h"

#include "AppStrings.h"
#include "MessageBox.h"
#include "resources/ResourceIds.h"
#include "vaultline/FileUtilities.h"

namespace {

// Ends an operation that never reached the engine, so that the window still
// offers Close.
void FinishWithText(IBackupRestoreStatus* sink, unsigned textId) {
  if (sink == nullptr) return;
  const std::wstring text = FromQString(LoadString(textId));
  sink->OnFinished(text.c_str());
}

}  // namespace

void RunBackupRoutine(const BackupJob& job) {
  if (job.engine == nullptr || !job.profile) {
    FinishWithText(job.sink, marrowby::ids::kInvalidBackupSelection);
    return;
  }
  if (job.sink == nullptr) return;
  job.engine->SetStatusCallback(job.sink);
  job.engine->BackUp(*job.profile);
  job.sink->OnFinished(L"");
  job.engine->SetStatusCallback(nullptr);
}

void RunVerifyRoutine(const VerifyJob& job) {
  if (job.engine == nullptr || !job.profile) {
    FinishWithText(job.sink, marrowby::ids::kInvalidBackupSelection);
    return;
  }
  if (job.sink == nullptr) return;
  job.engine->SetStatusCallback(job.sink);
  // Each damaged item has reached the window as an error line.
  StringList found = job.engine->Verify(*job.profile, true);
  if (found != nullptr && job.engine->GetListCount(found) == 0) {
    const std::wstring text = FromQString(LoadString(marrowby::ids::kVerifySound));
    job.sink->OnMessage(kMessageInfo, text.c_str());
  }
  job.engine->ReleaseList(found);
  job.sink->OnFinished(L"");
  job.engine->SetStatusCallback(nullptr);
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
    // Nothing could be written there; say so instead of a silent empty restore.
    job.sink->OnMessage(
        kMessageError,
        FromQString(FormatString(marrowby::ids::kVerifyPath, job.destination.c_str())).c_str());
    job.sink->OnFinished(L"");
    return;
  }
  job.engine->SetStatusCallback(job.sink);
  job.engine->Restore(*job.profile, *job.snapshot, job.item.c_str(), job.destination.c_str());
  job.sink->OnFinished(L"");
  job.engine->SetStatusCallback(nullptr);
}
