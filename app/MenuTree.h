// A tree whose rows have a context menu of the resource module: a right click
// on a row opens it there, the Menu key at the current row; clicks outside
// the rows change nothing.
#pragma once

#include <QTreeWidget>

class MenuTree : public QTreeWidget {
  Q_OBJECT

 public:
  MenuTree(unsigned rowMenu, QWidget* parent);

 signals:
  void contextMenuRequested(unsigned menuId, const QPoint& globalPos);

 protected:
  // A left double click on a row; nothing by default.
  virtual void RowDoubleClicked() {}
  // Return or Enter; true when the tree took it as its own command (the
  // default leaves the key to the tree).
  virtual bool RowEntered() { return false; }

  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void OpenKeyboardMenu();

  unsigned rowMenu_;
};
