// "Compare with now" and "Compare with snapshot…" on a folder: what was
// added, removed and changed below it between the shown snapshot and the
// folder as it is now, or another snapshot. An item a snapshot holds can be
// restored from it, and a changed text file compared side by side.
#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "history/HistorySource.h"
#include "vaultline/ItemHistory.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

class CFolderCompareDlg : public QDialog {
  Q_OBJECT

 public:
  // `folderPath`: the folder as the content tree shows it; `snapshot`: the
  // snapshot shown. `other`: the snapshot to compare with, none for now.
  CFolderCompareDlg(const HistorySource& history, const QString& folderPath, unsigned snapshot,
                    std::optional<unsigned> other, QWidget* owner);

  enum Column { kChangeColumn, kPathColumn, kSizeColumn };
  QTreeWidget* ChangeList() const { return list_; }

 signals:
  void restoreRequested(int snapshot, const QString& treePath);

 private:
  void Compare();
  void UpdateButtons();
  const ItemChange* SelectedChange() const;
  // The snapshot that holds the change's item, the shown one first; none.
  std::optional<unsigned> SnapshotHolding(const ItemChange& change) const;
  void CompareText();

  HistorySource history_;
  QString folderPath_;
  unsigned snapshot_;
  std::optional<unsigned> other_;  // none: the folder as it is now
  std::vector<ItemChange> changes_;
  QComboBox* otherCombo_;
  QLabel* summary_;
  QLabel* problems_;
  QTreeWidget* list_;
  QPushButton* restoreButton_;
  QPushButton* compareButton_;
};
