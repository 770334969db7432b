// Reminders at fixed clocks: each selection's last backup in the list and the
// status bar, in English and German, the mark past the reminder age, the
// offer at start to back up what is past it (or, started by the drive's
// autorun, its one question instead), and the age set in Preferences
// by the keyboard (stored in config.ini).
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <memory>

#include "AppStrings.h"
#include "BackupAge.h"
#include "CMainFrame.h"
#include "CMarrowbyView.h"
#include "MessageBox.h"
#include "TestDialogsSupport.h"
#include "resources/ResourceIds.h"
#include "support/TestDrive.h"
#include "support/TestLanguage.h"
#include "vaultline/DriveSettings.h"

using namespace marrowby;

class ReminderTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup();
  void ageTextsAtFixedClocks();
  void listAndStatusBarShowTheAge_data();
  void listAndStatusBarShowTheAge();
  void startOffersToBackUpWhatIsPastTheAge_data();
  void startOffersToBackUpWhatIsPastTheAge();
  void nothingIsOfferedWithinTheAge();
  void aBackupRefreshesTheAges();
  void theAgeIsSetInPreferences();

 private:
  // Two selections backed up now; the window opens `daysLater` days later.
  void OpenWindow(int daysLater);
  QString StatusPane() const;

  std::unique_ptr<TestDrive> drive_;
  std::unique_ptr<CMainFrame> frame_;
};

void ReminderTest::cleanup() {
  frame_.reset();
  drive_.reset();
  SetReminderClock(nullptr);
  MessageBox::ClearLastText();
}

void ReminderTest::OpenWindow(int daysLater) {
  drive_ = std::make_unique<TestDrive>();
  QVERIFY(drive_->AddSelection(L"Documents", QStringLiteral("docs"), {QStringLiteral("a.txt")}, 1));
  QVERIFY(drive_->AddSelection(L"Photos", QStringLiteral("photos"), {QStringLiteral("b.jpg")}, 1));
  const QDateTime later = QDateTime::currentDateTime().addDays(daysLater).addSecs(90);
  SetReminderClock([later] { return later; });
  frame_ = std::make_unique<CMainFrame>();
  ShowActive(frame_.get());
  QTest::qWait(20);  // the start-up check runs from the event queue
}

QString ReminderTest::StatusPane() const {
  return frame_->findChild<QLabel*>(QStringLiteral("lastBackupPane"))->text();
}

void ReminderTest::ageTextsAtFixedClocks() {
  const QDateTime at(QDate(2026, 12, 1), QTime(12, 0));
  QCOMPARE(BackupAgeText(QDateTime(), at), QStringLiteral("never backed up"));
  QCOMPARE(BackupAgeText(at, at.addSecs(59)), QStringLiteral("just now"));
  QCOMPARE(BackupAgeText(at, at.addSecs(60)), QStringLiteral("1 minute ago"));
  QCOMPARE(BackupAgeText(at, at.addSecs(3599)), QStringLiteral("59 minutes ago"));
  QCOMPARE(BackupAgeText(at, at.addSecs(7200)), QStringLiteral("2 hours ago"));
  QCOMPARE(BackupAgeText(at, at.addDays(1)), QStringLiteral("1 day ago"));
  QCOMPARE(BackupAgeText(at, at.addDays(3).addSecs(3600)), QStringLiteral("3 days ago"));
  // A clock set back: no "-2 days ago".
  QCOMPARE(BackupAgeText(at, at.addDays(-2)), QStringLiteral("just now"));

  QVERIFY(!IsBackupOverdue(at, at.addDays(7), 7));
  QVERIFY(IsBackupOverdue(at, at.addDays(7).addSecs(1), 7));
  QVERIFY(IsBackupOverdue(QDateTime(), at, 7));
  QVERIFY(!IsBackupOverdue(QDateTime(), at, 0));  // reminders off

  // The newest readable snapshot counts; a damaged newest one is passed over.
  QCOMPARE(LastBackupTime({L"Tue Dec  1 08:20:52 2026", L"Fri Dec  4 09:00:00 2026",
                           L"Damaged snapshot - cannot be read"}),
           QDateTime(QDate(2026, 12, 4), QTime(9, 0)));
}

