// The main window's commands that open dialogs or run worker threads: new
// selection, backup, restore, view file, properties, preferences and the
// first-run wizard, and deleting a snapshot with its compaction.
#include <QDir>
#include <exception>
#include <memory>
#include <thread>

#include "AppStrings.h"
#include "BackupAge.h"
#include "CContentView.h"
#include "CMainFrame.h"
#include "CMarrowbyView.h"
#include "CSnapshotView.h"
#include "CollectedMessages.h"
#include "EngineList.h"
#include "MessageBox.h"
#include "SnapshotTimeText.h"
#include "dialogs/CCreateProfileDlg.h"
#include "dialogs/CFirstRunWizard.h"
#include "dialogs/CPreferenceDlg.h"
#include "dialogs/CProfileProperties.h"
#include "dialogs/CRestorePath.h"
#include "dialogs/CSelectContent.h"
#include "dialogs/SharedPaths.h"
#include "frontend/BackupQuota.h"
#include "history/HistorySource.h"
#include "linuxdesktop/SleepInhibitor.h"
#include "progress/BackupAllRoutine.h"
#include "progress/CBackupProgressDlg.h"
#include "progress/FileViewer.h"
#include "progress/WorkerRoutines.h"
#include "resources/ResourceIds.h"
#include "vaultline/DriveSettings.h"
#include "vaultline/Format.h"
#include "vaultline/Path.h"
#include "vaultline/ProfileSource.h"
#include "vaultline/RestoreConflict.h"
#include "vaultline/Text.h"

using namespace marrowby;
namespace platform = vaultline::platform;

namespace {

// A framework failure of a command, told with its positional text (%1!s!).
void ShowFailure(QWidget* owner, unsigned id, const char* what) {
  const std::wstring format = LoadString(id).toStdWString();
  const std::wstring argument = platform::AnsiToWide(what);
  const wchar_t* arguments[] = {argument.c_str()};
  wchar_t* text = platform::FormatMessageAlloc(format.c_str(), arguments, 1);
  MessageBox::Show(owner, text ? QString::fromWCharArray(text) : QString(), QMessageBox::Critical);
  platform::ReleaseMessage(text);
}

// Runs `routine` on a worker thread while the progress window is shown; the
// worker is joined before this returns, so neither the window nor the engine
// can go away under it.
template <typename Job>
void RunOnWorker(CBackupProgressDlg* progress, void (*routine)(const Job&), const Job& job) {
  std::jthread worker(routine, job);
  progress->Run();
}

// A backup keeps the computer from sleeping until its routine ends, and the
// window says so while it runs.
template <typename Job>
void RunBackupOnWorker(CBackupProgressDlg* progress, void (*routine)(const Job&), const Job& job) {
  auto awake = std::make_shared<linuxdesktop::SleepInhibitor>("Marrowby", "Backing up");
  progress->SetKeptAwake(awake->held());
  std::jthread worker([routine, job, awake] {
    routine(job);
    awake->Release();
  });
  progress->Run();
}

std::wstring FirstOf(const std::vector<std::wstring>& items) {
  return items.empty() ? std::wstring() : items.front();
}

// The selection's folder on the drive: its location without "/Dir/file".
std::wstring StorageFolderOf(const std::wstring& location) {
  const std::wstring tail =
      std::wstring(platform::kSeparatorText) + L"Dir" + platform::kSeparator + L"file";
  const size_t at = location.rfind(tail);
  return at == std::wstring::npos ? location
                                  : location.substr(0, at) + location.substr(at + tail.size());
}

}  // namespace

CBackupProgressDlg* CMainFrame::ProgressWindow() {
  if (m_pProgressDlg == nullptr) {
    m_pProgressDlg = new CBackupProgressDlg(this);
    connect(m_pProgressDlg, &CBackupProgressDlg::driveRemovalRequested, this,
            &CMainFrame::OnSafelyRemoveDrive);
    if (m_pIVaultline != nullptr) {
      m_pProgressDlg->SetShowTimeTick(m_pIVaultline->GetShowTimeTick());
      m_pProgressDlg->SetTraceLevel(m_pIVaultline->GetTraceLevel());
    }
  }
  return m_pProgressDlg;
}

