#include "history/CFileVersionsDlg.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "AppStrings.h"
#include "MessageBox.h"
#include "ScreenScale.h"
#include "SizeText.h"
#include "SnapshotTimeText.h"
#include "history/CTextCompareDlg.h"
#include "history/HistoryDialogParts.h"
#include "history/StoredFileContents.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

CFileVersionsDlg::CFileVersionsDlg(const HistorySource& history, const QString& treePath,
                                   QWidget* owner)
    : QDialog(owner), history_(history), treePath_(treePath) {
  setObjectName(QStringLiteral("fileVersionsDialog"));
  const std::wstring path = FromQString(treePath);
  setWindowTitle(FormatString(ids::kVersionsCaption, path.c_str()));
  intro_ = SummaryLabel(QStringLiteral("versionsIntroLabel"));
  list_ = HistoryList(QStringLiteral("versionList"),
                      {LoadString(ids::kColumnSnapshots), LoadString(ids::kColumnSize),
                       LoadString(ids::kColumnModified)},
                      kSnapshotsColumn, kSizeColumn);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  problems_ = ProblemsLabel();

  viewButton_ = CommandButton(ids::kViewButton, QStringLiteral("viewButton"));
  restoreButton_ = CommandButton(ids::kRestoreButton, QStringLiteral("restoreButton"));
  compareButton_ = CommandButton(ids::kCompareSelected, QStringLiteral("compareButton"));
  compareNowButton_ = CommandButton(ids::kCompareWithNowButton, QStringLiteral("compareNowButton"));
  QDialogButtonBox* close = CloseButtonBox();
  LayOutHistoryWindow(
      this, nullptr, intro_, list_, problems_,
      ActionRow({viewButton_, restoreButton_, compareButton_, compareNowButton_}, close));
  resize(Scaled(this, QSize(720, 400)));

  connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &CFileVersionsDlg::UpdateButtons);
  connect(list_, &QTreeWidget::itemDoubleClicked, viewButton_, &QPushButton::click);
  connect(viewButton_, &QPushButton::clicked, this, [this] {
    const std::vector<const ItemVersion*> chosen = SelectedVersions();
    if (chosen.size() == 1) {
      emit viewRequested(static_cast<int>(chosen.front()->snapshots.back()), treePath_);
    }
  });
  connect(restoreButton_, &QPushButton::clicked, this, [this] {
    const std::vector<const ItemVersion*> chosen = SelectedVersions();
    if (chosen.size() == 1) {
      emit restoreRequested(static_cast<int>(chosen.front()->snapshots.back()), treePath_);
    }
  });
  connect(compareButton_, &QPushButton::clicked, this, &CFileVersionsDlg::CompareSelected);
  connect(compareNowButton_, &QPushButton::clicked, this, &CFileVersionsDlg::CompareWithNow);
  Load();
}

