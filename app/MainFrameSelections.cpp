// The main window's own selection commands: rename and delete.
#include "AppStrings.h"
#include "CContentView.h"
#include "CMainFrame.h"
#include "CMarrowbyView.h"
#include "CSnapshotView.h"
#include "MessageBox.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

void CMainFrame::OnRenameSelection() {
  m_pSelectionView->BeginRename();
}

void CMainFrame::OnRename(int index, const QString& name) {
  if (m_pIVaultline == nullptr || index < 0 || name.isEmpty()) return;
  std::wstring text = FromQString(name);
  m_pIVaultline->RenameProfile(index, text.c_str());
  m_pSelectionView->SetText(index, text);
}

void CMainFrame::OnDeleteSelection() {
  DeleteSelectedSelection(true);
}

void CMainFrame::DeleteSelectedSelection(bool askFirst) {
  std::wstring name;
  int index = m_pSelectionView->Selected(&name);
  if (m_pIVaultline == nullptr || index < 0) return;
  if (askFirst && !MessageBox::AskYesNo(this, FormatString(ids::kConfirmDelete, name.c_str()))) {
    return;
  }
  m_pIVaultline->DeleteProfile(index);
  m_pSelectionView->Remove(index);
  UpdateStatusBar();
  if (m_pSelectionView->count() > 0) {
    FillSnapshotList();
  } else {
    m_pSnapshotView->Clear();
    m_pContentView->Clear();
  }
}
