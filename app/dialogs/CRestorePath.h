// Asks for the folder a restore writes into. Edits the process-wide default
// restore destination (SharedPaths.h); the folder need not exist yet.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

class CRestorePath : public QDialog {
  Q_OBJECT

 public:
  // Empties the default restore destination; the caller sets it before Run.
  explicit CRestorePath(QWidget* owner);

  // True when accepted with a non-empty destination.
  bool Run();

 private:
  void ReadField();
  void RefreshField();
  void Browse();

  QLineEdit* destinationEdit_;
  QPushButton* okButton_;
};
