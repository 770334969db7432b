#include "history/CFindVersionsDlg.h"

#include <QApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "AppStrings.h"
#include "ScreenScale.h"
#include "SizeText.h"
#include "SnapshotTimeText.h"
#include "history/CFileVersionsDlg.h"
#include "history/HistoryDialogParts.h"
#include "history/SearchPattern.h"
#include "resources/ResourceIds.h"
#include "vaultline/Path.h"

using namespace marrowby;

CFindVersionsDlg::CFindVersionsDlg(const HistorySource& history, const QString& typed,
                                   QWidget* owner)
    : QDialog(owner), history_(history) {
  setObjectName(QStringLiteral("findVersionsDialog"));
  setWindowTitle(LoadString(ids::kFindCaption));
  patternEdit_ = new QLineEdit(typed);
  patternEdit_->setObjectName(QStringLiteral("patternLineEdit"));
  patternEdit_->setClearButtonEnabled(true);
  auto* patternLabel = new QLabel(LoadString(ids::kFindLabel));
  patternLabel->setBuddy(patternEdit_);
  auto* findButton = new QPushButton(LoadString(ids::kFindButton));
  findButton->setObjectName(QStringLiteral("findButton"));
  findButton->setDefault(true);
  summary_ = SummaryLabel(QStringLiteral("findSummaryLabel"));
  list_ = HistoryList(QStringLiteral("foundList"),
                      {LoadString(ids::kColumnPath), LoadString(ids::kColumnSize),
                       LoadString(ids::kColumnModified), LoadString(ids::kColumnSnapshots)},
                      kPathColumn, kSizeColumn);
  problems_ = ProblemsLabel();

  viewButton_ = CommandButton(ids::kViewButton, QStringLiteral("viewButton"));
  restoreButton_ = CommandButton(ids::kRestoreButton, QStringLiteral("restoreButton"));
  versionsButton_ = CommandButton(ids::kVersionsButton, QStringLiteral("versionsButton"));
  QDialogButtonBox* close = CloseButtonBox();
  close->button(QDialogButtonBox::Close)->setAutoDefault(false);

  auto* search = new QHBoxLayout;
  search->addWidget(patternLabel);
  search->addWidget(patternEdit_, 1);
  search->addWidget(findButton);
  LayOutHistoryWindow(this, search, summary_, list_, problems_,
                      ActionRow({viewButton_, restoreButton_, versionsButton_}, close));
  resize(Scaled(this, QSize(900, 480)));

  connect(findButton, &QPushButton::clicked, this, &CFindVersionsDlg::Find);
  connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &CFindVersionsDlg::UpdateButtons);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
    if (viewButton_->isEnabled()) viewButton_->click();
  });
  connect(viewButton_, &QPushButton::clicked, this, [this] {
    if (const ItemVersion* version = SelectedVersion()) {
      emit viewRequested(static_cast<int>(version->snapshots.back()), TreePathOf(*version));
    }
  });
  connect(restoreButton_, &QPushButton::clicked, this, [this] {
    if (const ItemVersion* version = SelectedVersion()) {
      emit restoreRequested(static_cast<int>(version->snapshots.back()), TreePathOf(*version));
    }
  });
  connect(versionsButton_, &QPushButton::clicked, this, [this] {
    const ItemVersion* version = SelectedVersion();
    if (version == nullptr) return;
    CFileVersionsDlg versions(history_, TreePathOf(*version), this);
    connect(&versions, &CFileVersionsDlg::restoreRequested, this,
            &CFindVersionsDlg::restoreRequested);
    connect(&versions, &CFileVersionsDlg::viewRequested, this, &CFindVersionsDlg::viewRequested);
    versions.exec();
  });
  UpdateButtons();
  if (!patternEdit_->text().trimmed().isEmpty()) Find();
}

void CFindVersionsDlg::Find() {
  const SearchPattern pattern(patternEdit_->text());
  list_->clear();
  versions_.clear();
  if (pattern.IsEmpty()) {
    summary_->clear();
    problems_->hide();
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  VersionSearch search;
  search.patterns.push_back(pattern.EngineWildcard());
  std::vector<std::wstring> problems;
  const bool read =
      FindItemVersions(history_.engine, history_.profile, search, &versions_, &problems);
  ShowProblems(problems_, problems, read);
  ShowVersions();
  QApplication::restoreOverrideCursor();
}

void CFindVersionsDlg::ShowVersions() {
  const std::wstring typed = FromQString(patternEdit_->text().trimmed());
  QSet<QString> paths;
  QSet<unsigned> snapshots;
  QList<QTreeWidgetItem*> rows;
  for (size_t i = 0; i < versions_.size() && i < kMaxRows; ++i) {
    const ItemVersion& version = versions_[i];
    const bool file = version.item.kind == StoredItemKind::kFile;
    paths.insert(ToQString(version.item.path));
    for (unsigned snapshot : version.snapshots) snapshots.insert(snapshot);
    auto* row = new QTreeWidgetItem;
    row->setText(kPathColumn, ToQString(version.item.path));
    if (file) row->setText(kSizeColumn, SizeText(version.item.size));
    row->setTextAlignment(kSizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    row->setText(kModifiedColumn,
                 DateTimeText(QDateTime::fromSecsSinceEpoch(version.item.modified)));
    row->setText(kSnapshotsColumn, history_.SnapshotsText(version.snapshots));
    row->setToolTip(kSnapshotsColumn, SnapshotListText(history_, version.snapshots));
    row->setData(kPathColumn, kVersionRole, static_cast<int>(i));
    rows.push_back(row);
  }
  list_->addTopLevelItems(rows);
  if (versions_.empty()) {
    summary_->setText(FormatString(ids::kNothingFound, typed.c_str()));
  } else {
    QString text = FormatString(ids::kFoundVersions, static_cast<int>(versions_.size()),
                                static_cast<int>(paths.size()), static_cast<int>(snapshots.size()));
    if (versions_.size() > kMaxRows) {
      text += u' ' + FormatString(ids::kTooManyFound, static_cast<int>(kMaxRows));
    }
    summary_->setText(text);
    list_->setCurrentItem(list_->topLevelItem(0));
  }
  UpdateButtons();
}

const ItemVersion* CFindVersionsDlg::SelectedVersion() const {
  return SelectedRowItem(list_, kPathColumn, kVersionRole, versions_);
}

QString CFindVersionsDlg::TreePathOf(const ItemVersion& version) {
  QString path = ToQString(version.item.path);
  if (path.size() > 1 && path.endsWith(QChar(vaultline::platform::kSeparator))) path.chop(1);
  return path;
}

void CFindVersionsDlg::UpdateButtons() {
  const ItemVersion* version = SelectedVersion();
  const bool file = version != nullptr && version->item.kind == StoredItemKind::kFile;
  viewButton_->setEnabled(file);
  restoreButton_->setEnabled(version != nullptr);
  versionsButton_->setEnabled(file);
}
