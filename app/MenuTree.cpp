#include "MenuTree.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include "KeyboardMenu.h"

MenuTree::MenuTree(unsigned rowMenu, QWidget* parent) : QTreeWidget(parent), rowMenu_(rowMenu) {}

void MenuTree::mousePressEvent(QMouseEvent* event) {
  QTreeWidgetItem* row = itemAt(event->position().toPoint());
  if (row == nullptr) {
    event->accept();  // a click outside the rows keeps the selection
    return;
  }
  if (event->button() == Qt::RightButton) {
    setCurrentItem(row);
    emit contextMenuRequested(rowMenu_, event->globalPosition().toPoint());
    return;
  }
  QTreeWidget::mousePressEvent(event);
}

void MenuTree::mouseDoubleClickEvent(QMouseEvent* event) {
  if (itemAt(event->position().toPoint()) == nullptr) return;
  QTreeWidget::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) RowDoubleClicked();
}

void MenuTree::keyPressEvent(QKeyEvent* event) {
  if (IsContextMenuKey(event)) {
    OpenKeyboardMenu();
    return;
  }
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && RowEntered()) return;
  QTreeWidget::keyPressEvent(event);
}

void MenuTree::contextMenuEvent(QContextMenuEvent* event) {
  // Right clicks open their menu on the press; this is the Menu key.
  if (event->reason() == QContextMenuEvent::Keyboard) OpenKeyboardMenu();
  event->accept();
}

void MenuTree::OpenKeyboardMenu() {
  // As with the mouse, only a row has a menu.
  if (currentItem() == nullptr) return;
  currentItem()->setSelected(true);
  emit contextMenuRequested(rowMenu_, KeyboardMenuPosition(this));
}