void ReminderTest::listAndStatusBarShowTheAge_data() {
  QTest::addColumn<QString>("language");
  QTest::addColumn<QString>("eightDays");
  QTest::addColumn<QString>("pane");
  QTest::addColumn<QString>("offerEnd");
  QTest::newRow("en") << QStringLiteral("en") << QStringLiteral("8 days ago")
                      << QStringLiteral("\u26a0 Documents: last backup 8 days ago")
                      << QStringLiteral("Back up now?");
  QTest::newRow("de") << QStringLiteral("de") << QStringLiteral("vor 8 Tagen")
                      << QStringLiteral("\u26a0 Documents: gesichert vor 8 Tagen")
                      << QStringLiteral("Jetzt sichern?");
}

void ReminderTest::listAndStatusBarShowTheAge() {
  QFETCH(QString, language);
  QFETCH(QString, eightDays);
  QFETCH(QString, pane);
  QFETCH(QString, offerEnd);
  TestLanguage texts(language);
  QVERIFY(texts.Loaded());
  MessageBox::SetNextAnswer(QMessageBox::No);  // the offer at start
  OpenWindow(8);
  QVERIFY(MessageBox::LastText().endsWith(offerEnd));
  CMarrowbyView* list = frame_->SelectionView();
  QCOMPARE(list->BackupAge(0), eightDays);
  QCOMPARE(list->BackupAge(1), eightDays);
  QVERIFY(list->IsOverdue(0));
  QCOMPARE(StatusPane(), pane);
  SaveScreenshot(frame_.get(), QStringLiteral("reminders-%1").arg(language));

  // A click on the other selection: the status bar names it.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                    list->visualItemRect(list->item(1)).center());
  QVERIFY(StatusPane().contains(QStringLiteral("Photos")));
  frame_.reset();  // before its texts go
}

void ReminderTest::startOffersToBackUpWhatIsPastTheAge_data() {
  QTest::addColumn<bool>("autorun");
  QTest::addColumn<QString>("offer");
  QTest::newRow("the start's offer")
      << false
      << QStringLiteral(
             "These Backup Selections have not been backed up for more than 7 "
             "days:\n\nDocuments: 9 days ago\nPhotos: 9 days ago\n\nBack up now?");
  // The drive's autorun asks its own question, which takes the offer's place.
  QTest::newRow("started by the autorun") << true << QStringLiteral("Back up now?");
}

void ReminderTest::startOffersToBackUpWhatIsPastTheAge() {
  QFETCH(bool, autorun);
  QFETCH(QString, offer);
  MessageBox::ClearLastText();
  // One question at start; a second would be answered No rather than block.
  MessageBox::SetNextAnswer(QMessageBox::Yes);
  MessageBox::SetNextAnswer(QMessageBox::No);
  ProgressCloser closer(nullptr);
  drive_ = std::make_unique<TestDrive>();
  QVERIFY(drive_->AddSelection(L"Documents", QStringLiteral("docs"), {QStringLiteral("a.txt")}, 1));
  QVERIFY(drive_->AddSelection(L"Photos", QStringLiteral("photos"), {QStringLiteral("b.jpg")}, 1));
  // 90 seconds on, so that the backup's own seconds do not make it 8 days.
  const QDateTime later = QDateTime::currentDateTime().addDays(9).addSecs(90);
  SetReminderClock([later] { return later; });
  frame_ = std::make_unique<CMainFrame>();
  closer.Watch(frame_.get());
  frame_->Engine()->SetMaxBackupSize(0);
  frame_->show();
  // As the program does with --offer-backup: before the event loop runs.
  if (autorun) frame_->OfferBackupAtStart();
  QTRY_COMPARE(closer.Closed(), 1);
  QTest::qWait(100);
  QCOMPARE(MessageBox::LastText(), offer);
  QCOMPARE(MessageBox::CountSinceClear(), 1);
  QCOMPARE(closer.Closed(), 1);
  QCOMPARE(closer.LastStatusText(), QStringLiteral("2 of 2 Backup Selections backed up."));
  // Backed up at the real time, which the fixed clock is 9 days past.
  QCOMPARE(frame_->SelectionView()->BackupAge(0), QStringLiteral("9 days ago"));
  // The second answer is still waiting, unused.
  QCOMPARE(MessageBox::Show(nullptr, QString()), QMessageBox::No);
}

