// Start-up: the single-instance rule, the language library's loading order,
// and the German library supplying the texts of the window and the engine,
// also when the drive given with --drive holds backups only.
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "CMainFrame.h"
#include "CMarrowbyApp.h"
#include "CSnapshotView.h"
#include "DesktopServices.h"
#include "LanguageLoader.h"
#include "MessageBox.h"
#include "ShellOpen.h"
#include "resources/ResourceIds.h"
#include "support/TestDrive.h"
#include "vaultline/Format.h"

using namespace marrowby;
namespace platform = vaultline::platform;

namespace {

const QString kGermanLibrary =
    QStringLiteral(MARROWBY_DRIVE_DIR) + QSep(QStringLiteral("1031|language.so"));

// Puts the German library at <folder>/<locale>/language.so.
void InstallGerman(const QString& folder, uint32_t locale) {
  QString target = folder + QString::number(locale);
  QDir().mkpath(target);
  QVERIFY(QFile::copy(kGermanLibrary, target + QSep(QStringLiteral("|language.so"))));
}

}  // namespace

class StartUpTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void languageLibraryFollowsLoadingOrder();
  void secondInstanceIsRefused();
  void germanLibrarySuppliesTheTexts();
  void languageAndHelpBesideTheProgramServeAnotherDrive();
  void localeNamesMapToIdentifiers();
  void engineWarningIsAMessageBox();

 private:
  QTemporaryDir runtime_;
};

void StartUpTest::initTestCase() {
  // A private runtime folder, so that a running Marrowby does not count.
  QVERIFY(QFile::setPermissions(runtime_.path(),
                                QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path()));
  QVERIFY(QFile::exists(kGermanLibrary));
}

void StartUpTest::languageLibraryFollowsLoadingOrder() {
  QTemporaryDir folder;
  std::wstring base = (folder.path() + QSep(QStringLiteral("|"))).toStdWString();
  InstallGerman(folder.path() + QSep(QStringLiteral("|")), 1031);

  // Nothing for the user's locale or the system's: the program's own texts.
  LoadedLanguage none = LoadLanguage(base, L"language.dll", 1033, 1036);
  QVERIFY(none.table == nullptr);
  QCOMPARE(none.language, 0u);

  LoadedLanguage user = LoadLanguage(base, L"language.dll", 1031, 1033);
  QVERIFY(user.table != nullptr);
  QCOMPARE(user.language, 1031u);
  UnloadLanguage(user);

  // A locale with a sort order above 16 bits finds the library of its low half.
  LoadedLanguage low = LoadLanguage(base, L"language.dll", 0x10407, 1033);
  QCOMPARE(low.language, 1031u);
  UnloadLanguage(low);

  LoadedLanguage system = LoadLanguage(base, L"language.dll", 1033, 1031);
  QCOMPARE(system.language, 1031u);
  QVERIFY(system.path.find(Sep(L"|1031|")) != std::wstring::npos);
  UnloadLanguage(system);

  // A file that is no language library is passed over.
  QString bogus = folder.path() + QSep(QStringLiteral("|1033"));
  QDir().mkpath(bogus);
  QFile file(bogus + QSep(QStringLiteral("|language.so")));
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("not a library");
  file.close();
  LoadedLanguage skipped = LoadLanguage(base, L"language.dll", 1033, 1031);
  QCOMPARE(skipped.language, 1031u);
  UnloadLanguage(skipped);
}

void StartUpTest::secondInstanceIsRefused() {
  TestDrive drive;
  QVERIFY(drive.AddSelection(L"Documents", QStringLiteral("docs"), {QStringLiteral("a.txt")}, 1));
  QStringList arguments = {QStringLiteral("marrowby"), QStringLiteral("--drive"), drive.Folder()};
  {
    CMarrowbyApp first;
    QVERIFY(first.InitInstance(arguments));
    QVERIFY(first.MainFrame() != nullptr);

    MessageBox::ClearLastText();
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    CMarrowbyApp second;
    QVERIFY(!second.InitInstance(arguments));
    QVERIFY(second.MainFrame() == nullptr);
    QCOMPARE(MessageBox::LastText(), QStringLiteral("An instance of this application is already "
                                                    "running!\nThis instance will be closed."));
  }
  // The lock goes with the first instance.
  CMarrowbyApp again;
  QVERIFY(again.InitInstance(arguments));
}

