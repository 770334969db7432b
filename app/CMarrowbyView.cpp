#include "CMarrowbyView.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

#include "AppStrings.h"
#include "CommandIcons.h"
#include "KeyboardMenu.h"
#include "resources/ResourceIds.h"

namespace {

constexpr int kIndexRole = Qt::UserRole;
constexpr int kAgeRole = Qt::UserRole + 1;      // "3 days ago", shown under the name
constexpr int kOverdueRole = Qt::UserRole + 2;  // past the reminder age

// The one local folder a drag carries; empty for anything else.
QString DraggedFolder(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return QString();
  const QUrl url = data->urls().constFirst();
  if (!url.isLocalFile()) return QString();
  const QFileInfo folder(url.toLocalFile());
  return folder.isDir() ? folder.absoluteFilePath() : QString();
}

// Draws each row's backup age under its name, and hands the edited label to
// the view instead of writing it into the row. The editor gets the name alone.
class RenameDelegate : public QStyledItemDelegate {
 public:
  explicit RenameDelegate(CMarrowbyView* view) : QStyledItemDelegate(view), view_(view) {}

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const QString age = index.data(kAgeRole).toString();
    if (age.isEmpty()) return;
    const bool overdue = index.data(kOverdueRole).toBool();
    option->text +=
        QChar(QChar::LineSeparator) + (overdue ? QStringLiteral("\u26a0 ") : QString()) + age;
    if (overdue) option->icon = OverdueSelectionIcon();
  }

 public:
  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line == nullptr || line->text().isEmpty()) return;
    emit view_->renameRequested(index.data(kIndexRole).toInt(), line->text());
  }

 private:
  CMarrowbyView* view_;
};

}  // namespace

CMarrowbyView::CMarrowbyView(QWidget* parent) : QListWidget(parent) {
  setObjectName(QStringLiteral("selectionList"));
  setViewMode(QListView::IconMode);
  setMovement(QListView::Static);
  setResizeMode(QListView::Adjust);
  setWrapping(true);
  setWordWrap(true);
  setIconSize(QSize(32, 32));
  // Room for a name of two lines and the backup age under it.
  setGridSize(QSize(112, 88));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setItemDelegate(new RenameDelegate(this));
  setMinimumSize(1, 1);
  setAccessibleName(LoadString(marrowby::ids::kBackupListHeader));
  // Drops are taken by dropEvent alone: the rows never move.
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  // The selection, not the current item: a mouse press moves the current item
  // before it selects, and the panes must show what is selected.
  connect(this, &QListWidget::itemSelectionChanged, this, &CMarrowbyView::backupSelectionChanged);
  connect(this, &QListWidget::itemActivated, this, &CMarrowbyView::selectionActivated);
}

void CMarrowbyView::Fill(const std::vector<std::wstring>& names) {
  {
    QSignalBlocker blocker(this);
    clear();
    for (size_t i = 0; i < names.size(); ++i) Add(names[i], static_cast<int>(i));
  }
  if (count() > 0) setCurrentRow(0);
}

int CMarrowbyView::Add(const std::wstring& name, int index) {
  auto* row = new QListWidgetItem(SelectionIcon(), ToQString(name), this);
  row->setData(kIndexRole, index);
  row->setFlags(row->flags() | Qt::ItemIsEditable);
  row->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
  return this->row(row);
}

QListWidgetItem* CMarrowbyView::RowOf(int index) const {
  for (int i = 0; i < count(); ++i) {
    if (item(i)->data(kIndexRole).toInt() == index) return item(i);
  }
  return nullptr;
}

void CMarrowbyView::Select(int index) {
  if (QListWidgetItem* row = RowOf(index)) setCurrentItem(row);
}

void CMarrowbyView::Remove(int index) {
  QListWidgetItem* found = RowOf(index);
  if (found == nullptr) return;
  QSignalBlocker blocker(this);
  int position = row(found);
  delete takeItem(position);
  if (count() > 0) setCurrentRow(qMin(position, count() - 1));
}

