#include "KeyboardMenu.h"

#include <QAbstractItemView>
#include <QKeyEvent>

bool IsContextMenuKey(const QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  return (event->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
         (event->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier);
}

QPoint KeyboardMenuPosition(const QAbstractItemView* view) {
  const QModelIndex current = view->currentIndex();
  QRect rect = current.isValid() ? view->visualRect(current) : QRect();
  // An item scrolled out of sight would put the menu outside the view.
  rect = rect.intersected(view->viewport()->rect());
  const QPoint local = rect.isEmpty() ? QPoint(0, 0) : QPoint(rect.center().x(), rect.bottom());
  return view->viewport()->mapToGlobal(local);
}
