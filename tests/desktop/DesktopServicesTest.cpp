// The program and the command line against the desktop's services, here
// stand-ins on a private bus that serves as both the session and the system
// bus: a backup holds the login manager's lock on sleep while it runs and
// the window says so; the command line tells its outcome as a notification;
// removing the drive asks the disk service first and leaves the unmount and
// power-off to a helper that outlives the program.
#include <QDBusConnection>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "AppStrings.h"
#include "CMainFrame.h"
#include "DriveRemoval.h"
#include "LanguageLoader.h"
#include "MessageBox.h"
#include "ResourceModule.h"
#include "TestDialogsSupport.h"
#include "linuxdesktop/DesktopNotice.h"
#include "linuxdesktop/SleepInhibitor.h"
#include "resources/ResourceIds.h"
#include "support/TestDrive.h"

using namespace marrowby;

class DesktopServicesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void init();
  void theSleepLockLastsUntilReleased();
  void theCommandLineKeepsAwakeAndTellsTheOutcome();
  void theProgressWindowSaysTheComputerStaysAwake_data();
  void theProgressWindowSaysTheComputerStaysAwake();
  void removalAsksTheDiskServiceFirst();
  void theHelperUnmountsPowersOffAndTells();
  void aBusyDriveIsToldAsBusy();

 private:
  QStringList LogLines() const;
  // Runs the removal helper for `plan` as the program would, for a process
  // that has already ended.
  void RunHelper(const DriveRemovalPlan& plan);

  QProcess bus_;
  QProcess services_;
  QTemporaryDir work_;
  QString log_;
};

void DesktopServicesTest::initTestCase() {
  const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
  if (daemon.isEmpty()) QSKIP("dbus-daemon is not installed (package dbus-daemon)");
  bus_.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--print-address=1")});
  QVERIFY(bus_.waitForReadyRead(10000));
  const QByteArray address = bus_.readLine().trimmed();
  QVERIFY(!address.isEmpty());
  // Before anything of this process has reached for a bus.
  qputenv("DBUS_SESSION_BUS_ADDRESS", address);
  qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
  log_ = work_.filePath(QStringLiteral("calls.log"));
  services_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  services_.start(QStringLiteral(FAKE_DESKTOP_SERVICES), {log_});
  QVERIFY(services_.waitForReadyRead(10000));
  QCOMPARE(services_.readLine().trimmed(), QByteArray("ready"));
}

void DesktopServicesTest::cleanupTestCase() {
  services_.kill();
  services_.waitForFinished();
  bus_.kill();
  bus_.waitForFinished();
}

void DesktopServicesTest::init() {
  QFile::remove(log_);
}

