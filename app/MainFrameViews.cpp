// What the main window shows of the drive, refreshed from the engine: the
// selection list, the snapshot list, the content tree, the status bar with
// the reminders, and which commands can run. Everything else of the window
// calls these; they call nothing of it back.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>

#include "AppStrings.h"
#include "BackupAge.h"
#include "CContentView.h"
#include "CMainFrame.h"
#include "CMarrowbyView.h"
#include "CSnapshotView.h"
#include "EngineList.h"
#include "SizeText.h"
#include "SnapshotMounts.h"
#include "progress/CBackupProgressDlg.h"
#include "resources/ResourceIds.h"
#include "vaultline/Path.h"
#include "vaultline/SnapshotDetails.h"
#include "vaultline/SnapshotFigures.h"

using namespace marrowby;
namespace platform = vaultline::platform;

void CMainFrame::FillSelectionList() {
  if (m_pIVaultline == nullptr) return;
  m_pSelectionView->Fill(TakeList(m_pIVaultline, m_pIVaultline->GetProfileNames()));
  if (m_pSelectionView->count() == 0) FillSnapshotList();
}

void CMainFrame::FillSnapshotList() {
  m_pContentView->Clear();
  std::wstring name;
  int index = m_pSelectionView->Selected(&name);
  if (m_pIVaultline == nullptr || index < 0) {
    m_pSnapshotView->Clear();
    UpdateCommandStates();
    return;
  }
  EndSnapshotMount(index);
  std::vector<std::wstring> snapshots = TakeList(m_pIVaultline, m_pIVaultline->GetSnapshots(index));
  // A damaged snapshot keeps its row, so that the rows keep their indices.
  for (size_t i = 0; i < snapshots.size(); ++i) {
    if (m_pIVaultline->IsSnapshotDamaged(index, static_cast<unsigned>(i))) {
      snapshots[i] = FromQString(LoadString(ids::kDamagedSnapshot));
    }
  }
  m_pSnapshotView->Fill(name, snapshots,
                        TakeList(m_pIVaultline, GetSnapshotFigures(m_pIVaultline, index)));
  UpdateReminders();
  UpdateCommandStates();
}

void CMainFrame::FillContentTree() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  std::wstring snapshotName;
  int selection = m_pSelectionView->Selected();
  int snapshot = m_pSnapshotView->Selected(&snapshotName);
  if (m_pIVaultline == nullptr || selection < 0 || snapshot < 0) {
    // Nothing chosen: the tree must not go on showing another snapshot.
    m_pContentView->Clear();
  } else {
    EndSnapshotMount(selection);
    StringList list = m_pIVaultline->GetSnapshotContents(selection, snapshot);
    if (list == nullptr) {
      m_pContentView->Clear();
    } else {
      // The focus stays where it is: arrow keys walk the lists.
      StringList details = GetSnapshotItemDetails(m_pIVaultline, selection, snapshot);
      m_pContentView->Fill(
          TakeList(m_pIVaultline, list), FromQString(m_pSnapshotView->SelectedText()),
          details != nullptr ? TakeList(m_pIVaultline, details) : std::vector<std::wstring>(),
          TakeList(m_pIVaultline, m_pIVaultline->GetSnapshotItemKinds(selection, snapshot)));
    }
  }
  QApplication::restoreOverrideCursor();
  UpdateCommandStates();
}

int CMainFrame::GaugePosition(int64_t limit, int64_t used) {
  if (limit == 0) return 0;
  if (limit >= used) {
    return static_cast<int>(static_cast<double>(used) * kGaugeRange / static_cast<double>(limit));
  }
  return kGaugeRange;
}

void CMainFrame::UpdateStatusBar() {
  int64_t limit = m_pIVaultline != nullptr ? m_pIVaultline->GetMaxBackupSize() : 0;
  int64_t used = m_pIVaultline != nullptr ? m_pIVaultline->GetStorageUsed() : 0;
  m_pGauge->setValue(GaugePosition(limit, used));
  uint64_t freeBytes = 0;
  uint64_t totalBytes = 0;
  int error = 0;
  if (!platform::DiskSpace(m_driveRoot, &freeBytes, &totalBytes, &error)) return;
  const std::wstring usedText = FromQString(SizeText(used));
  const std::wstring freeText = FromQString(SizeText(static_cast<int64_t>(freeBytes)));
  if (limit > 0) {
    const std::wstring limitText = FromQString(SizeText(limit));
    m_pStoragePane->setText(FormatString(ids::kStorageUsageOfQuota, usedText.c_str(),
                                         limitText.c_str(), freeText.c_str()));
  } else {
    m_pStoragePane->setText(
        FormatString(ids::kStorageUsageNoQuota, usedText.c_str(), freeText.c_str()));
  }
}