bool CMainFrame::RunBackup() {
  if (m_pIVaultline == nullptr || m_pSelectionView == nullptr) return false;
  std::wstring name;
  const int index = m_pSelectionView->Selected(&name);
  if (index < 0) return false;
  EndSnapshotMount(index);
  bool completed = false;
  try {
    CBackupProgressDlg* progress = ProgressWindow();
    progress->SetCaption(FormatString(ids::kBackupCaption, name.c_str()));
    const std::wstring location =
        FirstOf(TakeList(m_pIVaultline, m_pIVaultline->GetProfileLocation(index)));
    progress->Prepare(CBackupProgressDlg::kBackupMode, StorageFolderOf(location));
    m_pStatus = progress;
    progress->SetMaxFileSize(m_pIVaultline->GetMaxFileSize());
    progress->SetBackupAllowance(frontend::BackupAllowance(*m_pIVaultline));
    progress->SetItemName(ToQString(name));
    QStringList keepRulesNotes;
    RunBackupOnWorker(progress, &RunBackupRoutine,
                      BackupJob{m_pIVaultline, m_pStatus, static_cast<unsigned>(index),
                                ToQString(name), &keepRulesNotes});
    const CBackupProgressDlg::Status status = progress->GetStatus();
    completed = status == CBackupProgressDlg::kCompleted ||
                status == CBackupProgressDlg::kCompletedWithWarnings;
    if (completed) m_pIVaultline->RefreshSnapshots(index);
    FillSnapshotList();
    UpdateStatusBar();
    ShowKeepRulesNotes(keepRulesNotes);
  } catch (const std::exception& error) {
    ShowFailure(this, ids::kBackupException, error.what());
  }
  return completed;
}

void CMainFrame::OnBackup() {
  RunBackup();
}

void CMainFrame::OnBackupAll() {
  RunBackupSeries(LiveSelections());
}

void CMainFrame::RunBackupSeries(const std::vector<unsigned>& profiles) {
  if (m_pIVaultline == nullptr || profiles.empty()) return;
  QStringList keepRulesNotes;
  BackupAllJob job{m_pIVaultline, nullptr, {}, &keepRulesNotes};
  const std::vector<std::wstring> names = TakeList(m_pIVaultline, m_pIVaultline->GetProfileNames());
  for (unsigned profile : profiles) {
    if (profile < names.size()) job.items.push_back({profile, ToQString(names[profile])});
    EndSnapshotMount(static_cast<int>(profile));
  }
  // The series measures the whole storage: the parent of a selection's folder.
  const std::wstring folder = StorageFolderOf(
      FirstOf(TakeList(m_pIVaultline, m_pIVaultline->GetProfileLocation(profiles.front()))));
  const std::wstring storageRoot = folder.substr(0, folder.rfind(platform::kSeparator));
  try {
    CBackupProgressDlg* progress = ProgressWindow();
    progress->SetCaption(LoadString(ids::kBackupAllCaption));
    progress->Prepare(CBackupProgressDlg::kBackupMode, storageRoot);
    progress->SetMaxFileSize(m_pIVaultline->GetMaxFileSize());
    progress->SetItemName(LoadString(ids::kBackupAllSelections));
    m_pStatus = progress;
    job.window = progress;
    RunBackupOnWorker(progress, &RunBackupAllRoutine, job);
    FillSnapshotList();
    UpdateStatusBar();
    ShowKeepRulesNotes(keepRulesNotes);
  } catch (const std::exception& error) {
    ShowFailure(this, ids::kBackupException, error.what());
  }
}

void CMainFrame::OnVerify() {
  if (m_pIVaultline == nullptr || m_pSelectionView == nullptr) return;
  std::wstring name;
  const int index = m_pSelectionView->Selected(&name);
  if (index < 0) return;
  RunSelectionTask(SelectionTask::kVerify, index, name);
}

