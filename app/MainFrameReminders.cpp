// The main window's offers to back up at start: every selection when the
// drive's autorun started the program, else the ones past the reminder age.
#include <QTimer>

#include "AppStrings.h"
#include "BackupAge.h"
#include "CMainFrame.h"
#include "CMarrowbyView.h"
#include "EngineList.h"
#include "MessageBox.h"
#include "progress/CBackupProgressDlg.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

void CMainFrame::OfferOverdueBackup() {
  if (m_pIVaultline == nullptr) return;
  const QDateTime now = ReminderNow();
  const int days = ReminderDays(m_pIVaultline);
  const std::vector<std::wstring> names = TakeList(m_pIVaultline, m_pIVaultline->GetProfileNames());
  std::vector<unsigned> overdue;
  QStringList lines;
  for (unsigned profile : LiveSelections()) {
    const QDateTime last =
        LastBackupTime(TakeList(m_pIVaultline, m_pIVaultline->GetSnapshots(profile)));
    if (!IsBackupOverdue(last, now, days) || profile >= names.size()) continue;
    overdue.push_back(profile);
    lines << ToQString(names[profile]) + QStringLiteral(": ") + BackupAgeText(last, now);
  }
  if (overdue.empty()) return;
  const std::wstring list = FromQString(lines.join(u'\n'));
  if (MessageBox::AskYesNo(this, FormatString(ids::kOfferOverdueBackup, days, list.c_str()))) {
    RunBackupSeries(overdue);
  }
}

void CMainFrame::OfferBackupAtStart() {
  // The start's check, still queued, asks it; a window without selections
  // gets the first-run wizard instead.
  if (!m_startChecked) {
    m_offerBackupAtStart = true;
    return;
  }
  QTimer::singleShot(0, this, [this] {
    if (m_pSelectionView->count() > 0) AskBackUpNow();
  });
}

void CMainFrame::AskBackUpNow() {
  if (m_pIVaultline == nullptr) return;
  if (MessageBox::Show(this, LoadString(ids::kOfferBackupNow), QMessageBox::Question,
                       QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes) {
    OnBackupAll();
  }
}