void StartUpTest::germanLibrarySuppliesTheTexts() {
  TestDrive drive;
  QVERIFY(drive.AddSelection(L"Dokumente", QStringLiteral("docs"), {QStringLiteral("a.txt")}, 1));
  InstallGerman(drive.Folder(), 1031);
  qputenv("LC_ALL", "de_DE.UTF-8");
  CMarrowbyApp app;
  bool started =
      app.InitInstance({QStringLiteral("marrowby"), QStringLiteral("--drive"), drive.Folder()});
  qputenv("LC_ALL", "C");
  QVERIFY(started);
  QCOMPARE(app.Language(), 1031u);

  CMainFrame* frame = app.MainFrame();
  QCOMPARE(frame->GetLanguage(), uint16_t{1031});
  QCOMPARE(frame->menuBar()->actions().at(0)->text(), QStringLiteral("&Datei"));
  QCOMPARE(frame->CommandAction(cmd::kBackup)->statusTip(), QStringLiteral("Snapshot erstellen"));
  QCOMPARE(frame->SnapshotView()->headerItem()->text(0), QStringLiteral("Snapshots von Dokumente"));
  // Keys keep working when the translation names them in its own language.
  QCOMPARE(frame->CommandAction(cmd::kNewSelection)->shortcut(),
           QKeySequence(QStringLiteral("Ctrl+N")));

  // Qt's standard buttons speak the library's language as well.
  QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));

  // The engine's texts come from the library too.
  wchar_t* text = nullptr;
  const wchar_t* arguments[] = {L"big.iso"};
  frame->FormatText(kFormatAllocateBuffer | kFormatArgumentArray, ids::kFileSkippedForSize, &text,
                    0, arguments);
  QVERIFY(text != nullptr);
  QCOMPARE(QString::fromWCharArray(text),
           QStringLiteral("Die Datei big.iso wurde übersprungen. Die Dateigröße "
                          "überschreitet die festgelegte Grenze."));
  platform::ReleaseMessage(text);
  SaveScreenshot(frame, QStringLiteral("main-window-german"));
  QMenu* file = frame->menuBar()->actions().at(0)->menu();
  file->popup(frame->mapToGlobal(QPoint(10, 30)));
  QVERIFY(QTest::qWaitForWindowExposed(file));
  SaveScreenshot(file, QStringLiteral("menu-german-file"));
  file->hide();
}

// Started with --drive DIR, where DIR holds backups only: the languages and
// the help are found beside the program file, and F1 opens that help.
void StartUpTest::languageAndHelpBesideTheProgramServeAnotherDrive() {
  TestDrive drive;
  QVERIFY(drive.AddSelection(L"Dokumente", QStringLiteral("docs"), {QStringLiteral("a.txt")}, 1));
  // Only this test starts the program with a German locale; the folders are
  // gone again before any other test of this program runs.
  const QString beside = QCoreApplication::applicationDirPath() + QSep(QStringLiteral("|"));
  const QString help = beside + QSep(QStringLiteral("HelpFiles|")) +
                       QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() +
                       QStringLiteral(".html");
  const auto removeBeside = qScopeGuard([&] {
    QDir(beside + QStringLiteral("1031")).removeRecursively();
    QFile::remove(help);
    QDir().rmdir(QFileInfo(help).path());
  });
  InstallGerman(beside, 1031);
  QVERIFY(QDir().mkpath(QFileInfo(help).path()));
  QFile page(help);
  QVERIFY(page.open(QIODevice::WriteOnly));
  page.close();
  QVERIFY(!QFile::exists(drive.Folder() + QStringLiteral("1031")));

  qputenv("LC_ALL", "de_DE.UTF-8");
  CMarrowbyApp app;
  const bool started =
      app.InitInstance({QStringLiteral("marrowby"), QStringLiteral("--drive"), drive.Folder()});
  qputenv("LC_ALL", "C");
  QVERIFY(started);
  QCOMPARE(app.Language(), 1031u);
  CMainFrame* frame = app.MainFrame();
  QCOMPARE(frame->menuBar()->actions().at(0)->text(), QStringLiteral("&Datei"));

  QStringList opened;
  SetShellOpenHandler([&](const QString& path) {
    opened << path;
    return true;
  });
  const auto forgetHandler = qScopeGuard([] { SetShellOpenHandler({}); });
  frame->show();
  QApplication::setActiveWindow(frame);
  QVERIFY(QTest::qWaitForWindowActive(frame));
  QTest::keyClick(frame, Qt::Key_F1);
  QCOMPARE(opened, QStringList(help));
}

void StartUpTest::localeNamesMapToIdentifiers() {
  QCOMPARE(desktop::LocaleIdFromName("de_DE.UTF-8"), 1031u);
  QCOMPARE(desktop::LocaleIdFromName("de_AT"), 3079u);
  QCOMPARE(desktop::LocaleIdFromName("de"), 1031u);
  QCOMPARE(desktop::LocaleIdFromName("fr_FR@euro"), 1036u);
  QCOMPARE(desktop::LocaleIdFromName("C.UTF-8"), 1033u);
  QCOMPARE(desktop::LocaleIdFromName("POSIX"), 1033u);
}

void StartUpTest::engineWarningIsAMessageBox() {
  TestDrive drive;
  QVERIFY(drive.AddSelection(L"Documents", QStringLiteral("docs"), {QStringLiteral("a.txt")}, 1));
  // A pulled drive lost config.ini; the engine restores it from config.bak
  // and says so in a box of the program's, not on a standard error nobody reads.
  QString storage = drive.Folder() + QSep(QStringLiteral("BackupStorage|"));
  QFile::remove(storage + QStringLiteral("config.bak"));
  QVERIFY(QFile::rename(storage + QStringLiteral("config.ini"),
                        storage + QStringLiteral("config.bak")));
  MessageBox::ClearLastText();
  MessageBox::SetNextAnswer(QMessageBox::Ok);
  CMarrowbyApp app;
  QVERIFY(
      app.InitInstance({QStringLiteral("marrowby"), QStringLiteral("--drive"), drive.Folder()}));
  QVERIFY2(MessageBox::LastText().startsWith(QStringLiteral("Configuration file is missing.")),
           qPrintable(MessageBox::LastText()));
  QVERIFY(QFile::exists(storage + QStringLiteral("config.ini")));
}

QTEST_MAIN(StartUpTest)
#include "StartUpTest.moc"
