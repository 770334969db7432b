#include "CSnapshotView.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <QStyle>

#include "AppStrings.h"
#include "SizeText.h"
#include "SnapshotTimeText.h"
#include "resources/ResourceIds.h"
#include "vaultline/SnapshotFigures.h"

namespace {
constexpr int kIndexRole = Qt::UserRole;
constexpr int kStoredTextRole = Qt::UserRole + 1;  // the engine's text of the row
}  // namespace

CSnapshotView::CSnapshotView(QWidget* parent) : MenuTree(marrowby::menu::kSnapshotItem, parent) {
  setObjectName(QStringLiteral("snapshotList"));
  setColumnCount(5);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  header()->setStretchLastSection(true);
  header()->setSectionsClickable(false);
  for (int column = kTimeColumn; column < kSkippedColumn; ++column) {
    header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  }
  setHeaderLabels(
      {QString(), LoadString(marrowby::ids::kColumnFiles), LoadString(marrowby::ids::kColumnSize),
       LoadString(marrowby::ids::kColumnNewData), LoadString(marrowby::ids::kColumnSkipped)});
  for (int column : {kFilesColumn, kSizeColumn, kNewDataColumn}) {
    headerItem()->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
  }
  setMinimumSize(1, 1);
  setAccessibleName(LoadString(marrowby::ids::kSnapshotListName));
  // The selection, not the current item: a mouse press moves the current item
  // before it selects, and the tree must show the selected snapshot.
  connect(this, &QTreeWidget::itemSelectionChanged, this, &CSnapshotView::snapshotChanged);
  connect(this, &QTreeWidget::itemActivated, this, &CSnapshotView::snapshotActivated);
}

void CSnapshotView::Fill(const std::wstring& selectionName,
                         const std::vector<std::wstring>& snapshots,
                         const std::vector<std::wstring>& figures) {
  {
    QSignalBlocker blocker(this);
    clear();
    const QString header = FormatString(marrowby::ids::kSnapshotsHeader, selectionName.c_str());
    headerItem()->setText(kTimeColumn, header);
    setAccessibleName(header);
    const QLocale locale = DisplayLocale();
    for (size_t i = 0; i < snapshots.size(); ++i) {
      const QString stored = ToQString(snapshots[i]);
      auto* row = new QTreeWidgetItem(QStringList(SnapshotTimeText(stored, locale)));
      row->setData(0, kIndexRole, static_cast<int>(i));
      row->setData(0, kStoredTextRole, stored);
      if (i < figures.size()) ShowFigures(row, figures[i]);
      insertTopLevelItem(0, row);
    }
  }
  if (topLevelItemCount() > 0) setCurrentItem(topLevelItem(0));
}

void CSnapshotView::ShowFigures(QTreeWidgetItem* row, const std::wstring& text) const {
  const SnapshotFigureFields figures = SnapshotFigureFields::Parse(text.c_str());
  // A snapshot whose tree cannot be read has no figures at all: nothing to
  // show beside its time.
  if (!figures.files) return;
  const QLocale locale = DisplayLocale();
  const QString unknown = LoadString(marrowby::ids::kFigureUnknown);
  row->setText(kFilesColumn, locale.toString(static_cast<qlonglong>(*figures.files)));
  row->setText(kSizeColumn, SizeText(*figures.bytes));
  row->setText(kNewDataColumn, figures.newBytes ? SizeText(*figures.newBytes) : unknown);
  for (int column : {kFilesColumn, kSizeColumn, kNewDataColumn}) {
    row->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
  }
  if (figures.changedFiles) {
    const int changed = static_cast<int>(*figures.changedFiles);
    row->setToolTip(kFilesColumn, FormatString(marrowby::ids::kFilesChanged, changed,
                                               static_cast<int>(*figures.files) - changed));
  }
  const std::optional<int64_t> skipped = figures.SkippedTotal();
  if (!skipped) {
    row->setText(kSkippedColumn, unknown);
    row->setToolTip(kSkippedColumn, LoadString(marrowby::ids::kSkippedUnknown));
    return;
  }
  if (*skipped == 0) return;
  row->setText(kSkippedColumn, locale.toString(static_cast<qlonglong>(*skipped)));
  row->setIcon(kSkippedColumn, style()->standardIcon(QStyle::SP_MessageBoxWarning));
  // What was left out, by kind: one line for each kind that occurred.
  static constexpr unsigned kKindTexts[] = {
      marrowby::ids::kSkippedOversize, marrowby::ids::kSkippedPathTooLong,
      marrowby::ids::kSkippedUnreadable, marrowby::ids::kSkippedUnreadFolders};
  QStringList lines(FormatString(marrowby::ids::kSkippedHeading, static_cast<int>(*skipped)));
  for (size_t kind = 0; kind < figures.skipped.size(); ++kind) {
    if (*figures.skipped[kind] > 0) {
      lines << FormatString(kKindTexts[kind], static_cast<int>(*figures.skipped[kind]));
    }
  }
  const QString tip = lines.join(u'\n');
  row->setToolTip(kSkippedColumn, tip);
  row->setData(kSkippedColumn, Qt::AccessibleDescriptionRole, tip);
}

int CSnapshotView::Selected(std::wstring* name) const {
  const QList<QTreeWidgetItem*> rows = selectedItems();
  if (rows.isEmpty()) {
    if (name != nullptr) name->clear();
    return -1;
  }
  if (name != nullptr) *name = FromQString(rows.first()->data(0, kStoredTextRole).toString());
  return rows.first()->data(0, kIndexRole).toInt();
}

QString CSnapshotView::SelectedText() const {
  const QList<QTreeWidgetItem*> rows = selectedItems();
  return rows.isEmpty() ? QString() : rows.first()->text(0);
}

void CSnapshotView::Clear() {
  QSignalBlocker blocker(this);
  clear();
  setAccessibleName(LoadString(marrowby::ids::kSnapshotListName));
}
