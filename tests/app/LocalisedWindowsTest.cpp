// The program in English and in German: every text that names a button names
// it as the button reads, the drive carries Qt's German texts for the buttons
// Qt draws, snapshot times follow the language, and the main window, the
// restore dialog over a changed file, a Verify, the wizard and the progress
// window are photographed in both languages (set MARROWBY_SCREENSHOTS;
// QT_SCALE_FACTOR=2 for a high-density screen).
#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <memory>

#include "AppStrings.h"
#include "CContentView.h"
#include "CMainFrame.h"
#include "CMarrowbyApp.h"
#include "CSnapshotView.h"
#include "LanguageLoader.h"
#include "ResourceModule.h"
#include "SnapshotTimeText.h"
#include "TestDialogsSupport.h"
#include "dialogs/CFirstRunWizard.h"
#include "dialogs/CPreferenceDlg.h"
#include "dialogs/CRestorePath.h"
#include "progress/CBackupProgressDlg.h"
#include "resources/ResourceIds.h"
#include "support/GermanLanguage.h"
#include "support/TestDrive.h"
#include "vaultline/Clock.h"

using namespace marrowby;

namespace {

const QString kGermanFolder = QStringLiteral(MARROWBY_DRIVE_DIR) + QStringLiteral("1031");

QString WithoutMnemonic(QString text) {
  return text.remove(u'&').remove(QStringLiteral(" >")).remove(QStringLiteral("< ")).trimmed();
}

// Every text of a resource table, strings and dialog texts alike.
QStringList AllTexts(const MarrowbyResourceTable& table) {
  QStringList texts;
  for (size_t i = 0; i < table.stringCount; ++i) {
    texts << QString::fromWCharArray(table.strings[i].text);
  }
  for (size_t i = 0; i < table.dialogTextCount; ++i) {
    texts << QString::fromWCharArray(table.dialogTexts[i].text);
  }
  return texts;
}

}  // namespace

class LocalisedWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void textsNameButtonsAsTheyRead_data();
  void textsNameButtonsAsTheyRead();
  void snapshotTimesFollowTheLanguage_data();
  void snapshotTimesFollowTheLanguage();
  void windowsInBothLanguages_data();
  void windowsInBothLanguages();

 private:
  std::unique_ptr<TestDrive> drive_;
  GermanLanguage german_;
};

void LocalisedWindowsTest::initTestCase() {
  drive_ = std::make_unique<TestDrive>();
  QVERIFY(drive_->AddSelection(L"Documents", QStringLiteral("docs"),
                               {QStringLiteral("A|b.txt"), QStringLiteral("notes.md")}, 2));
  QVERIFY(german_.Load());
  // The drive's own copy is taken, whatever the host has.
  QVERIFY(QFile::exists(kGermanFolder + QStringLiteral("/qtbase_de.qm")));
  QCOMPARE(QFileInfo(german_.QtTexts().filePath()).absolutePath(),
           QFileInfo(kGermanFolder).absoluteFilePath());
}

void LocalisedWindowsTest::cleanupTestCase() {
  german_.Use(false);
}

void LocalisedWindowsTest::textsNameButtonsAsTheyRead_data() {
  QTest::addColumn<QString>("language");
  QTest::addColumn<QString>("quotes");  // the language's quotation pattern
  QTest::newRow("English") << QStringLiteral("en") << QStringLiteral("\"([^\"%]+)\"");
  QTest::newRow("German") << QStringLiteral("de") << QStringLiteral("„([^“%]+)“");
}

// A quoted name in any text must be the text of a button the program shows:
// Qt's wizard buttons (translated by Qt) or the program's own.
void LocalisedWindowsTest::textsNameButtonsAsTheyRead() {
  QFETCH(QString, language);
  QFETCH(QString, quotes);
  german_.Use(language == QStringLiteral("de"));
  QSet<QString> buttons;
  CFirstRunWizard wizard(drive_->Folder().toStdWString(), nullptr);
  for (QWizard::WizardButton which :
       {QWizard::BackButton, QWizard::NextButton, QWizard::FinishButton, QWizard::CancelButton}) {
    buttons << WithoutMnemonic(wizard.button(which)->text());
  }
  CBackupProgressDlg progress(nullptr);
  for (QPushButton* button : progress.findChildren<QPushButton*>()) {
    buttons << WithoutMnemonic(button->text());
  }
  for (unsigned id : {ids::kCancel, ids::kClose}) buttons << WithoutMnemonic(LoadString(id));

  const MarrowbyResourceTable& table =
      language == QStringLiteral("de") ? german_.Table() : BuiltInResources();
  const QRegularExpression quoted(quotes);
  QStringList named;
  for (const QString& text : AllTexts(table)) {
    for (const QRegularExpressionMatch& match : quoted.globalMatch(text)) {
      named << match.captured(1);
      QVERIFY2(buttons.contains(match.captured(1)),
               qPrintable(match.captured(1) + QStringLiteral(" in: ") + text));
    }
  }
  // The welcome text, the finish hint and the preferences page name buttons.
  QVERIFY2(named.size() >= 3, qPrintable(named.join(u',')));
}