QStringList DesktopServicesTest::LogLines() const {
  QFile file(log_);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

void DesktopServicesTest::theSleepLockLastsUntilReleased() {
  linuxdesktop::SleepInhibitor lock("Marrowby", "Backing up");
  QVERIFY(lock.held());
  QTRY_COMPARE(LogLines(), QStringList{QStringLiteral("Inhibit sleep|Marrowby|Backing up|block")});
  QTest::qWait(100);
  QCOMPARE(LogLines().size(), 1);  // held, not given back yet
  lock.Release();
  QVERIFY(!lock.held());
  QTRY_COMPARE(LogLines().value(1), QStringLiteral("released"));

  QVERIFY(linuxdesktop::ShowDesktopNotice("Brindle+", "Sum ü", "Line 1\nLine 2"));
  QTRY_COMPARE(LogLines().value(2),
               QStringLiteral("Notify Brindle+|Sum ü|Line 1\nLine 2").section(u'\n', 0, 0));
}

void DesktopServicesTest::theCommandLineKeepsAwakeAndTellsTheOutcome() {
  QTemporaryDir drive;
  QTemporaryDir source;
  QFile file(source.filePath(QStringLiteral("notes.txt")));
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("notes");
  file.close();
  QProcess cli;
  cli.start(QStringLiteral(VAULTLINE_PROGRAM),
            {QStringLiteral("--drive"), drive.path(), QStringLiteral("create"),
             QStringLiteral("notes"), source.path()});
  QVERIFY(cli.waitForFinished(30000));
  QCOMPARE(cli.exitCode(), 0);
  cli.start(QStringLiteral(VAULTLINE_PROGRAM),
            {QStringLiteral("--drive"), drive.path(), QStringLiteral("-v"),
             QStringLiteral("backup"), QStringLiteral("--all"), QStringLiteral("--notify")});
  QVERIFY(cli.waitForFinished(30000));
  const QString errors = QString::fromUtf8(cli.readAllStandardError());
  QCOMPARE(cli.exitCode(), 0);
  QVERIFY2(errors.contains(QStringLiteral("the computer will not suspend")), qPrintable(errors));
  QTRY_COMPARE(LogLines().size(), 3);
  QStringList lines = LogLines();
  QCOMPARE(lines.takeFirst(), QStringLiteral("Inhibit sleep|Marrowby|Backing up|block"));
  // The lock given back and the notice sent: which the service sees first
  // is its own affair.
  QVERIFY(lines.removeOne(QStringLiteral("released")));
  QVERIFY2(lines.value(0).startsWith(
               QStringLiteral("Notify Brindle+|Backup finished|notes: snapshot 0")),
           qPrintable(lines.value(0)));

  // A backup that cannot begin is an outcome too.
  QFile::remove(log_);
  cli.start(QStringLiteral(VAULTLINE_PROGRAM),
            {QStringLiteral("--drive"), work_.filePath(QStringLiteral("no such drive")),
             QStringLiteral("backup"), QStringLiteral("--all"), QStringLiteral("--notify")});
  QVERIFY(cli.waitForFinished(30000));
  QVERIFY(cli.exitCode() != 0);
  QTRY_VERIFY(!LogLines().isEmpty());
  QVERIFY2(LogLines().last().startsWith(QStringLiteral("Notify Brindle+|Backup failed|")),
           qPrintable(LogLines().join(u'\n')));
}

void DesktopServicesTest::theProgressWindowSaysTheComputerStaysAwake_data() {
  QTest::addColumn<QString>("language");
  QTest::newRow("English") << QStringLiteral("en");
  QTest::newRow("German") << QStringLiteral("de");
}

void DesktopServicesTest::theProgressWindowSaysTheComputerStaysAwake() {
  QFETCH(QString, language);
  LoadedLanguage german;
  std::unique_ptr<ResourceModule> germanModule;
  if (language == QStringLiteral("de")) {
    german = LoadLanguage(QStringLiteral(MARROWBY_DRIVE_DIR).toStdWString(), L"language.dll", 1031,
                          1031);
    QVERIFY(german.table != nullptr);
    germanModule = std::make_unique<ResourceModule>(*german.table);
    ResourceModule::SetCurrent(germanModule.get(), 1031);
  }
  TestDrive drive;
  QVERIFY(
      drive.AddSelection(L"Documents", QStringLiteral("Documents"), {QStringLiteral("a.txt")}, 0));
  {
    // The selection was never backed up: the offer at start is declined.
    MessageBox::SetNextAnswer(QMessageBox::No);
    CMainFrame frame;
    frame.resize(900, 620);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.Engine()->SetMaxBackupSize(0);
    QString awakeText;
    bool removalOffered = false;
    QTimer peek;
    connect(&peek, &QTimer::timeout, this, [&] {
      auto* progress = frame.findChild<CBackupProgressDlg*>();
      if (progress == nullptr || progress->GetButtonState() != CBackupProgressDlg::kCloseButton) {
        return;
      }
      auto* awake = progress->findChild<QLabel*>(QStringLiteral("keptAwakeLabel"));
      // Shown or not in the window, which the closer may already have closed.
      awakeText = awake->isHidden() ? QString() : awake->text();
      removalOffered =
          !progress->findChild<QPushButton*>(QStringLiteral("safelyRemoveButton"))->isHidden();
    });
    peek.start(1);
    ProgressCloser closer(&frame, QStringLiteral("progress-kept-awake-") + language);
    auto* button =
        frame.findChild<QToolButton*>(QStringLiteral("toolButton%1").arg(cmd::kBackupAll));
    QVERIFY(button != nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(closer.Closed(), 1);
    QCOMPARE(awakeText, LoadString(ids::kKeepingAwake));
    QVERIFY(removalOffered);
    const QStringList calls = LogLines();
    QCOMPARE(calls.value(0), QStringLiteral("Inhibit sleep|Marrowby|Backing up|block"));
    QTRY_VERIFY(LogLines().contains(QStringLiteral("released")));
  }
  ResourceModule::SetCurrent(nullptr, 0);
  germanModule.reset();
  if (german.table != nullptr) UnloadLanguage(german);
}

void DesktopServicesTest::removalAsksTheDiskServiceFirst() {
  DriveRemovalPlan plan;
  QCOMPARE(PlanDriveRemoval(QStringLiteral("STICK-1"), &plan), RemovalCheck::kReady);
  QCOMPARE(plan.block, QStringLiteral("/org/freedesktop/UDisks2/block_devices/sdz1"));
  QCOMPARE(plan.drive, QStringLiteral("/org/freedesktop/UDisks2/drives/Stick"));
  QCOMPARE(PlanDriveRemoval(QStringLiteral("FIXED-1"), &plan), RemovalCheck::kNotRemovable);
  QCOMPARE(PlanDriveRemoval(QStringLiteral("UNKNOWN"), &plan), RemovalCheck::kNotFound);
  // Nothing was unmounted by asking.
  QVERIFY(LogLines().isEmpty());
}

void DesktopServicesTest::RunHelper(const DriveRemovalPlan& plan) {
  // A process that has ended (QProcess forgets the number of one).
  QProcess ended;
  ended.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("echo $$")});
  QVERIFY(ended.waitForFinished());
  const QString endedPid = QString::fromLatin1(ended.readAllStandardOutput().trimmed());
  QVERIFY(endedPid.toInt() > 0);
  QProcess helper;
  helper.start(QStringLiteral("/bin/sh"),
               {QStringLiteral("-c"), QString::fromUtf8(kDriveRemovalScript),
                QStringLiteral("marrowby-remove"), endedPid, plan.block, plan.drive,
                QStringLiteral("Unplug it now."), QStringLiteral("Not removed: %s"),
                QStringLiteral("Still in use.")});
  QVERIFY(helper.waitForFinished(30000));
}

