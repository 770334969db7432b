// "Find in all snapshots": each distinct version of each item whose name
// matches, across every snapshot of the selection, with its size, its time
// and the snapshots that hold it. A version can be viewed or restored, and a
// file's versions opened.
#pragma once

#include <QDialog>
#include <vector>

#include "history/HistorySource.h"
#include "vaultline/ItemHistory.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

class CFindVersionsDlg : public QDialog {
  Q_OBJECT

 public:
  // Searches at once when `typed` is not empty.
  CFindVersionsDlg(const HistorySource& history, const QString& typed, QWidget* owner);

  enum Column { kPathColumn, kSizeColumn, kModifiedColumn, kSnapshotsColumn };
  // At most this many versions are listed.
  static constexpr size_t kMaxRows = 5000;

 signals:
  void restoreRequested(int snapshot, const QString& treePath);
  void viewRequested(int snapshot, const QString& treePath);

 private:
  void Find();
  void UpdateButtons();
  const ItemVersion* SelectedVersion() const;
  // The tree path of a version: folders without their last separator.
  static QString TreePathOf(const ItemVersion& version);
  void ShowVersions();

  HistorySource history_;
  std::vector<ItemVersion> versions_;
  QLineEdit* patternEdit_;
  QLabel* summary_;
  QLabel* problems_;
  QTreeWidget* list_;
  QPushButton* viewButton_;
  QPushButton* restoreButton_;
  QPushButton* versionsButton_;
};