void CMarrowbyView::SetBackupAge(int index, const QString& age, bool overdue, const QString& tip) {
  QListWidgetItem* row = RowOf(index);
  if (row == nullptr) return;
  if (row->data(kAgeRole).toString() == age && row->data(kOverdueRole).toBool() == overdue) {
    row->setToolTip(tip);
    return;
  }
  row->setData(kAgeRole, age);
  row->setData(kOverdueRole, overdue);
  row->setToolTip(tip);
  // A shorter text leaves a smaller item: the rows are laid out anew and the
  // whole list is painted, or the old text's ends would stay on the screen.
  scheduleDelayedItemsLayout();
  viewport()->update();
}

bool CMarrowbyView::IsOverdue(int index) const {
  const QListWidgetItem* row = RowOf(index);
  return row != nullptr && row->data(kOverdueRole).toBool();
}

QString CMarrowbyView::BackupAge(int index) const {
  const QListWidgetItem* row = RowOf(index);
  return row != nullptr ? row->data(kAgeRole).toString() : QString();
}

void CMarrowbyView::SetText(int index, const std::wstring& name) {
  if (QListWidgetItem* row = RowOf(index)) row->setText(ToQString(name));
}

int CMarrowbyView::Selected(std::wstring* name) const {
  const QList<QListWidgetItem*> rows = selectedItems();
  if (rows.isEmpty()) {
    if (name != nullptr) name->clear();
    return -1;
  }
  if (name != nullptr) *name = FromQString(rows.first()->text());
  return rows.first()->data(kIndexRole).toInt();
}

void CMarrowbyView::BeginRename() {
  setFocus();
  const QList<QListWidgetItem*> rows = selectedItems();
  if (!rows.isEmpty()) editItem(rows.first());
}

void CMarrowbyView::mousePressEvent(QMouseEvent* event) {
  QListWidgetItem* row = itemAt(event->position().toPoint());
  if (event->button() == Qt::RightButton) {
    if (row != nullptr) setCurrentItem(row);
    emit contextMenuRequested(
        row != nullptr ? marrowby::menu::kSelectionItem : marrowby::menu::kSelectionSpace,
        event->globalPosition().toPoint());
    return;
  }
  if (row == nullptr) {
    event->accept();  // empty space keeps the previous selection
    return;
  }
  QListWidget::mousePressEvent(event);
}

void CMarrowbyView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (itemAt(event->position().toPoint()) == nullptr) return;
  QListWidget::mouseDoubleClickEvent(event);
}

void CMarrowbyView::keyPressEvent(QKeyEvent* event) {
  if (state() != QAbstractItemView::EditingState) {
    if (IsContextMenuKey(event)) {
      OpenKeyboardMenu();
      return;
    }
    if (event->key() == Qt::Key_Delete) {
      emit commandRequested(marrowby::cmd::kDeleteSelection);
      return;
    }
    if (event->key() == Qt::Key_F2) {
      BeginRename();
      return;
    }
  }
  QListWidget::keyPressEvent(event);
}

void CMarrowbyView::contextMenuEvent(QContextMenuEvent* event) {
  // Right clicks open their menu on the press; this is the desktop's Menu key.
  if (event->reason() == QContextMenuEvent::Keyboard) OpenKeyboardMenu();
  event->accept();
}

void CMarrowbyView::OpenKeyboardMenu() {
  const bool onRow = currentItem() != nullptr && currentItem()->isSelected();
  emit contextMenuRequested(
      onRow ? marrowby::menu::kSelectionItem : marrowby::menu::kSelectionSpace,
      onRow ? KeyboardMenuPosition(this) : viewport()->mapToGlobal(QPoint(0, 0)));
}

void CMarrowbyView::dragEnterEvent(QDragEnterEvent* event) {
  if (DraggedFolder(event->mimeData()).isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
}

void CMarrowbyView::dragMoveEvent(QDragMoveEvent* event) {
  if (DraggedFolder(event->mimeData()).isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
}

void CMarrowbyView::dropEvent(QDropEvent* event) {
  const QString folder = DraggedFolder(event->mimeData());
  if (folder.isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  emit folderDropped(folder);
}
