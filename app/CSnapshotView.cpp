#include "CSnapshotView.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QSignalBlocker>

#include "AppStrings.h"
#include "resources/ResourceIds.h"

namespace {
constexpr int kIndexRole = Qt::UserRole;
}

CSnapshotView::CSnapshotView(QWidget* parent) : QTreeWidget(parent) {
  setObjectName(QStringLiteral("snapshotList"));
  setColumnCount(1);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  header()->setStretchLastSection(true);
  header()->setSectionsClickable(false);
  setHeaderLabel(QString());
  setMinimumSize(1, 1);
  connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
    if (current != nullptr) emit snapshotChanged();
  });
  connect(this, &QTreeWidget::itemActivated, this, &CSnapshotView::snapshotActivated);
}

void CSnapshotView::Fill(const std::wstring& selectionName,
                         const std::vector<std::wstring>& snapshots) {
  {
    QSignalBlocker blocker(this);
    clear();
    setHeaderLabel(FormatString(marrowby::ids::kSnapshotsHeader, selectionName.c_str()));
    for (size_t i = 0; i < snapshots.size(); ++i) {
      auto* row = new QTreeWidgetItem(QStringList(ToQString(snapshots[i])));
      row->setData(0, kIndexRole, static_cast<int>(i));
      insertTopLevelItem(0, row);
    }
  }
  if (topLevelItemCount() > 0) setCurrentItem(topLevelItem(0));
}

int CSnapshotView::Selected(std::wstring* name) const {
  const QList<QTreeWidgetItem*> rows = selectedItems();
  if (rows.isEmpty()) {
    if (name != nullptr) name->clear();
    return -1;
  }
  if (name != nullptr) *name = FromQString(rows.first()->text(0));
  return rows.first()->data(0, kIndexRole).toInt();
}

void CSnapshotView::Clear() {
  QSignalBlocker blocker(this);
  clear();
}

void CSnapshotView::mousePressEvent(QMouseEvent* event) {
  QTreeWidgetItem* row = itemAt(event->position().toPoint());
  if (row == nullptr) {
    event->accept();  // clicks outside the rows change nothing
    return;
  }
  if (event->button() == Qt::RightButton) {
    setCurrentItem(row);
    emit contextMenuRequested(marrowby::menu::kSnapshotItem, event->globalPosition().toPoint());
    return;
  }
  QTreeWidget::mousePressEvent(event);
}

void CSnapshotView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (itemAt(event->position().toPoint()) == nullptr) return;
  QTreeWidget::mouseDoubleClickEvent(event);
}