void LocalisedWindowsTest::snapshotTimesFollowTheLanguage_data() {
  QTest::addColumn<QString>("locale");
  QTest::addColumn<QString>("stored");
  QTest::addColumn<QString>("shown");
  QTest::newRow("German") << "de_DE"
                          << "Tue Dec  8 08:20:52 2026\n"
                          << "08.12.2026 08:20:52";
  QTest::newRow("US") << "en_US"
                      << "Tue Dec  8 18:20:52 2026\n"
                      << "12/8/2026 6:20:52 PM";
  QTest::newRow("two-digit day") << "de_DE"
                                 << "Mon Oct 19 00:00:01 2026"
                                 << "19.10.2026 00:00:01";
  // Whatever is no ctime text stays as the engine wrote it.
  QTest::newRow("other text") << "de_DE"
                              << "snapshot 7"
                              << "snapshot 7";
}

void LocalisedWindowsTest::snapshotTimesFollowTheLanguage() {
  QFETCH(QString, locale);
  QFETCH(QString, stored);
  QFETCH(QString, shown);
  QCOMPARE(SnapshotTimeText(stored, QLocale(locale)).replace(QChar(0x202F), u' '), shown);
}

void LocalisedWindowsTest::windowsInBothLanguages_data() {
  QTest::addColumn<QString>("language");
  QTest::newRow("English") << QStringLiteral("en");
  QTest::newRow("German") << QStringLiteral("de");
}