void CMainFrame::OnDeleteSnapshot() {
  if (m_pIVaultline == nullptr || m_pSelectionView == nullptr || m_pSnapshotView == nullptr) {
    return;
  }
  std::wstring name;
  const int profile = m_pSelectionView->Selected(&name);
  const int snapshot = m_pSnapshotView->Selected();
  if (profile < 0 || snapshot < 0) return;
  // A damaged row has no time to name.
  const std::wstring when = FromQString(m_pSnapshotView->SelectedText());
  const QString question =
      m_pIVaultline->IsSnapshotDamaged(profile, snapshot)
          ? FormatString(ids::kConfirmDeleteDamaged, name.c_str())
          : FormatString(ids::kConfirmDeleteSnapshot, when.c_str(), name.c_str());
  if (!MessageBox::AskYesNo(this, question)) return;

  CollectedMessages messages;
  IBackupRestoreStatus* previous = m_pIVaultline->SetStatusCallback(&messages);
  const unsigned forget = static_cast<unsigned>(snapshot);
  const bool forgotten = m_pIVaultline->ForgetSnapshots(profile, &forget, 1);
  m_pIVaultline->SetStatusCallback(previous);
  FillSnapshotList();
  if (!forgotten) {
    const std::wstring reason = FromQString(messages.Text());
    MessageBox::Show(this, FormatString(ids::kSnapshotNotDeleted, reason.c_str()),
                     QMessageBox::Critical);
    return;
  }
  // Damaged entries the rewrite could not keep are named here.
  if (messages.HasAny()) MessageBox::Show(this, messages.Text(), QMessageBox::Warning);
  if (MessageBox::AskYesNo(this, LoadString(ids::kOfferCompact)))
    RunSelectionTask(SelectionTask::kCompact, profile, name);
}

void CMainFrame::RunSelectionTask(SelectionTask task, int index, const std::wstring& name) {
  const bool compact = task == SelectionTask::kCompact;
  try {
    CBackupProgressDlg* progress = ProgressWindow();
    progress->SetCaption(
        FormatString(compact ? ids::kCompactCaption : ids::kVerifyCaption, name.c_str()));
    progress->Prepare(compact ? CBackupProgressDlg::kCompactMode : CBackupProgressDlg::kVerifyMode,
                      std::wstring());
    progress->SetItemName(ToQString(name));
    m_pStatus = progress;
    RunOnWorker(progress, compact ? &RunCompactRoutine : &RunVerifyRoutine,
                BackupJob{m_pIVaultline, m_pStatus, static_cast<unsigned>(index), ToQString(name),
                          nullptr});
    FillSnapshotList();
    // Compaction gives space back on the drive.
    if (compact) UpdateStatusBar();
  } catch (const std::exception& error) {
    ShowFailure(this, compact ? ids::kCompactException : ids::kVerifyException, error.what());
  }
}

void CMainFrame::OnRestore() {
  if (m_pSnapshotView == nullptr || m_pContentView == nullptr) return;
  RestoreItem(m_pSnapshotView->Selected(), m_pContentView->SelectedDisplayPath());
}

