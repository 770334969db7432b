// "Versions of this file…": each distinct version of one file across the
// selection's snapshots, with the snapshots that hold it, its size and its
// modification time. A version can be viewed, restored, or compared with
// another version or with the file as it is now.
#pragma once

#include <QDialog>
#include <vector>

#include "history/HistorySource.h"
#include "vaultline/ItemHistory.h"

class QLabel;
class QPushButton;
class QTreeWidget;

class CFileVersionsDlg : public QDialog {
  Q_OBJECT

 public:
  // `treePath`: the file's path as the content tree shows it.
  CFileVersionsDlg(const HistorySource& history, const QString& treePath, QWidget* owner);

  enum Column { kSnapshotsColumn, kSizeColumn, kModifiedColumn };
  QTreeWidget* VersionList() const { return list_; }

 signals:
  // The version held by snapshot `snapshot` is to be restored or viewed.
  void restoreRequested(int snapshot, const QString& treePath);
  void viewRequested(int snapshot, const QString& treePath);

 private:
  void Load();
  void UpdateButtons();
  // The versions of the selected rows, oldest first.
  std::vector<const ItemVersion*> SelectedVersions() const;
  void CompareSelected();
  void CompareWithNow();
  // Reads the version for a comparison; false (after saying why) when it
  // cannot be read or is too large.
  bool ReadVersion(const ItemVersion& version, QByteArray* contents);

  HistorySource history_;
  QString treePath_;
  std::vector<ItemVersion> versions_;
  QLabel* intro_;
  QLabel* problems_;
  QTreeWidget* list_;
  QPushButton* viewButton_;
  QPushButton* restoreButton_;
  QPushButton* compareButton_;
  QPushButton* compareNowButton_;
};
