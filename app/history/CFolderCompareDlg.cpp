#include "history/CFolderCompareDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "AppStrings.h"
#include "MessageBox.h"
#include "ScreenScale.h"
#include "SizeText.h"
#include "history/CTextCompareDlg.h"
#include "history/HistoryDialogParts.h"
#include "history/StoredFileContents.h"
#include "resources/ResourceIds.h"
#include "vaultline/Path.h"

using namespace marrowby;

namespace {

constexpr int kChangeRole = Qt::UserRole;
constexpr int kNow = -1;

const QChar kSeparator(vaultline::platform::kSeparator);

QString WithoutTrailingSeparator(QString path) {
  if (path.size() > 1 && path.endsWith(kSeparator)) path.chop(1);
  return path;
}

const StoredItem& ItemOf(const ItemChange& change) {
  return change.after ? *change.after : *change.before;
}

// "Changed: contents, time" and the like.
QString ChangeText(const ItemChange& change) {
  if (change.what & ItemChange::kAdded) return LoadString(ids::kChangeAdded);
  if (change.what & ItemChange::kRemoved) return LoadString(ids::kChangeRemoved);
  static constexpr std::pair<unsigned, unsigned> kParts[] = {
      {ItemChange::kType, ids::kChangedType},
      {ItemChange::kContents, ids::kChangedContents},
      {ItemChange::kMode, ids::kChangedMode},
      {ItemChange::kOwner, ids::kChangedOwner},
      {ItemChange::kTime, ids::kChangedTime},
      {ItemChange::kLinkTarget, ids::kChangedLink},
      {ItemChange::kAttributes, ids::kChangedAttributes}};
  QStringList parts;
  for (const auto& [bit, text] : kParts) {
    if (change.what & bit) parts << LoadString(text);
  }
  const std::wstring list = FromQString(parts.join(QStringLiteral(", ")));
  return FormatString(ids::kChangeChanged, list.c_str());
}

QString SizeOf(const std::optional<StoredItem>& item) {
  return item && item->kind == StoredItemKind::kFile ? SizeText(item->size) : QString();
}

}  // namespace

CFolderCompareDlg::CFolderCompareDlg(const HistorySource& history, const QString& folderPath,
                                     unsigned snapshot, std::optional<unsigned> other,
                                     QWidget* owner)
    : QDialog(owner),
      history_(history),
      folderPath_(folderPath),
      snapshot_(snapshot),
      other_(other) {
  setObjectName(QStringLiteral("folderCompareDialog"));
  const std::wstring folder = FromQString(folderPath);
  setWindowTitle(FormatString(ids::kFolderCompareCaption, folder.c_str()));
  const std::wstring shown = FromQString(history.SnapshotText(snapshot));
  auto* withLabel = new QLabel(FormatString(ids::kCompareWithLabel, shown.c_str()));
  otherCombo_ = new QComboBox;
  otherCombo_->setObjectName(QStringLiteral("compareWithComboBox"));
  otherCombo_->addItem(LoadString(ids::kNowChoice), kNow);
  // Newest first, as the snapshot list shows them.
  for (size_t i = history.snapshots.size(); i-- > 0;) {
    if (i != snapshot)
      otherCombo_->addItem(history.SnapshotText(static_cast<unsigned>(i)), static_cast<int>(i));
  }
  otherCombo_->setCurrentIndex(otherCombo_->findData(other ? static_cast<int>(*other) : kNow));
  withLabel->setBuddy(otherCombo_);
  summary_ = SummaryLabel(QStringLiteral("compareSummaryLabel"));
  list_ = HistoryList(
      QStringLiteral("changeList"),
      {LoadString(ids::kColumnChange), LoadString(ids::kColumnPath), LoadString(ids::kColumnSize)},
      kPathColumn, kSizeColumn);
  problems_ = ProblemsLabel();
  restoreButton_ = CommandButton(ids::kRestoreButton, QStringLiteral("restoreButton"));
  compareButton_ = CommandButton(ids::kCompareTextButton, QStringLiteral("compareButton"));
  QDialogButtonBox* close = CloseButtonBox();

  auto* with = new QHBoxLayout;
  with->addWidget(withLabel);
  with->addWidget(otherCombo_, 1);
  LayOutHistoryWindow(this, with, summary_, list_, problems_,
                      ActionRow({restoreButton_, compareButton_}, close));
  resize(Scaled(this, QSize(820, 460)));

  connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(otherCombo_, &QComboBox::currentIndexChanged, this, [this] {
    const int chosen = otherCombo_->currentData().toInt();
    other_ = chosen == kNow ? std::nullopt : std::optional<unsigned>(static_cast<unsigned>(chosen));
    Compare();
  });
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &CFolderCompareDlg::UpdateButtons);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
    if (compareButton_->isEnabled()) compareButton_->click();
  });
  connect(restoreButton_, &QPushButton::clicked, this, [this] {
    const ItemChange* change = SelectedChange();
    if (change == nullptr) return;
    if (const std::optional<unsigned> from = SnapshotHolding(*change)) {
      emit restoreRequested(static_cast<int>(*from),
                            WithoutTrailingSeparator(ToQString(ItemOf(*change).path)));
    }
  });
  connect(compareButton_, &QPushButton::clicked, this, &CFolderCompareDlg::CompareText);
  Compare();
}