void CMainFrame::RestoreItem(int snapshot, const std::wstring& treePath) {
  if (m_pIVaultline == nullptr || m_pSelectionView == nullptr || m_pSnapshotView == nullptr) {
    return;
  }
  try {
    CBackupProgressDlg* progress = ProgressWindow();
    std::wstring selectionName;
    const int profile = m_pSelectionView->Selected(&selectionName);
    if (profile < 0) return;
    // The snapshot's stored text and its text as shown: the list's for the
    // selected row, the engine's for another (a history window's).
    std::wstring snapshotText;
    QString shownText;
    if (snapshot == m_pSnapshotView->Selected(&snapshotText)) {
      shownText = m_pSnapshotView->SelectedText();
    } else {
      const HistorySource history =
          HistorySource::Of(m_pIVaultline, static_cast<unsigned>(profile));
      shownText = history.SnapshotText(static_cast<unsigned>(snapshot));
      snapshotText = static_cast<size_t>(snapshot) < history.snapshots.size()
                         ? history.snapshots[static_cast<size_t>(snapshot)]
                         : std::wstring();
    }
    const std::wstring source =
        FirstOf(TakeList(m_pIVaultline, m_pIVaultline->GetProfileContents(profile)));
    if (source.empty()) return;
    const size_t last = treePath.rfind(platform::kSeparator);
    const std::wstring parentPath =
        last == std::wstring::npos ? std::wstring() : treePath.substr(0, last);
    // By default the item goes to a new folder beside its source, so that
    // nothing of the user's is touched unless the user says so.
    const std::wstring besideSource = source.substr(0, source.rfind(platform::kSeparator) + 1);
    const CRestorePath::Request request{
        shownText, ToQString(treePath), besideSource + parentPath,
        besideSource + selectionName + L' ' + FromQString(SnapshotStamp(ToQString(snapshotText)))};
    CRestorePath dialog(this, request);
    if (!dialog.Run()) return;
    m_restoreDestination = platform::FullPath(DefaultRestoreDestination());
    if (m_restoreDestination.empty()) return;

    progress->SetCaption(FormatString(ids::kRestoreCaption, treePath.c_str()));
    progress->Prepare(CBackupProgressDlg::kRestoreMode, std::wstring());
    uint64_t freeBytes = 0;
    uint64_t totalBytes = 0;
    int error = 0;
    if (!platform::DiskSpace(m_restoreDestination, &freeBytes, &totalBytes, &error)) {
      MessageBox::Show(this, ToQString(platform::SystemErrorText(error)), QMessageBox::Critical);
      return;
    }
    progress->SetDestinationFreeSpace(static_cast<int64_t>(freeBytes));
    m_pStatus = progress;
    RestoreJob job{m_pIVaultline, m_pStatus,      static_cast<unsigned>(profile),
                   std::nullopt,  std::wstring(), m_restoreDestination};
    if (snapshot >= 0) job.snapshot = snapshot;
    const size_t first = treePath.find(platform::kSeparator);
    if (first != std::wstring::npos) job.item = treePath.substr(first + 1);
    if (!ConfirmReplacedFiles(job, dialog.ConflictRule())) return;
    SetRestoreConflict(m_pIVaultline, dialog.ConflictRule(), false);
    progress->SetItemName(ToQString(treePath));
    RunOnWorker(progress, &RunRestoreRoutine, job);
  } catch (const std::exception& error) {
    ShowFailure(this, ids::kRestoreException, error.what());
  }
}

bool CMainFrame::ConfirmReplacedFiles(const RestoreJob& job, int rule) {
  if (rule == kKeepBothFiles || !job.snapshot || !platform::IsFolder(job.destination)) return true;
  // A restore that writes nothing and names each file it would replace.
  CollectedMessages counter;
  IBackupRestoreStatus* previous = m_pIVaultline->SetStatusCallback(&counter);
  SetRestoreConflict(m_pIVaultline, rule, true);
  m_pIVaultline->Restore(*job.profile, *job.snapshot, job.item.c_str(), job.destination.c_str());
  SetRestoreConflict(m_pIVaultline, kReplaceLocalFile, false);
  m_pIVaultline->SetStatusCallback(previous);
  const int replaced = counter.FilesNamed();
  return replaced == 0 ||
         MessageBox::AskYesNo(this, FormatString(ids::kFilesWillBeReplaced, replaced));
}

void CMainFrame::OnViewFile() {
  if (m_pIVaultline == nullptr || m_pSelectionView == nullptr || m_pSnapshotView == nullptr ||
      m_pContentView == nullptr) {
    return;
  }
  try {
    const int profile = m_pSelectionView->Selected();
    const int snapshot = m_pSnapshotView->Selected();
    if (profile < 0 || snapshot < 0 || !m_pContentView->HasSelectedFile()) return;
    const std::wstring treePath = m_pContentView->SelectedDisplayPath();
    if (treePath.empty()) return;
    EndSnapshotMount(profile);
    FileViewer::View(m_pIVaultline, static_cast<unsigned>(profile), snapshot, ToQString(treePath),
                     this);
  } catch (const std::exception& error) {
    ShowFailure(this, ids::kViewFileException, error.what());
  }
}

