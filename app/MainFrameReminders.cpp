// The main window's reminders: how long ago each selection was backed up, in
// the selection list and the status bar, and the offer at start to back up
// the ones past the reminder age.
#include <QLabel>

#include "AppStrings.h"
#include "BackupAge.h"
#include "CMainFrame.h"
#include "CMarrowbyView.h"
#include "EngineList.h"
#include "MessageBox.h"
#include "progress/CBackupProgressDlg.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

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