bool CMainFrame::IsCommandEnabled(unsigned command) const {
  bool engine = m_pIVaultline != nullptr;
  bool selection = m_pSelectionView->Selected() >= 0;
  switch (command) {
    case cmd::kRenameSelection:
    case cmd::kDeleteSelection:
    case cmd::kProperties:
      return selection;
    case cmd::kBackup:
    case cmd::kVerify:
    case cmd::kKeepRules:
      return engine && selection;
    case cmd::kForgetLog:
      return engine;
    case cmd::kDeleteSnapshot:
    case cmd::kOpenInFileManager:
      return engine && selection && m_pSnapshotView->Selected() >= 0;
    case cmd::kBackupAll:
      return engine && m_pSelectionView->count() > 0;
    case cmd::kRestore:
      return engine && selection && m_pSnapshotView->Selected() >= 0 &&
             !m_pContentView->SelectedDisplayPath().empty();
    case cmd::kViewFile:
      return engine && m_pContentView->HasSelectedFile();
    case cmd::kFileVersions:
      return engine && selection && m_pSnapshotView->Selected() >= 0 &&
             m_pContentView->HasSelectedFile();
    case cmd::kCompareWithNow:
      return engine && selection && m_pSnapshotView->Selected() >= 0 &&
             m_pContentView->SelectedIsFolder();
    case cmd::kCompareWithSnapshot:
      return engine && selection && m_pSnapshotView->Selected() >= 0 &&
             m_pSnapshotView->topLevelItemCount() > 1 && m_pContentView->SelectedIsFolder();
    case cmd::kFindInSnapshots:
      return engine && selection && m_pSnapshotView->topLevelItemCount() > 0;
    default:
      return true;
  }
}

void CMainFrame::UpdateCommandStates() {
  for (auto it = m_actions.constBegin(); it != m_actions.constEnd(); ++it) {
    it.value()->setEnabled(IsCommandEnabled(it.key()));
  }
}

void CMainFrame::EndSnapshotMount(int selection) {
  if (m_pMounts != nullptr) m_pMounts->End(selection);
}

std::vector<unsigned> CMainFrame::LiveSelections() const {
  std::vector<unsigned> live;
  if (m_pIVaultline == nullptr) return live;
  const int count =
      static_cast<int>(TakeList(m_pIVaultline, m_pIVaultline->GetProfileNames()).size());
  for (int i = 0; i < count; ++i) {
    // A deleted selection keeps its slot with an empty location.
    const std::vector<std::wstring> location =
        TakeList(m_pIVaultline, m_pIVaultline->GetProfileLocation(i));
    if (!location.empty() && !location.front().empty()) {
      live.push_back(static_cast<unsigned>(i));
    }
  }
  return live;
}

void CMainFrame::UpdateReminders() {
  // The engine is the worker's while a progress window is open; its end
  // updates the reminders.
  if (m_pIVaultline == nullptr || (m_pProgressDlg != nullptr && m_pProgressDlg->isVisible())) {
    return;
  }
  const QDateTime now = ReminderNow();
  const int days = ReminderDays(m_pIVaultline);
  const QString tip = days > 0 ? FormatString(ids::kOverdueTip, days) : QString();
  for (unsigned profile : LiveSelections()) {
    const QDateTime last =
        LastBackupTime(TakeList(m_pIVaultline, m_pIVaultline->GetSnapshots(profile)));
    const bool overdue = IsBackupOverdue(last, now, days);
    m_pSelectionView->SetBackupAge(static_cast<int>(profile), BackupAgeText(last, now), overdue,
                                   overdue ? tip : QString());
  }
  std::wstring name;
  const int selected = m_pSelectionView->Selected(&name);
  if (selected < 0) {
    m_pLastBackupPane->clear();
    return;
  }
  const std::wstring age = FromQString(m_pSelectionView->BackupAge(selected));
  const bool overdue = m_pSelectionView->IsOverdue(selected);
  const bool never =
      !LastBackupTime(TakeList(m_pIVaultline, m_pIVaultline->GetSnapshots(selected))).isValid();
  const QString text = never ? FormatString(ids::kNeverBackedUpPane, name.c_str())
                             : FormatString(ids::kLastBackupPane, name.c_str(), age.c_str());
  m_pLastBackupPane->setText((overdue ? QStringLiteral("\u26a0 ") : QString()) + text);
  // A narrow window cuts the pane; its tip says it whole.
  m_pLastBackupPane->setToolTip(overdue ? text + u'\n' + tip : text);
}
