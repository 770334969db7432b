// The path and name of a new Backup Selection: a dialog of its own, or the
// last page of the first-run wizard. It edits the process-wide new-selection
// path and name (SharedPaths.h) and never calls the engine.
#pragma once

#include <QWizardPage>
#include <string>

#include "dialogs/SelectionFields.h"

class QPushButton;

class CCreateProfileDlg : public QWizardPage {
  Q_OBJECT

 public:
  enum class Use { kStandalone, kWizardPage };
  explicit CCreateProfileDlg(Use use, QWidget* parent = nullptr);

  // Standalone: empties the path, shows the dialog modally; true when it was
  // accepted with a path.
  bool Run(QWidget* owner);

  // Checks the typed path (messages 146 and 149) and completes the name;
  // false keeps the dialog open.
  bool Validate();

  bool isComplete() const override;
  bool validatePage() override;

 private:
  void ReadFields();
  void RefreshFields();
  void UpdateButtons();
  void Browse();

  Use use_;
  // The name this dialog filled in from a path; it follows a changed path,
  // a name the user typed does not.
  std::wstring derivedName_;
  SelectionFields fields_;
  QPushButton* okButton_;
};
