#include "dialogs/CPreferenceDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "AppStrings.h"
#include "MessageBox.h"
#include "ScreenScale.h"
#include "SnapshotTimeText.h"
#include "dialogs/PageDialog.h"
#include "dialogs/PictureFrame.h"
#include "resources/ResourceIds.h"
#include "vaultline/Path.h"

using namespace marrowby;

namespace {

QString Text(unsigned control) {
  return DialogString(dlg::kPreferences, control);
}

enum Unit { kKilobytes = 0, kMegabytes = 1 };
constexpr int kUnitShift[] = {10, 20};
enum CapacityUnit { kCapacityMegabytes = 0, kCapacityGigabytes = 1 };
constexpr int kCapacityShift[] = {20, 30};

// Numbers as the language in use writes them, without group separators so
// that what is shown can be typed back.
QLocale NumberLocale() {
  QLocale locale = DisplayLocale();
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  return locale;
}

}  // namespace

CPreferenceDlg::CPreferenceDlg(const std::wstring& driveRoot, Use use, QWidget* parent)
    : QWizardPage(parent), use_(use) {
  setObjectName(QStringLiteral("preferencesPage"));
  if (use == Use::kWizardPage) setTitle(Text(dlg::kCaption));

  introLabel_ = new QLabel(Text(preferences_dlg::kIntroText));
  introLabel_->setObjectName(QStringLiteral("introLabel"));
  introLabel_->setWordWrap(true);

  slider_ = new QSlider(Qt::Horizontal);
  slider_->setObjectName(QStringLiteral("capacitySlider"));
  slider_->setRange(0, 100);
  slider_->setTickPosition(QSlider::TicksBelow);
  slider_->setTickInterval(10);
  sliderPercentLabel_ = new QLabel(Text(preferences_dlg::kSliderPercent));
  sliderPercentLabel_->setObjectName(QStringLiteral("sliderPercentLabel"));
  sliderPercentLabel_->setMinimumWidth(50);
  capacityEdit_ = new QLineEdit;
  capacityEdit_->setObjectName(QStringLiteral("capacityLineEdit"));
  capacityEdit_->setPlaceholderText(LoadString(ids::kNoCapacityLimit));
  capacityUnitComboBox_ = new QComboBox;
  capacityUnitComboBox_->setObjectName(QStringLiteral("capacityUnitComboBox"));
  capacityUnitComboBox_->addItem(Text(preferences_dlg::kCapacityUnit), kCapacityMegabytes);
  capacityUnitComboBox_->addItem(LoadString(ids::kGigabytesUnit), kCapacityGigabytes);
  limitFilesCheckBox_ = new QCheckBox(Text(preferences_dlg::kLimitFilesCheck));
  limitFilesCheckBox_->setObjectName(QStringLiteral("limitFilesCheckBox"));
  fileSizeSpinBox_ = new QSpinBox;
  fileSizeSpinBox_->setObjectName(QStringLiteral("fileSizeSpinBox"));
  fileSizeSpinBox_->setRange(0, INT_MAX);
  unitComboBox_ = new QComboBox;
  unitComboBox_->setObjectName(QStringLiteral("fileSizeUnitComboBox"));
  unitComboBox_->addItem(Text(preferences_dlg::kUnitKb), kKilobytes);
  unitComboBox_->addItem(Text(preferences_dlg::kUnitMb), kMegabytes);
  freeSpaceEdit_ = new QLineEdit;
  freeSpaceEdit_->setObjectName(QStringLiteral("freeSpaceLineEdit"));
  freeSpaceEdit_->setReadOnly(true);
  freePercentLabel_ = new QLabel(Text(preferences_dlg::kFreePercent));
  freePercentLabel_->setObjectName(QStringLiteral("freePercentLabel"));

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(Text(preferences_dlg::kSliderLabel)), 0, 0, 1, 3);
  grid->addWidget(slider_, 1, 0, 1, 2);
  grid->addWidget(sliderPercentLabel_, 1, 2);
  grid->addWidget(new QLabel(Text(preferences_dlg::kCapacityLabel)), 2, 0);
  grid->addWidget(capacityEdit_, 2, 1);
  grid->addWidget(capacityUnitComboBox_, 2, 2);
  grid->addWidget(limitFilesCheckBox_, 3, 0, 1, 3);
  grid->addWidget(fileSizeSpinBox_, 4, 1);
  grid->addWidget(unitComboBox_, 4, 2);
  grid->addWidget(new QLabel(Text(preferences_dlg::kFreeSpaceLabel)), 5, 0);
  grid->addWidget(freeSpaceEdit_, 5, 1);
  auto* freeUnit = new QHBoxLayout;
  freeUnit->addWidget(new QLabel(Text(preferences_dlg::kFreeSpaceUnit)));
  freeUnit->addWidget(freePercentLabel_);
  grid->addLayout(freeUnit, 5, 2);
  reminderDaysSpinBox_ = new QSpinBox;
  reminderDaysSpinBox_->setObjectName(QStringLiteral("reminderDaysSpinBox"));
  reminderDaysSpinBox_->setRange(0, 365);
  reminderDaysSpinBox_->setSpecialValueText(LoadString(ids::kReminderOff));
  if (use == Use::kStandalone) {
    auto* reminderLabel = new QLabel(LoadString(ids::kReminderLabel));
    reminderLabel->setWordWrap(true);
    reminderLabel->setBuddy(reminderDaysSpinBox_);
    grid->addWidget(reminderLabel, 6, 0, 1, 3);
    grid->addWidget(reminderDaysSpinBox_, 7, 1);
    auto* unit = new QLabel;  // the box starts at 0, "never"
    unit->setObjectName(QStringLiteral("reminderDaysUnit"));
    grid->addWidget(unit, 7, 2);
    // "never", not "never days".
    connect(reminderDaysSpinBox_, &QSpinBox::valueChanged, unit, [unit](int days) {
      unit->setText(days == 0 ? QString() : LoadString(ids::kReminderDaysUnit));
    });
  } else {
    reminderDaysSpinBox_->hide();
  }
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(8, 1);

  pluggedInBackupCheckBox_ = new QCheckBox(LoadString(ids::kAutoBackupCheck));
  pluggedInBackupCheckBox_->setObjectName(QStringLiteral("pluggedInBackupCheckBox"));
  pluggedInBackupNote_ = new QLabel;
  pluggedInBackupNote_->setObjectName(QStringLiteral("pluggedInBackupNote"));
  pluggedInBackupNote_->setWordWrap(true);
  pluggedInBackupNote_->setTextFormat(Qt::PlainText);
  pluggedInBackupNote_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  pluggedInBackupNote_->setIndent(Scaled(this, 20));
  pluggedInBackupNote_->setEnabled(false);  // the quieter look of a remark
  // This computer's choice, not the drive's: the wizard on a first start has
  // no place for it.
  pluggedInBackupCheckBox_->setVisible(use == Use::kStandalone);
  pluggedInBackupNote_->setVisible(use == Use::kStandalone);

  auto* fields = new QVBoxLayout;
  fields->addWidget(introLabel_);
  fields->addLayout(grid, 1);
  fields->addWidget(pluggedInBackupCheckBox_);
  fields->addWidget(pluggedInBackupNote_);
  auto* body = new QHBoxLayout;
  body->addWidget(new PictureFrame(PictureFrame::Picture::kWelcome), 0, Qt::AlignTop);
  body->addLayout(fields, 1);

  const PageButtons buttons =
      AddPageButtons(this, use == Use::kWizardPage, Text(dlg::kOk), QStringLiteral("saveButton"),
                     Text(dlg::kCancel), [this] {
                       Save();
                       return true;
                     });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body, 1);
  layout->addLayout(buttons.row);

  connect(slider_, &QSlider::valueChanged, this, &CPreferenceDlg::OnSliderMoved);
  connect(capacityEdit_, &QLineEdit::textEdited, this, &CPreferenceDlg::OnCapacityEdited);
  connect(capacityUnitComboBox_, &QComboBox::currentIndexChanged, this,
          &CPreferenceDlg::ShowFields);
  connect(limitFilesCheckBox_, &QCheckBox::clicked, this, &CPreferenceDlg::OnLimitFilesClicked);

  uint64_t freeBytes = 0;
  uint64_t totalBytes = 0;
  int error = 0;
  if (vaultline::platform::DiskSpace(driveRoot, &freeBytes, &totalBytes, &error)) {
    driveFree_ = static_cast<int64_t>(freeBytes);
    driveTotal_ = static_cast<int64_t>(totalBytes);
  } else {
    MessageBox::Show(parent, ToQString(vaultline::platform::SystemErrorText(error)),
                     QMessageBox::Critical);
  }
}

