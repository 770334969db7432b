// The other creation dialog: a file dialog that picks the source of a new
// Backup Selection, with fields for its path and name and a Create Backup
// Selection button in place of the stock buttons.
#pragma once

#include <QFileDialog>
#include <QString>

#include "dialogs/SelectionFields.h"

class QPushButton;

class CSelectContent : public QFileDialog {
  Q_OBJECT

 public:
  explicit CSelectContent(QWidget* owner);

  // Empties the path and runs the dialog; true for Create Backup Selection
  // with a valid path.
  bool Run();
  QString Path() const { return path_; }
  QString Name() const { return name_; }

  // Checks name and path (messages 175, 146, 149); false keeps it open.
  bool Validate();

 public slots:
  // The stock dialog accepts on a double click on a file; only a valid
  // selection closes it.
  void accept() override;

 private:
  void ReadFields();
  void RefreshFields();
  void OnCurrentChanged(const QString& path);

  QString path_;
  QString name_;
  SelectionFields fields_;
};