void CFolderCompareDlg::Compare() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  list_->clear();
  changes_.clear();
  std::vector<ItemChange> all;
  std::vector<std::wstring> problems;
  bool read = false;
  if (other_) {
    read = DiffSnapshots(history_.engine, history_.profile, std::min(snapshot_, *other_),
                         std::max(snapshot_, *other_), &all, &problems);
  } else {
    read = DiffWithFolder(history_.engine, history_.profile, snapshot_, history_.source, &all,
                          &problems);
  }
  ShowProblems(problems_, problems, read);
  // Only what lies below the folder; the folder itself is what is compared.
  const QString below = folderPath_ + kSeparator;
  int added = 0;
  int removed = 0;
  int changed = 0;
  QList<QTreeWidgetItem*> rows;
  for (ItemChange& change : all) {
    const QString path = ToQString(ItemOf(change).path);
    if (!path.startsWith(below) || path == below) continue;
    (change.what & ItemChange::kAdded)     ? ++added
    : (change.what & ItemChange::kRemoved) ? ++removed
                                           : ++changed;
    auto* row = new QTreeWidgetItem;
    row->setText(kChangeColumn, ChangeText(change));
    // Dark enough to read on any light list; a change keeps the text colour.
    if (change.what & ItemChange::kAdded)
      row->setForeground(kChangeColumn, QColor(0x1a, 0x6b, 0x1a));
    if (change.what & ItemChange::kRemoved)
      row->setForeground(kChangeColumn, QColor(0xa4, 0x00, 0x0f));
    row->setText(kPathColumn, path.mid(below.size()));
    QString size = SizeOf(change.before);
    const QString after = SizeOf(change.after);
    if (change.before && change.after && size != after) {
      size += QStringLiteral(" \u2192 ") + after;
    } else if (size.isEmpty()) {
      size = after;
    }
    row->setText(kSizeColumn, size);
    row->setTextAlignment(kSizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    row->setData(kChangeColumn, kChangeRole, static_cast<int>(changes_.size()));
    changes_.push_back(std::move(change));
    rows.push_back(row);
  }
  list_->addTopLevelItems(rows);
  summary_->setText(changes_.empty() ? LoadString(ids::kNoChanges)
                                     : FormatString(ids::kChangeCounts, added, removed, changed));
  if (!rows.isEmpty()) list_->setCurrentItem(rows.front());
  UpdateButtons();
  QApplication::restoreOverrideCursor();
}

const ItemChange* CFolderCompareDlg::SelectedChange() const {
  return SelectedRowItem(list_, kChangeColumn, kChangeRole, changes_);
}

std::optional<unsigned> CFolderCompareDlg::SnapshotHolding(const ItemChange& change) const {
  // The older side is `before`: the shown snapshot against now, else the
  // older of the two snapshots.
  const bool shownIsOlder = !other_ || snapshot_ < *other_;
  const std::optional<StoredItem>& shown = shownIsOlder ? change.before : change.after;
  const std::optional<StoredItem>& otherSide = shownIsOlder ? change.after : change.before;
  if (shown) return snapshot_;
  if (otherSide && other_) return *other_;
  return std::nullopt;
}

void CFolderCompareDlg::UpdateButtons() {
  const ItemChange* change = SelectedChange();
  restoreButton_->setEnabled(change != nullptr && SnapshotHolding(*change).has_value());
  compareButton_->setEnabled(change != nullptr && (change->what & ItemChange::kContents) &&
                             change->before && change->after &&
                             change->before->kind == StoredItemKind::kFile &&
                             change->after->kind == StoredItemKind::kFile);
}

void CFolderCompareDlg::CompareText() {
  const ItemChange* change = SelectedChange();
  if (change == nullptr || !change->before || !change->after) return;
  const QString treePath = ToQString(change->after->path);
  const unsigned older = other_ ? std::min(snapshot_, *other_) : snapshot_;
  CTextCompareDlg::Side left{history_.SnapshotText(older), {}};
  CTextCompareDlg::Side right{
      other_ ? history_.SnapshotText(std::max(snapshot_, *other_)) : LoadString(ids::kNowSide), {}};
  QString problem;
  const int64_t largest = std::max(change->before->size, change->after->size);
  if (largest > kMaxCompareBytes) {
    const std::wstring limit = FromQString(SizeText(kMaxCompareBytes));
    const std::wstring when = FromQString(left.title);
    MessageBox::Show(this, FormatString(ids::kTooLargeToCompare, when.c_str(), limit.c_str()),
                     QMessageBox::Warning);
    return;
  }
  bool read =
      ReadStoredFile(history_.engine, history_.profile, older, treePath, &left.contents, &problem);
  if (read && other_) {
    read = ReadStoredFile(history_.engine, history_.profile, std::max(snapshot_, *other_), treePath,
                          &right.contents, &problem);
  } else if (read) {
    QFile now(ToQString(history_.NowPath(FromQString(treePath))));
    read = now.open(QIODevice::ReadOnly);
    if (read) right.contents = now.readAll();
  }
  if (!read) {
    const std::wstring path = FromQString(treePath);
    const std::wstring why = FromQString(problem);
    MessageBox::Show(this, FormatString(ids::kCompareUnreadable, path.c_str(), why.c_str()),
                     QMessageBox::Warning);
    return;
  }
  CTextCompareDlg compare(treePath, left, right, this);
  compare.exec();
}