void CMainFrame::OnProperties() {
  if (m_pSelectionView == nullptr) return;
  const int index = m_pSelectionView->Selected();
  if (index < 0) return;
  if (m_pIVaultline == nullptr) {
    MessageBox::Show(this, LoadString(ids::kEngineMissing));
    return;
  }
  const StringList names = m_pIVaultline->GetProfileNames();
  if (names == nullptr) {
    MessageBox::Show(this, LoadString(ids::kNoSelectionInEngine));
    return;
  }
  const std::vector<std::wstring> nameList = TakeList(m_pIVaultline, names);
  if (static_cast<size_t>(index) >= nameList.size()) {
    MessageBox::Show(this, LoadString(ids::kListIdBeyondEngine));
    return;
  }
  const std::wstring path =
      FirstOf(TakeList(m_pIVaultline, m_pIVaultline->GetProfileContents(index)));
  CProfileProperties dialog(ToQString(nameList[index]), ToQString(path),
                            LoadString(ids::kPropertiesCaption), this);
  // Patterns that cannot be read are not offered for editing: saving the
  // list would replace them.
  const StringList exclusions = m_pIVaultline->GetExclusions(index);
  QStringList before;
  if (exclusions != nullptr) {
    for (const std::wstring& pattern : TakeList(m_pIVaultline, exclusions)) {
      before.push_back(ToQString(pattern));
    }
    dialog.ShowExclusions(before);
  }
  if (dialog.exec() != QDialog::Accepted) return;
  if (dialog.Source() != ToQString(path)) ChangeSource(index, nameList[index], dialog.Source());
  if (exclusions == nullptr) return;
  const QStringList after = dialog.Exclusions();
  for (const QString& pattern : before) {
    if (!after.contains(pattern)) ApplyExclusionChange(index, pattern, false);
  }
  for (const QString& pattern : after) {
    if (!before.contains(pattern)) ApplyExclusionChange(index, pattern, true);
  }
}

void CMainFrame::ChangeSource(int index, const std::wstring& name, const QString& source) {
  const std::wstring path = FromQString(source);
  switch (SetProfileSource(m_pIVaultline, static_cast<unsigned>(index), path.c_str())) {
    case kSourceChanged:
      break;
    case kSourceMissing:
      MessageBox::Show(this, FormatString(ids::kVerifyPath, path.c_str()), QMessageBox::Warning);
      break;
    default:
      MessageBox::Show(this, FormatString(ids::kSourceNotChanged, name.c_str()),
                       QMessageBox::Critical);
      break;
  }
}

void CMainFrame::ApplyExclusionChange(int index, const QString& pattern, bool add) {
  const std::wstring text = FromQString(pattern);
  const bool changed = add ? m_pIVaultline->AddExclusion(index, text.c_str())
                           : m_pIVaultline->RemoveExclusion(index, text.c_str());
  if (!changed) MessageBox::Show(this, FormatString(ids::kExclusionNotChanged, text.c_str()));
}

void CMainFrame::OnPreferences() {
  if (m_pIVaultline == nullptr) return;
  CPreferenceDlg dialog(m_driveRoot, CPreferenceDlg::Use::kStandalone);
  dialog.SetBackupSizeLimit(m_pIVaultline->GetMaxBackupSize());
  dialog.SetMaxFileSize(m_pIVaultline->GetMaxFileSize());
  const int64_t configuredTotalMb = m_pIVaultline->GetTotalSpaceAvailabeInDevice();
  if (configuredTotalMb != 0) dialog.SetDriveTotal(configuredTotalMb << 20);
  dialog.SetReminderDays(ReminderDays(m_pIVaultline));
  ShowPluggedInBackup(dialog);
  if (!dialog.Run(this)) return;
  m_pIVaultline->SetMaxFileSize(dialog.MaxFileSize());
  m_pIVaultline->SetMaxBackupSize(dialog.BackupSizeLimit());
  if (dialog.ReminderDays() != ReminderDays(m_pIVaultline)) {
    SetDriveSetting(m_pIVaultline, kReminderDaysKey, dialog.ReminderDays());
  }
  ApplyPluggedInBackup(dialog);
  UpdateStatusBar();
  UpdateReminders();
}

