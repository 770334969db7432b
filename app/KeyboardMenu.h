// Context menus opened from the keyboard: the Menu key and Shift+F10 open a
// view's menu at its current item, as a right click opens it at the mouse.
#pragma once

#include <QPoint>

class QAbstractItemView;
class QKeyEvent;

bool IsContextMenuKey(const QKeyEvent* event);
// Where a keyboard menu of `view` opens (global): below the middle of the
// current item's text, or the view's top-left corner when no item is current.
QPoint KeyboardMenuPosition(const QAbstractItemView* view);