void DesktopServicesTest::theHelperUnmountsPowersOffAndTells() {
  if (QStandardPaths::findExecutable(QStringLiteral("gdbus")).isEmpty()) {
    QSKIP("gdbus is not installed (package libglib2.0-bin)");
  }
  DriveRemovalPlan plan;
  QCOMPARE(PlanDriveRemoval(QStringLiteral("STICK-1"), &plan), RemovalCheck::kReady);
  RunHelper(plan);
  QCOMPARE(LogLines(),
           (QStringList{QStringLiteral("Unmount sdz1"), QStringLiteral("PowerOff Stick"),
                        QStringLiteral("Notify Brindle+|Unplug it now.|")}));
}

void DesktopServicesTest::aBusyDriveIsToldAsBusy() {
  if (QStandardPaths::findExecutable(QStringLiteral("gdbus")).isEmpty()) {
    QSKIP("gdbus is not installed (package libglib2.0-bin)");
  }
  DriveRemovalPlan plan;
  QCOMPARE(PlanDriveRemoval(QStringLiteral("STICK-BUSY"), &plan), RemovalCheck::kReady);
  RunHelper(plan);
  QCOMPARE(LogLines(), (QStringList{QStringLiteral("Unmount sdy1"),
                                    QStringLiteral("Notify Brindle+|Still in use.|")}));
}

QTEST_MAIN(DesktopServicesTest)
#include "DesktopServicesTest.moc"