void CMainFrame::OnNewSelection() {
  const QString currentDirectory = QDir::currentPath();
  try {
    bool accepted = false;
    std::wstring name;
    std::wstring path;
    if (m_pIVaultline == nullptr || m_pIVaultline->GetCreateProfileDlg() != 0) {
      CCreateProfileDlg dialog(CCreateProfileDlg::Use::kStandalone);
      accepted = dialog.Run(this);
      name = NewSelectionName();
      path = NewSelectionPath();
    } else {
      CSelectContent dialog(this);
      accepted = dialog.Run();
      name = FromQString(dialog.Name());
      path = FromQString(dialog.Path());
    }
    QDir::setCurrent(currentDirectory);
    if (accepted) CreateSelectionAndBackUp(name, path);
  } catch (const std::exception& error) {
    QDir::setCurrent(currentDirectory);
    ShowFailure(this, ids::kNewSelectionException, error.what());
  }
}

bool CMainFrame::CreateSelectionAndBackUp(const std::wstring& name, const std::wstring& source) {
  if (m_pIVaultline == nullptr || m_pSelectionView == nullptr) return false;
  const wchar_t* contents[] = {source.c_str()};
  int index = -1;
  if (!m_pIVaultline->CreateProfile(name.c_str(), contents, 1, &index) || index < 0) {
    MessageBox::Show(this,
                     FormatString(ids::kCreateSelectionFailed, name.c_str(), source.c_str(), 1),
                     QMessageBox::Critical);
    return false;
  }
  m_pSelectionView->Add(name, index);
  m_pSelectionView->Select(index);
  if (m_pSnapshotView != nullptr) m_pSnapshotView->Clear();
  if (m_pContentView != nullptr) m_pContentView->Clear();
  if (RunBackup()) return true;
  // A selection whose first snapshot failed would only confuse; take it back.
  DeleteSelectedSelection(false);
  return false;
}

void CMainFrame::OnFolderDropped(const QString& folder) {
  const std::wstring path = FromQString(QDir::toNativeSeparators(folder));
  if (!MessageBox::AskYesNo(this, FormatString(ids::kCreateForFolder, path.c_str()))) return;
  const size_t slash = path.find_last_of(platform::kSeparator);
  // The folder's own name, as the creation dialog proposes it; a root keeps its path.
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  if (name.empty()) name = path;
  CreateSelectionAndBackUp(name, path);
}

void CMainFrame::RunFirstRunWizard() {
  CFirstRunWizard wizard(m_driveRoot, this);
  CPreferenceDlg* preferences = wizard.Preferences();
  if (m_pIVaultline != nullptr) {
    preferences->SetBackupSizeLimit(m_pIVaultline->GetMaxBackupSize());
    preferences->SetMaxFileSize(m_pIVaultline->GetMaxFileSize());
    const int64_t configuredTotalMb = m_pIVaultline->GetTotalSpaceAvailabeInDevice();
    if (configuredTotalMb != 0) preferences->SetDriveTotal(configuredTotalMb << 20);
    // The drive is offered whole (in whole MB, as the page shows it): the
    // engine's default quota is far too small for a first real backup.
    const int64_t driveMb = preferences->DriveTotal() >> 20;
    if (driveMb > 0) preferences->SetBackupSizeLimit(driveMb << 20);
  }
  bool finished = wizard.exec() == QDialog::Accepted;
  while (finished) {
    if (m_pIVaultline != nullptr) {
      m_pIVaultline->SetMaxFileSize(preferences->MaxFileSize());
      m_pIVaultline->SetMaxBackupSize(preferences->BackupSizeLimit());
    }
    UpdateStatusBar();
    if (CreateSelectionAndBackUp(NewSelectionName(), NewSelectionPath())) return;
    finished = wizard.RunAgainOnLastPage();
  }
  // Cancelled: the window stays, empty; New Backup Selection is one click
  // away, and quitting is the user's own choice.
}
