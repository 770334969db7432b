// The snapshots of the chosen selection (bottom pane), newest first. Each row
// carries the snapshot's index in the engine's list (oldest first).
#pragma once

#include <string>
#include <vector>

#include "MenuTree.h"

class CSnapshotView : public MenuTree {
  Q_OBJECT

 public:
  explicit CSnapshotView(QWidget* parent = nullptr);

  enum Column { kTimeColumn, kFilesColumn, kSizeColumn, kNewDataColumn, kSkippedColumn };

  // Replaces the rows; the engine's last snapshot comes first and is selected.
  // `figures` (GetSnapshotFigures, one text for each snapshot) fills the
  // columns beside the time; without them those stay empty.
  void Fill(const std::wstring& selectionName, const std::vector<std::wstring>& snapshots,
            const std::vector<std::wstring>& figures = {});
  // Index of the selected row and the engine's text of it, or -1.
  int Selected(std::wstring* name = nullptr) const;
  // The selected row as shown (in the user's time format); empty for none.
  QString SelectedText() const;
  void Clear();

 signals:
  // The selected row changed (by mouse, keyboard or program), or none is
  // selected any more.
  void snapshotChanged();
  void snapshotActivated();

 private:
  void ShowFigures(QTreeWidgetItem* row, const std::wstring& figures) const;
};
