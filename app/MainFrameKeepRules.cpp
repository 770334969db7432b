// The main window's keep rules: the page of the selected selection, the
// forget log, and what the rules did after a backup, in the status bar.
#include <QStatusBar>

#include "AppStrings.h"
#include "CMainFrame.h"
#include "CMarrowbyView.h"
#include "CollectedMessages.h"
#include "MessageBox.h"
#include "dialogs/CForgetLogDlg.h"
#include "dialogs/CKeepRulesDlg.h"
#include "resources/ResourceIds.h"
#include "vaultline/KeepRules.h"

using namespace marrowby;

void CMainFrame::OnKeepRules() {
  if (m_pIVaultline == nullptr || m_pSelectionView == nullptr) return;
  std::wstring name;
  const int index = m_pSelectionView->Selected(&name);
  if (index < 0) return;
  CollectedMessages messages;
  IBackupRestoreStatus* previous = m_pIVaultline->SetStatusCallback(&messages);
  const KeepRules rules = GetKeepRules(m_pIVaultline, index);
  m_pIVaultline->SetStatusCallback(previous);
  // Rules that cannot be read apply none; the page says why and starts anew.
  if (messages.HasAny()) MessageBox::Show(this, messages.Text(), QMessageBox::Warning);
  CKeepRulesDlg page(m_pIVaultline, static_cast<unsigned>(index), ToQString(name), rules, this);
  connect(&page, &CKeepRulesDlg::showLogRequested, this, [this, &page] { ShowForgetLog(&page); });
  if (page.exec() != QDialog::Accepted) return;
  CollectedMessages failure;
  previous = m_pIVaultline->SetStatusCallback(&failure);
  const bool saved = SetKeepRules(m_pIVaultline, index, page.Rules());
  m_pIVaultline->SetStatusCallback(previous);
  if (!saved) {
    const std::wstring reason = FromQString(failure.Text());
    MessageBox::Show(this, FormatString(ids::kKeepRulesNotSaved, reason.c_str()),
                     QMessageBox::Critical);
  }
}

void CMainFrame::ShowForgetLog(QWidget* owner) {
  if (m_pIVaultline == nullptr) return;
  CForgetLogDlg dialog(m_pIVaultline, owner);
  dialog.exec();
}

void CMainFrame::ShowKeepRulesNotes(const QStringList& notes) {
  // Until the next status prompt; the forget log keeps them.
  if (!notes.isEmpty()) statusBar()->showMessage(notes.join(QStringLiteral("  ·  ")));
}