void LocalisedWindowsTest::windowsInBothLanguages() {
  QFETCH(QString, language);
  german_.Use(language == QStringLiteral("de"));
  const bool german = language == QStringLiteral("de");
  const QString shot = language + QStringLiteral("-");

  // At the size it opens with: within the screen, at 2x too.
  CMainFrame frame;
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  const QSize screen = frame.screen()->availableGeometry().size();
  QVERIFY2(screen.boundedTo(frame.frameGeometry().size()) == frame.frameGeometry().size(),
           qPrintable(QStringLiteral("%1x%2 on %3x%4")
                          .arg(frame.frameGeometry().width())
                          .arg(frame.frameGeometry().height())
                          .arg(screen.width())
                          .arg(screen.height())));
  SaveScreenshot(&frame, shot + QStringLiteral("main-window"));

  // The snapshot row's menu and the question Delete Snapshot asks; No keeps it.
  CSnapshotView* snapshots = frame.SnapshotView();
  snapshots->setFocus();
  QString deleteText;
  QTimer::singleShot(0, [&] {
    QWidget* popup = QApplication::activePopupWidget();
    if (popup == nullptr) return;
    deleteText = popup->actions().value(1)->text();
    SaveScreenshot(popup, shot + QStringLiteral("snapshot-menu"));
    popup->close();
  });
  QTest::keyClick(snapshots, Qt::Key_Menu);
  QCOMPARE(deleteText,
           german ? QStringLiteral("Snapshot &löschen") : QStringLiteral("&Delete Snapshot"));
  QString question;
  OnNextModal<QMessageBox>([&](QMessageBox* box) {
    question = box->text();
    SaveScreenshot(box, shot + QStringLiteral("delete-snapshot-question"));
    box->button(QMessageBox::No)->click();
  });
  frame.OnCommand(cmd::kDeleteSnapshot);
  QVERIFY2(question.contains(german ? QStringLiteral("Sicherungsauswahl Documents gelöscht")
                                    : QStringLiteral("Backup Selection Documents")),
           qPrintable(question));
  QCOMPARE(snapshots->topLevelItemCount(), 2);

  // The restore of a file changed since the snapshot into its own folder:
  // the dialog, and the question before the newer file is replaced.
  frame.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&frame));
  CContentView* tree = frame.ContentView();
  QTreeWidgetItem* notes = ChildNamed(tree->topLevelItem(0), QStringLiteral("notes.md"));
  QVERIFY(notes != nullptr);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                    tree->visualItemRect(notes).center());
  QFile local(drive_->SourceRoot() + QSep(QStringLiteral("docs|notes.md")));
  QVERIFY(local.open(QIODevice::WriteOnly | QIODevice::Append));
  local.write("edited since");
  local.close();
  OnNextModal<CRestorePath>([&](CRestorePath* dialog) {
    dialog->findChild<QRadioButton*>(QStringLiteral("originalFolderRadioButton"))->setChecked(true);
    dialog->findChild<QComboBox*>(QStringLiteral("conflictComboBox"))->setCurrentIndex(1);
    SaveScreenshot(dialog, shot + QStringLiteral("restore-conflict"));
    OnNextModal<QMessageBox>([&](QMessageBox* box) {
      question = box->text();
      SaveScreenshot(box, shot + QStringLiteral("restore-replace-question"));
      box->button(QMessageBox::No)->click();
    });
    dialog->accept();
  });
  QTest::keyClick(&frame, Qt::Key_E, Qt::ControlModifier);
  QVERIFY2(question.startsWith(german ? QStringLiteral("1 Dateien werden ersetzt")
                                      : QStringLiteral("1 files will be replaced")),
           qPrintable(question));

  // A Verify of a sound store, finished.
  {
    ProgressCloser closer(&frame, shot + QStringLiteral("verify-finished"));
    frame.OnCommand(cmd::kVerify);
    QCOMPARE(closer.Closed(), 1);
    QCOMPARE(closer.LastStatus(), CBackupProgressDlg::kCompleted);
  }

  CFirstRunWizard wizard(frame.DriveRoot(), &frame);
  // As the first start offers it: the whole drive.
  wizard.Preferences()->SetBackupSizeLimit(wizard.Preferences()->DriveTotal() >> 20 << 20);
  wizard.show();
  QVERIFY(QTest::qWaitForWindowExposed(&wizard));
  for (int page = 0; page < 3; ++page) {
    if (page > 0) wizard.next();
    QCoreApplication::processEvents();
    SaveScreenshot(&wizard, shot + QStringLiteral("wizard-page%1").arg(page + 1));
  }
  QCOMPARE(WithoutMnemonic(wizard.button(QWizard::FinishButton)->text()),
           german ? QStringLiteral("Abschließen") : QStringLiteral("Finish"));
  wizard.hide();

  // A backup half done, then its end.
  CBackupProgressDlg progress(&frame);
  progress.SetCaption(german ? QStringLiteral("Snapshot-Sicherung: Dokumente")
                             : QStringLiteral("Snapshot Backup: Documents"));
  progress.Prepare(CBackupProgressDlg::kBackupMode, std::wstring());
  progress.SetItemName(german ? QStringLiteral("Dokumente") : QStringLiteral("Documents"));
  progress.show();
  QVERIFY(QTest::qWaitForWindowExposed(&progress));
  progress.OnTotalSize(int64_t{400} << 20);
  progress.OnFile(int64_t{100} << 20, L"/home/ada/docs/holiday.mov");
  QTest::qWait(600);
  progress.OnProgress(int64_t{150} << 20, 0);
  QTest::qWait(600);
  progress.OnProgress(int64_t{170} << 20, 0);
  auto* text = progress.findChild<QLabel*>(QStringLiteral("progressText"));
  QTRY_VERIFY(text->text().startsWith(QStringLiteral("42 %")));
  QVERIFY2(
      text->text().contains(german ? QStringLiteral("verbleibend") : QStringLiteral("remaining")),
      qPrintable(text->text()));
  SaveScreenshot(&progress, shot + QStringLiteral("progress-running"));
  progress.OnMessage(3, L"The folder /home/ada/docs/private could not be read");
  progress.OnFinished(L"");
  QCOMPARE(text->text(), QStringLiteral("100 %"));
  SaveScreenshot(&progress, shot + QStringLiteral("progress-finished"));
}

QTEST_MAIN(LocalisedWindowsTest)
#include "LocalisedWindowsTest.moc"