void CFileVersionsDlg::Load() {
  VersionSearch search;
  search.path = FromQString(treePath_);
  std::vector<std::wstring> problems;
  const bool read =
      FindItemVersions(history_.engine, history_.profile, search, &versions_, &problems);
  ShowProblems(problems_, problems, read);
  unsigned snapshots = 0;
  for (const ItemVersion& version : versions_) {
    snapshots += static_cast<unsigned>(version.snapshots.size());
  }
  const std::wstring path = FromQString(treePath_);
  intro_->setText(versions_.empty()
                      ? FormatString(ids::kNoVersions, path.c_str())
                      : FormatString(ids::kVersionsIntro, static_cast<int>(versions_.size()),
                                     path.c_str(), static_cast<int>(snapshots)));
  // Newest first, as the snapshot list shows them.
  for (size_t i = versions_.size(); i-- > 0;) {
    const ItemVersion& version = versions_[i];
    auto* row = new QTreeWidgetItem(list_);
    row->setText(kSnapshotsColumn, history_.SnapshotsText(version.snapshots));
    row->setToolTip(kSnapshotsColumn, SnapshotListText(history_, version.snapshots));
    row->setText(kSizeColumn, SizeText(version.item.size));
    row->setTextAlignment(kSizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    row->setText(kModifiedColumn,
                 DateTimeText(QDateTime::fromSecsSinceEpoch(version.item.modified)));
    row->setData(kSnapshotsColumn, kVersionRole, static_cast<int>(i));
  }
  if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
  UpdateButtons();
}

std::vector<const ItemVersion*> CFileVersionsDlg::SelectedVersions() const {
  std::vector<int> indices;
  for (const QTreeWidgetItem* row : list_->selectedItems()) {
    indices.push_back(row->data(kSnapshotsColumn, kVersionRole).toInt());
  }
  std::sort(indices.begin(), indices.end());
  std::vector<const ItemVersion*> chosen;
  for (int index : indices) chosen.push_back(&versions_[static_cast<size_t>(index)]);
  return chosen;
}

void CFileVersionsDlg::UpdateButtons() {
  const size_t chosen = SelectedVersions().size();
  const bool file = [&] {
    for (const ItemVersion* version : SelectedVersions()) {
      if (version->item.kind != StoredItemKind::kFile) return false;
    }
    return true;
  }();
  viewButton_->setEnabled(chosen == 1 && file);
  restoreButton_->setEnabled(chosen == 1);
  compareButton_->setEnabled(chosen == 2 && file);
  compareNowButton_->setEnabled(
      chosen == 1 && file &&
      QFileInfo(ToQString(history_.NowPath(FromQString(treePath_)))).isFile());
}

bool CFileVersionsDlg::ReadVersion(const ItemVersion& version, QByteArray* contents) {
  const std::wstring when = FromQString(history_.SnapshotText(version.snapshots.back()));
  if (version.item.size > kMaxCompareBytes) {
    const std::wstring limit = FromQString(SizeText(kMaxCompareBytes));
    MessageBox::Show(this, FormatString(ids::kTooLargeToCompare, when.c_str(), limit.c_str()),
                     QMessageBox::Warning);
    return false;
  }
  QString problem;
  if (ReadStoredFile(history_.engine, history_.profile, version.snapshots.back(), treePath_,
                     contents, &problem)) {
    return true;
  }
  const std::wstring why = FromQString(problem);
  MessageBox::Show(this, FormatString(ids::kVersionUnreadable, when.c_str(), why.c_str()),
                   QMessageBox::Warning);
  return false;
}

void CFileVersionsDlg::CompareSelected() {
  const std::vector<const ItemVersion*> chosen = SelectedVersions();
  if (chosen.size() != 2) return;
  CTextCompareDlg::Side older{history_.SnapshotText(chosen[0]->snapshots.back()), {}};
  CTextCompareDlg::Side newer{history_.SnapshotText(chosen[1]->snapshots.back()), {}};
  if (!ReadVersion(*chosen[0], &older.contents) || !ReadVersion(*chosen[1], &newer.contents)) {
    return;
  }
  CTextCompareDlg compare(treePath_, older, newer, this);
  compare.exec();
}

void CFileVersionsDlg::CompareWithNow() {
  const std::vector<const ItemVersion*> chosen = SelectedVersions();
  if (chosen.size() != 1) return;
  CTextCompareDlg::Side stored{history_.SnapshotText(chosen[0]->snapshots.back()), {}};
  if (!ReadVersion(*chosen[0], &stored.contents)) return;
  const QString nowPath = ToQString(history_.NowPath(FromQString(treePath_)));
  CTextCompareDlg::Side now{LoadString(ids::kNowSide), {}};
  QFile file(nowPath);
  if (file.size() > kMaxCompareBytes || !file.open(QIODevice::ReadOnly)) {
    const std::wstring path = FromQString(nowPath);
    MessageBox::Show(this, FormatString(ids::kNowUnreadable, path.c_str()), QMessageBox::Warning);
    return;
  }
  now.contents = file.readAll();
  CTextCompareDlg compare(treePath_, stored, now, this);
  compare.exec();
}
