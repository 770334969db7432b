// The list of Backup Selections (upper left pane), in icon mode with labels
// edited in place. Each row carries the selection's engine index.
#pragma once

#include <QListWidget>
#include <QString>
#include <string>
#include <vector>

class CMarrowbyView : public QListWidget {
  Q_OBJECT

 public:
  explicit CMarrowbyView(QWidget* parent = nullptr);

  // One row per name, the row's index its position; selects row 0.
  void Fill(const std::vector<std::wstring>& names);
  // Appends a row carrying `index`; returns the row, or -1.
  int Add(const std::wstring& name, int index);
  void Select(int index);
  // Deletes the row carrying `index` and selects the row now at its place
  // (the last row when it was last). Emits no change signal.
  void Remove(int index);
  void SetText(int index, const std::wstring& name);
  // The last backup's age shown under the name of the row carrying `index`;
  // `overdue` marks it (and its icon) as past the reminder age.
  void SetBackupAge(int index, const QString& age, bool overdue, const QString& tip);
  QString BackupAge(int index) const;
  bool IsOverdue(int index) const;
  // Index of the selected row and its text, or -1.
  int Selected(std::wstring* name = nullptr) const;
  void BeginRename();

 signals:
  // The selected row changed (by mouse, keyboard or program), or none is
  // selected any more.
  void backupSelectionChanged();
  void selectionActivated();
  // End of an in-place edit with a non-empty text; the label stays as it was
  // until the main window sets it.
  void renameRequested(int index, const QString& name);
  void commandRequested(unsigned command);
  void contextMenuRequested(unsigned menuId, const QPoint& globalPos);
  // A folder of the computer was dropped on the list.
  void folderDropped(const QString& path);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QListWidgetItem* RowOf(int index) const;
  // The row menu at the current row, or the empty-space menu without one.
  void OpenKeyboardMenu();
};
