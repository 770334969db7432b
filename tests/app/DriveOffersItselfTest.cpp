// The drive offering itself, on a drive that is a folder of this computer
// (as the tests' and the development build's drives are): started by the
// drive's autorun the program asks "Back up now?"; the preference to back up
// when the drive is plugged in says plainly that it is not available here,
// and is set and kept where it is; asking to remove such a drive says there is
// nothing to remove, and the program stays open. The preferences are
// photographed in English and German.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "AppStrings.h"
#include "CMainFrame.h"
#include "LanguageLoader.h"
#include "MessageBox.h"
#include "ResourceModule.h"
#include "TestDialogsSupport.h"
#include "dialogs/CPreferenceDlg.h"
#include "resources/ResourceIds.h"
#include "support/TestDrive.h"
#include "vaultline/Path.h"

using namespace marrowby;

class DriveOffersItselfTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup();
  void startedByTheAutorunItOffersABackup();
  void noOfferWithoutSelections();
  void theOptInIsNotAvailableForAFolderDrive_data();
  void theOptInIsNotAvailableForAFolderDrive();
  void theOptInIsTickedAndKept_data();
  void theOptInIsTickedAndKept();
  void removingAFolderDriveSaysSoAndStays();

 private:
  void OpenWindow(int snapshots);
  int Snapshots();
  void UseLanguage(const QString& language);

  std::unique_ptr<TestDrive> drive_;
  std::unique_ptr<CMainFrame> frame_;
  LoadedLanguage german_;
  std::unique_ptr<ResourceModule> germanModule_;
};

void DriveOffersItselfTest::cleanup() {
  frame_.reset();
  drive_.reset();
  UseLanguage(QStringLiteral("en"));
}

void DriveOffersItselfTest::UseLanguage(const QString& language) {
  if (language == QStringLiteral("de")) {
    if (german_.table == nullptr) {
      german_ = LoadLanguage(QStringLiteral(MARROWBY_DRIVE_DIR).toStdWString(), L"language.dll",
                             1031, 1031);
      QVERIFY(german_.table != nullptr);
      germanModule_ = std::make_unique<ResourceModule>(*german_.table);
    }
    ResourceModule::SetCurrent(germanModule_.get(), 1031);
  } else {
    ResourceModule::SetCurrent(nullptr, 0);
  }
}

void DriveOffersItselfTest::OpenWindow(int selections) {
  drive_ = std::make_unique<TestDrive>();
  for (int i = 0; i < selections; ++i) {
    const std::wstring name = L"Selection " + std::to_wstring(i);
    QVERIFY(drive_->AddSelection(name, ToQString(name), {QStringLiteral("a.txt")}, 1));
  }
  frame_ = std::make_unique<CMainFrame>();
  frame_->resize(900, 620);
  frame_->show();
  QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
  frame_->Engine()->SetMaxBackupSize(0);
}

int DriveOffersItselfTest::Snapshots() {
  const StringList list = frame_->Engine()->GetSnapshots(0);
  const int count = frame_->Engine()->GetListCount(list);
  frame_->Engine()->ReleaseList(list);
  return count;
}

void DriveOffersItselfTest::startedByTheAutorunItOffersABackup() {
  OpenWindow(1);
  MessageBox::ClearLastText();
  MessageBox::SetNextAnswer(QMessageBox::Yes);
  ProgressCloser closer(frame_.get());
  frame_->OfferBackupAtStart();
  QTRY_COMPARE(closer.Closed(), 1);
  QCOMPARE(MessageBox::LastText(), QStringLiteral("Back up now?"));
  QCOMPARE(closer.LastTitle(), LoadString(ids::kBackupAllCaption));
  QCOMPARE(Snapshots(), 2);

  // No: nothing runs.
  MessageBox::ClearLastText();
  MessageBox::SetNextAnswer(QMessageBox::No);
  frame_->OfferBackupAtStart();
  QTRY_COMPARE(MessageBox::LastText(), QStringLiteral("Back up now?"));
  QTest::qWait(50);
  QCOMPARE(closer.Closed(), 1);
  QCOMPARE(Snapshots(), 2);
}

void DriveOffersItselfTest::noOfferWithoutSelections() {
  // The first-run wizard, cancelled, leaves the window without a selection:
  // there is nothing to back up, so nothing is offered.
  OnNextModal<QWidget>([](QWidget* wizard) { wizard->close(); });
  MessageBox::SetNextAnswer(QMessageBox::Ok);
  OpenWindow(0);
  MessageBox::ClearLastText();
  frame_->OfferBackupAtStart();
  QTest::qWait(100);
  QVERIFY(MessageBox::LastText() != QStringLiteral("Back up now?"));
}

