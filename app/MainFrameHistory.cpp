// The main window's ways to find a version: the search field over the
// content tree, Find in all snapshots, a file's versions, and comparing a
// folder with now or with another snapshot. The windows list; restoring and
// viewing what they list goes through the main window's own restore and view.
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <optional>

#include "AppStrings.h"
#include "CContentView.h"
#include "CMainFrame.h"
#include "CMarrowbyView.h"
#include "CSnapshotView.h"
#include "history/CFileVersionsDlg.h"
#include "history/CFindVersionsDlg.h"
#include "history/CFolderCompareDlg.h"
#include "history/HistorySource.h"
#include "history/SearchPattern.h"
#include "progress/FileViewer.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

namespace {

// Typing pauses this long before the tree is filtered: a large snapshot is
// not walked again for every key.
constexpr int kSearchDelayMs = 250;

}  // namespace

QWidget* CMainFrame::CreateContentPane(QWidget* parent) {
  auto* pane = new QWidget(parent);
  pane->setObjectName(QStringLiteral("contentPane"));
  m_pSearchEdit = new QLineEdit(pane);
  m_pSearchEdit->setObjectName(QStringLiteral("contentSearchEdit"));
  m_pSearchEdit->setPlaceholderText(LoadString(ids::kSearchPlaceholder));
  m_pSearchEdit->setAccessibleName(LoadString(ids::kSearchPlaceholder));
  m_pSearchEdit->setClearButtonEnabled(true);
  auto* findAll = new QToolButton(pane);
  findAll->setObjectName(QStringLiteral("findInAllSnapshotsButton"));
  findAll->setDefaultAction(m_actions.value(cmd::kFindInSnapshots));
  findAll->setToolButtonStyle(Qt::ToolButtonTextOnly);
  m_pContentView = new CContentView(pane);

  auto* search = new QHBoxLayout;
  search->setContentsMargins(0, 0, 0, 0);
  search->addWidget(m_pSearchEdit, 1);
  search->addWidget(findAll);
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addLayout(search);
  layout->addWidget(m_pContentView, 1);

  m_pSearchTimer = new QTimer(this);
  m_pSearchTimer->setSingleShot(true);
  m_pSearchTimer->setInterval(kSearchDelayMs);
  auto apply = [this] {
    m_pSearchTimer->stop();
    m_pContentView->SetFilter(SearchPattern(m_pSearchEdit->text()));
    UpdateCommandStates();
  };
  connect(m_pSearchTimer, &QTimer::timeout, this, apply);
  connect(m_pSearchEdit, &QLineEdit::textChanged, m_pSearchTimer, qOverload<>(&QTimer::start));
  // Enter filters at once and takes the keys to the matches.
  connect(m_pSearchEdit, &QLineEdit::returnPressed, this, [this, apply] {
    apply();
    m_pContentView->setFocus(Qt::OtherFocusReason);
  });
  connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
    m_pSearchEdit->setFocus(Qt::ShortcutFocusReason);
    m_pSearchEdit->selectAll();
  });
  // Escape in the field empties it, showing the whole tree again.
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), m_pSearchEdit, nullptr, nullptr,
                        Qt::WidgetShortcut),
          &QShortcut::activated, this, [this, apply] {
            m_pSearchEdit->clear();
            apply();
          });
  return pane;
}

bool CMainFrame::SelectedHistory(HistorySource* history) const {
  const int profile = m_pSelectionView->Selected();
  if (m_pIVaultline == nullptr || profile < 0) return false;
  *history = HistorySource::Of(m_pIVaultline, static_cast<unsigned>(profile));
  return true;
}

void CMainFrame::OnHistoryRestore(int snapshot, const QString& treePath) {
  RestoreItem(snapshot, FromQString(treePath));
}

void CMainFrame::OnHistoryView(int snapshot, const QString& treePath) {
  const int profile = m_pSelectionView->Selected();
  if (m_pIVaultline == nullptr || profile < 0) return;
  QWidget* owner = QApplication::activeModalWidget();
  FileViewer::View(m_pIVaultline, static_cast<unsigned>(profile), snapshot, treePath,
                   owner != nullptr ? owner : this);
}

void CMainFrame::OnFindInSnapshots() {
  HistorySource history;
  if (!SelectedHistory(&history)) return;
  CFindVersionsDlg dialog(history, m_pSearchEdit->text(), this);
  connect(&dialog, &CFindVersionsDlg::restoreRequested, this, &CMainFrame::OnHistoryRestore);
  connect(&dialog, &CFindVersionsDlg::viewRequested, this, &CMainFrame::OnHistoryView);
  dialog.exec();
}

void CMainFrame::OnFileVersions() {
  HistorySource history;
  if (!SelectedHistory(&history) || !m_pContentView->HasSelectedFile()) return;
  CFileVersionsDlg dialog(history, ToQString(m_pContentView->SelectedDisplayPath()), this);
  connect(&dialog, &CFileVersionsDlg::restoreRequested, this, &CMainFrame::OnHistoryRestore);
  connect(&dialog, &CFileVersionsDlg::viewRequested, this, &CMainFrame::OnHistoryView);
  dialog.exec();
}

void CMainFrame::OnCompareFolder(bool withNow) {
  HistorySource history;
  const int snapshot = m_pSnapshotView->Selected();
  if (!SelectedHistory(&history) || snapshot < 0 || !m_pContentView->SelectedIsFolder()) return;
  // Another snapshot: the one before the shown one, else the one after it.
  std::optional<unsigned> other;
  if (!withNow && history.snapshots.size() > 1) {
    other = snapshot > 0 ? static_cast<unsigned>(snapshot - 1) : 1u;
  }
  CFolderCompareDlg dialog(history, ToQString(m_pContentView->SelectedDisplayPath()),
                           static_cast<unsigned>(snapshot), other, this);
  connect(&dialog, &CFolderCompareDlg::restoreRequested, this, &CMainFrame::OnHistoryRestore);
  dialog.exec();
}