void ReminderTest::nothingIsOfferedWithinTheAge() {
  OpenWindow(3);
  QVERIFY(MessageBox::LastText().isEmpty());
  QCOMPARE(frame_->SelectionView()->BackupAge(1), QStringLiteral("3 days ago"));
  QVERIFY(!frame_->SelectionView()->IsOverdue(1));
  QCOMPARE(StatusPane(), QStringLiteral("Documents: last backup 3 days ago"));
}

// The list and the status bar are read again when a backup ends, for every
// selection, not only at the minute's refresh.
void ReminderTest::aBackupRefreshesTheAges() {
  auto clock = std::make_shared<QDateTime>();
  MessageBox::SetNextAnswer(QMessageBox::No);  // the offer at start
  drive_ = std::make_unique<TestDrive>();
  QVERIFY(drive_->AddSelection(L"Documents", QStringLiteral("docs"), {QStringLiteral("a.txt")}, 1));
  QVERIFY(drive_->AddSelection(L"Photos", QStringLiteral("photos"), {QStringLiteral("b.jpg")}, 1));
  *clock = QDateTime::currentDateTime().addDays(9);
  SetReminderClock([clock] { return *clock; });
  frame_ = std::make_unique<CMainFrame>();
  frame_->Engine()->SetMaxBackupSize(0);
  ShowActive(frame_.get());
  QTRY_VERIFY(frame_->SelectionView()->IsOverdue(1));
  // The clock goes back to today; nothing is read again yet.
  *clock = QDateTime::currentDateTime().addSecs(90);
  QVERIFY(frame_->SelectionView()->IsOverdue(1));

  ProgressCloser closer(frame_.get());
  QTest::keyClick(frame_.get(), Qt::Key_B, Qt::ControlModifier);
  QCOMPARE(closer.Closed(), 1);
  QCOMPARE(frame_->SelectionView()->BackupAge(0), QStringLiteral("1 minute ago"));
  QVERIFY(!frame_->SelectionView()->IsOverdue(0));
  QVERIFY(!frame_->SelectionView()->IsOverdue(1));
  QCOMPARE(StatusPane(), QStringLiteral("Documents: last backup 1 minute ago"));
}

void ReminderTest::theAgeIsSetInPreferences() {
  MessageBox::SetNextAnswer(QMessageBox::No);  // the offer at start
  OpenWindow(8);
  QVERIFY(MessageBox::LastText().endsWith(QStringLiteral("Back up now?")));
  CMarrowbyView* list = frame_->SelectionView();
  QVERIFY(list->IsOverdue(0));
  QCOMPARE(StatusPane(), QStringLiteral("\u26a0 Documents: last backup 8 days ago"));

  bool saved = false;
  OnNextModal<QDialog>([&saved](QDialog* dialog) {
    auto* days = dialog->findChild<QSpinBox*>(QStringLiteral("reminderDaysSpinBox"));
    QCOMPARE(days->value(), 7);
    auto* unit = dialog->findChild<QLabel*>(QStringLiteral("reminderDaysUnit"));
    QCOMPARE(unit->text(), QStringLiteral("days"));
    days->setFocus();
    QTest::keyClick(days, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(days, Qt::Key_0);
    QCOMPARE(days->value(), 0);
    QVERIFY(unit->text().isEmpty());  // "never", not "never days"
    QTest::keyClick(days, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(days, QStringLiteral("10"));
    QCOMPARE(unit->text(), QStringLiteral("days"));
    SaveScreenshot(dialog, QStringLiteral("preferences-reminder"));
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("saveButton")),
                      Qt::LeftButton);
    saved = true;
  });
  QTest::keyClick(frame_.get(), Qt::Key_P, Qt::ControlModifier);
  QVERIFY(saved);
  QCOMPARE(GetDriveSetting(frame_->Engine(), L"ReminderDays", -1), 10);
  QVERIFY(!list->IsOverdue(0));
  QCOMPARE(StatusPane(), QStringLiteral("Documents: last backup 8 days ago"));
}

QTEST_MAIN(ReminderTest)
#include "ReminderTest.moc"