void DriveOffersItselfTest::theOptInIsNotAvailableForAFolderDrive_data() {
  QTest::addColumn<QString>("language");
  QTest::newRow("English") << QStringLiteral("en");
  QTest::newRow("German") << QStringLiteral("de");
}

void DriveOffersItselfTest::theOptInIsNotAvailableForAFolderDrive() {
  QFETCH(QString, language);
  UseLanguage(language);
  OpenWindow(1);
  QString note;
  bool enabled = true;
  bool checkedAfterClick = true;
  OnNextModal<QWidget>([&](QWidget* dialog) {
    auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("pluggedInBackupCheckBox"));
    note = dialog->findChild<QLabel*>(QStringLiteral("pluggedInBackupNote"))->text();
    enabled = box->isEnabled() && box->isVisible();
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    checkedAfterClick = box->isChecked();
    SaveScreenshot(dialog, QStringLiteral("preferences-not-available-") + language);
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cancelButton")),
                      Qt::LeftButton);
  });
  frame_->CommandAction(cmd::kPreferences)->trigger();
  QTRY_VERIFY(!note.isEmpty());
  QVERIFY(!enabled);
  QVERIFY(!checkedAfterClick);
  const std::wstring folder = vaultline::platform::ProgramFolder();
  QCOMPARE(note, FormatString(ids::kAutoBackupFolder, folder.c_str()));
}

void DriveOffersItselfTest::theOptInIsTickedAndKept_data() {
  theOptInIsNotAvailableForAFolderDrive_data();
}

// The dialog alone, as for a drive of its own: what the caller installs is
// what the user ticked, and the note names the files.
void DriveOffersItselfTest::theOptInIsTickedAndKept() {
  QFETCH(QString, language);
  UseLanguage(language);
  CPreferenceDlg dialog(vaultline::platform::kSeparatorText, CPreferenceDlg::Use::kStandalone);
  const QString files = QStringLiteral(
      "/home/anna/.config/systemd/user/brindle-backup-5E2A-11F0.service\n"
      "/home/anna/.config/systemd/user/dev-disk-by\\x2duuid-5E2A\\x2d11F0.device.wants/"
      "brindle-backup-5E2A-11F0.service");
  dialog.SetPluggedInBackup(false, true,
                            FormatString(ids::kAutoBackupInstalled, FromQString(files).c_str()));
  QTimer::singleShot(0, &dialog, [&] {
    auto* box = dialog.findChild<QCheckBox*>(QStringLiteral("pluggedInBackupCheckBox"));
    QVERIFY(box->isEnabled());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    SaveScreenshot(&dialog, QStringLiteral("preferences-plugged-in-") + language);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("saveButton")), Qt::LeftButton);
  });
  QVERIFY(dialog.Run(nullptr));
  QVERIFY(dialog.PluggedInBackup());

  // Opened again ticked; untick it and save: off.
  dialog.SetPluggedInBackup(true, true, QString());
  QTimer::singleShot(0, &dialog, [&] {
    auto* box = dialog.findChild<QCheckBox*>(QStringLiteral("pluggedInBackupCheckBox"));
    QVERIFY(box->isChecked());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("saveButton")), Qt::LeftButton);
  });
  QVERIFY(dialog.Run(nullptr));
  QVERIFY(!dialog.PluggedInBackup());
}

void DriveOffersItselfTest::removingAFolderDriveSaysSoAndStays() {
  OpenWindow(1);
  MessageBox::ClearLastText();
  bool clicked = false;
  QTimer poll;
  connect(&poll, &QTimer::timeout, this, [&] {
    auto* progress = frame_->findChild<CBackupProgressDlg*>();
    if (clicked || progress == nullptr || !progress->isVisible() ||
        progress->GetButtonState() != CBackupProgressDlg::kCloseButton) {
      return;
    }
    clicked = true;
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    QTest::mouseClick(progress->findChild<QPushButton*>(QStringLiteral("safelyRemoveButton")),
                      Qt::LeftButton);
    progress->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
  });
  poll.start(10);
  frame_->CommandAction(cmd::kBackupAll)->trigger();
  QTRY_VERIFY(clicked);
  const std::wstring folder = vaultline::platform::ProgramFolder();
  QTRY_COMPARE(MessageBox::LastText(), FormatString(ids::kRemovalOfFolder, folder.c_str()));
  QTest::qWait(50);
  QVERIFY(frame_->isVisible());
}

QTEST_MAIN(DriveOffersItselfTest)
#include "DriveOffersItselfTest.moc"