bool CPreferenceDlg::Run(QWidget* owner) {
  Open();
  return RunPageAsDialog(this, owner, Text(dlg::kCaption));
}

void CPreferenceDlg::initializePage() {
  Open();
  introLabel_->setText(LoadString(ids::kPreferencesIntro));
}

bool CPreferenceDlg::validatePage() {
  Save();
  return true;
}

void CPreferenceDlg::Open() {
  const bool megabytes = maxFileSize_ != 0 && maxFileSize_ % (int64_t{1} << 20) == 0;
  unitComboBox_->setCurrentIndex(megabytes ? kMegabytes : kKilobytes);
  limitFilesCheckBox_->setChecked(maxFileSize_ != 0);
  // The spin box holds the whole value; the 16-bit up-down position of old
  // would cut sizes above 65535.
  const int64_t value =
      maxFileSize_ > 0 ? maxFileSize_ >> kUnitShift[unitComboBox_->currentIndex()] : 0;
  fileSizeSpinBox_->setValue(static_cast<int>(std::min<int64_t>(value, INT_MAX)));

  capacityBytes_ = backupSizeLimit_;
  // Without a drive total there is no share to show: 0 % and no slider.
  sliderPosition_ = driveTotal_ > 0 ? static_cast<int>(static_cast<double>(capacityBytes_) * 100.0 /
                                                           static_cast<double>(driveTotal_) +
                                                       0.5)
                                    : 0;
  const int64_t driveTotalMb = driveTotal_ >> 20;
  slider_->setEnabled(driveTotalMb > 0);
  {
    const QSignalBlocker blocker(slider_);
    slider_->setValue(sliderPosition_);
  }
  // As at the slider's first drawing: a limit beyond the drive is pulled back
  // to the drive's size.
  OnSliderMoved(slider_->value());

  // A configured total may be smaller than what the drive has free.
  const uint64_t percent =
      driveTotal_ > 0
          ? std::min<uint64_t>(
                static_cast<uint64_t>(driveFree_) * 100 / static_cast<uint64_t>(driveTotal_), 100)
          : 0;
  freePercentLabel_->setText(
      ToQString(vaultline::platform::FormatWide(L"(%u %%)", static_cast<unsigned>(percent))));
  freeSpaceEdit_->setText(QString::number(static_cast<uint32_t>(driveFree_ >> 20)));
  ShowFields();
  EnableFileSizeControls();
  reminderDaysSpinBox_->setValue(reminderDays_);
}

