// Asks where a restore writes and what it does with files already there.
// Names the snapshot and the item; offers the item's original folder or
// another one (by default a new folder named after the selection and the
// snapshot's time). Edits the process-wide default restore destination
// (SharedPaths.h); the folder need not exist yet.
#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class CRestorePath : public QDialog {
  Q_OBJECT

 public:
  // What is restored, shown as it is; the folder it came from and the folder
  // proposed instead of it.
  struct Request {
    QString snapshot;
    QString item;
    std::wstring originalFolder;
    std::wstring otherFolder;
  };

  // Empties the default restore destination.
  explicit CRestorePath(QWidget* owner, const Request& request = {});

  // True when accepted with a non-empty destination.
  bool Run();
  // The RestoreConflictRule chosen for files already at the destination.
  int ConflictRule() const;

 private:
  void ReadField();
  void RefreshField();
  void Browse();
  void UpdateChoice();

  Request request_;
  QRadioButton* originalButton_;
  QRadioButton* otherButton_;
  QLineEdit* destinationEdit_;
  QPushButton* browseButton_;
  QComboBox* conflictCombo_;
  QPushButton* okButton_;
};
