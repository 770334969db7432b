#include "CSnapshotView.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>

#include "AppStrings.h"
#include "KeyboardMenu.h"
#include "SnapshotTimeText.h"
#include "resources/ResourceIds.h"

namespace {
constexpr int kIndexRole = Qt::UserRole;
constexpr int kStoredTextRole = Qt::UserRole + 1;  // the engine's text of the row
}  // namespace

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
  setAccessibleName(LoadString(marrowby::ids::kSnapshotListName));
  // The selection, not the current item: a mouse press moves the current item
  // before it selects, and the tree must show the selected snapshot.
  connect(this, &QTreeWidget::itemSelectionChanged, this, &CSnapshotView::snapshotChanged);
  connect(this, &QTreeWidget::itemActivated, this, &CSnapshotView::snapshotActivated);
}

void CSnapshotView::Fill(const std::wstring& selectionName,
                         const std::vector<std::wstring>& snapshots) {
  {
    QSignalBlocker blocker(this);
    clear();
    const QString header = FormatString(marrowby::ids::kSnapshotsHeader, selectionName.c_str());
    setHeaderLabel(header);
    setAccessibleName(header);
    const QLocale locale = DisplayLocale();
    for (size_t i = 0; i < snapshots.size(); ++i) {
      const QString stored = ToQString(snapshots[i]);
      auto* row = new QTreeWidgetItem(QStringList(SnapshotTimeText(stored, locale)));
      row->setData(0, kIndexRole, static_cast<int>(i));
      row->setData(0, kStoredTextRole, stored);
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

void CSnapshotView::keyPressEvent(QKeyEvent* event) {
  if (IsContextMenuKey(event)) {
    OpenKeyboardMenu();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void CSnapshotView::contextMenuEvent(QContextMenuEvent* event) {
  if (event->reason() == QContextMenuEvent::Keyboard) OpenKeyboardMenu();
  event->accept();
}

void CSnapshotView::OpenKeyboardMenu() {
  // As with the mouse, only a row has a menu.
  if (currentItem() == nullptr) return;
  currentItem()->setSelected(true);
  emit contextMenuRequested(marrowby::menu::kSnapshotItem, KeyboardMenuPosition(this));
}