int CPreferenceDlg::CapacityShift() const {
  return kCapacityShift[std::max(capacityUnitComboBox_->currentIndex(), 0)];
}

void CPreferenceDlg::ShowFields() {
  // 0 is no limit: the field stays empty and says so.
  if (capacityBytes_ <= 0) {
    capacityEdit_->clear();
    return;
  }
  const int shift = CapacityShift();
  const int64_t unit = int64_t{1} << shift;
  capacityEdit_->setText(
      capacityBytes_ % unit == 0
          ? QString::number(capacityBytes_ >> shift)
          : NumberLocale().toString(static_cast<double>(capacityBytes_) / static_cast<double>(unit),
                                    'f', 2));
}

void CPreferenceDlg::OnSliderMoved(int position) {
  sliderPercentLabel_->setText(ToQString(vaultline::platform::FormatWide(L"%d %%", position)));
  if (position == sliderPosition_) return;
  const uint64_t driveTotalMb = static_cast<uint64_t>(driveTotal_ >> 20);
  capacityBytes_ = static_cast<int64_t>(driveTotalMb * static_cast<uint64_t>(position) / 100) << 20;
  sliderPosition_ = position;
  ShowFields();
}

void CPreferenceDlg::OnCapacityEdited(const QString& text) {
  bool ok = false;
  double value = NumberLocale().toDouble(text.trimmed(), &ok);
  if (!ok) value = QLocale::c().toDouble(text.trimmed(), &ok);
  if (text.trimmed().isEmpty()) {
    value = 0;
    ok = true;
  }
  if (!ok || value < 0) return;  // the last valid capacity stays
  capacityBytes_ = static_cast<int64_t>(value * static_cast<double>(int64_t{1} << CapacityShift()));
  // The slider follows without moving the capacity in its 1 % steps.
  sliderPosition_ = driveTotal_ > 0
                        ? static_cast<int>(std::min(static_cast<double>(capacityBytes_) * 100.0 /
                                                            static_cast<double>(driveTotal_) +
                                                        0.5,
                                                    100.0))
                        : 0;
  const QSignalBlocker blocker(slider_);
  slider_->setValue(sliderPosition_);
  sliderPercentLabel_->setText(
      ToQString(vaultline::platform::FormatWide(L"%d %%", sliderPosition_)));
}

void CPreferenceDlg::EnableFileSizeControls() {
  const bool on = limitFilesCheckBox_->isChecked();
  fileSizeSpinBox_->setEnabled(on);
  unitComboBox_->setEnabled(on);
}

void CPreferenceDlg::OnLimitFilesClicked() {
  EnableFileSizeControls();
  if (limitFilesCheckBox_->isChecked() && fileSizeSpinBox_->value() == 0) {
    fileSizeSpinBox_->setValue(500);
    unitComboBox_->setCurrentIndex(kKilobytes);
  }
}

void CPreferenceDlg::SetPluggedInBackup(bool on, bool available, const QString& note) {
  pluggedInBackup_ = on && available;
  pluggedInBackupCheckBox_->setChecked(pluggedInBackup_);
  pluggedInBackupCheckBox_->setEnabled(available);
  pluggedInBackupNote_->setText(note);
}

void CPreferenceDlg::Save() {
  pluggedInBackup_ = pluggedInBackupCheckBox_->isChecked();
  fileSizeSpinBox_->interpretText();
  maxFileSize_ = 0;
  const int unit = unitComboBox_->currentIndex();
  if (limitFilesCheckBox_->isChecked() && unit >= 0) {
    maxFileSize_ = static_cast<int64_t>(fileSizeSpinBox_->value()) << kUnitShift[unit];
  }
  backupSizeLimit_ = capacityBytes_;
  reminderDaysSpinBox_->interpretText();
  reminderDays_ = reminderDaysSpinBox_->value();
}
