// The two backup limits: the backup capacity, typed in MB or GB or set as a
// share of the drive, and the largest file a backup takes. A dialog of its own (Preferences) and
// the second page of the first-run wizard, so both always show the same thing. It never calls the
// engine; the caller reads the limits after Save.
#pragma once

#include <QWizardPage>
#include <cstdint>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class QSpinBox;

class CPreferenceDlg : public QWizardPage {
  Q_OBJECT

 public:
  enum class Use { kStandalone, kWizardPage };

  // Measures the drive that holds `driveRoot`; a failure is shown in a
  // message box and leaves the drive figures at 0.
  CPreferenceDlg(const std::wstring& driveRoot, Use use, QWidget* parent = nullptr);

  void SetBackupSizeLimit(int64_t bytes) { backupSizeLimit_ = bytes; }
  void SetMaxFileSize(int64_t bytes) { maxFileSize_ = bytes; }
  // Replaces the measured drive total (a configured total).
  void SetDriveTotal(int64_t bytes) { driveTotal_ = bytes; }
  int64_t BackupSizeLimit() const { return backupSizeLimit_; }
  int64_t MaxFileSize() const { return maxFileSize_; }
  int64_t DriveTotal() const { return driveTotal_; }
  // Days after which an unsaved selection is marked; 0: never. Shown only
  // in the dialog of its own, not in the wizard.
  void SetReminderDays(int days) { reminderDays_ = days; }
  int ReminderDays() const { return reminderDays_; }

  // "Back up when this drive is plugged into this computer", in the dialog of
  // its own only. `note` says what is installed where, or why the choice is
  // not available (then the box cannot be ticked).
  void SetPluggedInBackup(bool on, bool available, const QString& note);
  bool PluggedInBackup() const { return pluggedInBackup_; }

  // Standalone: shows the limits modally; true after Save.
  bool Run(QWidget* owner);

  void initializePage() override;
  bool validatePage() override;

 private:
  void Open();
  void ShowFields();
  void OnSliderMoved(int position);
  // The user typed a capacity in the unit shown.
  void OnCapacityEdited(const QString& text);
  int CapacityShift() const;
  void OnLimitFilesClicked();
  void EnableFileSizeControls();
  void Save();

  Use use_;
  int64_t backupSizeLimit_ = 0;
  int64_t capacityBytes_ = 0;  // exact: a quota set elsewhere survives Save unchanged
  int64_t maxFileSize_ = 0;
  int64_t driveTotal_ = 0;
  int64_t driveFree_ = 0;
  int sliderPosition_ = 0;
  int reminderDays_ = 0;
  bool pluggedInBackup_ = false;

  QLabel* introLabel_;
  QSlider* slider_;
  QLabel* sliderPercentLabel_;
  QLineEdit* capacityEdit_;
  QComboBox* capacityUnitComboBox_;
  QCheckBox* limitFilesCheckBox_;
  QSpinBox* fileSizeSpinBox_;
  QComboBox* unitComboBox_;
  QLineEdit* freeSpaceEdit_;
  QLabel* freePercentLabel_;
  QSpinBox* reminderDaysSpinBox_;
  QCheckBox* pluggedInBackupCheckBox_;
  QLabel* pluggedInBackupNote_;
};
