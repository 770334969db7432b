// The selection dialogs: their checks and messages, what they hand back, and
// the main window's New Backup Selection and Properties commands.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "CMainFrame.h"
#include "CMarrowbyView.h"
#include "CSnapshotView.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "TestDialogsSupport.h"
#include "dialogs/CCreateProfileDlg.h"
#include "dialogs/CProfileProperties.h"
#include "dialogs/CRestorePath.h"
#include "dialogs/CSelectContent.h"
#include "dialogs/SharedPaths.h"
#include "dialogs/SourceBrowser.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

QStringList ExclusionsOf(const QListWidget* list) {
  QStringList patterns;
  for (int row = 0; row < list->count(); ++row) patterns.push_back(list->item(row)->text());
  return patterns;
}

class TestDialogsSelection : public QObject {
  Q_OBJECT

 private:
  QString MakeSource(const QString& name) {
    const QString folder = InFolder(sources_.path(), name.toUtf8().constData());
    QDir().mkpath(folder);
    QFile file(InFolder(folder, "one.txt"));
    if (file.open(QIODevice::WriteOnly)) file.write("one");
    return folder;
  }

 private slots:
  void createProfileChecksThePath() {
    CCreateProfileDlg dialog(CCreateProfileDlg::Use::kStandalone);
    auto* path = dialog.findChild<QLineEdit*>(QStringLiteral("pathLineEdit"));
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("nameLineEdit"));
    QVERIFY(!dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->isEnabled());

    MessageBox::SetNextAnswer(QMessageBox::Ok);
    QVERIFY(!dialog.Validate());
    QCOMPARE(MessageBox::LastText(), QStringLiteral("Please select the backup path."));

    const QString missing = InFolder(sources_.path(), "nowhere", "report.doc");
    QTest::keyClicks(path, missing);
    QVERIFY(dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->isEnabled());
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    QVERIFY(!dialog.Validate());
    QCOMPARE(MessageBox::LastText(),
             missing + QStringLiteral("\nPlease verify that the path or file name are correct."));

    // One trailing separator goes; the name comes from the last component.
    const QString photos = MakeSource(QStringLiteral("Photos"));
    path->clear();
    QTest::keyClicks(path, photos + QChar(vaultline::platform::kSeparator));
    QVERIFY(dialog.Validate());
    QCOMPARE(QString::fromStdWString(NewSelectionPath()), photos);
    QCOMPARE(name->text(), QStringLiteral("Photos"));

    // A typed name stays whatever the path.
    name->clear();
    QTest::keyClicks(name, QStringLiteral("Holiday"));
    QVERIFY(dialog.Validate());
    QCOMPARE(QString::fromStdWString(NewSelectionName()), QStringLiteral("Holiday"));
  }

  void createProfileTakesAMountPointWithContents() {
    CCreateProfileDlg dialog(CCreateProfileDlg::Use::kStandalone);
    QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("pathLineEdit")),
                     InFolder(QString(), "proc") + QChar(vaultline::platform::kSeparator));
    QVERIFY(dialog.Validate());
    QCOMPARE(QString::fromStdWString(NewSelectionPath()), InFolder(QString(), "proc"));
    QCOMPARE(QString::fromStdWString(NewSelectionName()), QStringLiteral("proc"));
  }

  void createProfileBrowseFillsPathAndName() {
    const QString photos = MakeSource(QStringLiteral("Photos"));
    CCreateProfileDlg dialog(CCreateProfileDlg::Use::kStandalone);
    SourceBrowser::SetNextAnswer(photos);
    QTimer::singleShot(0, &dialog, [&] {
      dialog.findChild<QPushButton*>(QStringLiteral("browseButton"))->click();
      SaveScreenshot(dialog.window(), QStringLiteral("dialog-create-profile"));
      dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    });
    QVERIFY(dialog.Run(nullptr));
    QCOMPARE(QString::fromStdWString(NewSelectionPath()), photos);
    QCOMPARE(QString::fromStdWString(NewSelectionName()), QStringLiteral("Photos"));
  }

  void selectContentNeedsANameAndAnExistingPath() {
    const QString music = MakeSource(QStringLiteral("Music"));
    CSelectContent dialog(nullptr);
    dialog.setDirectory(sources_.path());
    QTimer::singleShot(0, &dialog, [&] {
      emit dialog.currentChanged(music);
      QCOMPARE(TextOf<QLineEdit>(&dialog, "pathLineEdit"), music);
      SaveScreenshot(&dialog, QStringLiteral("dialog-select-content"));
      MessageBox::SetNextAnswer(QMessageBox::Ok);
      dialog.findChild<QPushButton*>(QStringLiteral("createSelectionButton"))->click();
      QCOMPARE(MessageBox::LastText(),
               QStringLiteral("Please specify a name for the Backup Selection."));
      QVERIFY(dialog.isVisible());
      QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("nameLineEdit")),
                       QStringLiteral("Tunes"));
      dialog.findChild<QPushButton*>(QStringLiteral("createSelectionButton"))->click();
    });
    QVERIFY(dialog.Run());
    QCOMPARE(dialog.Path(), music);
    QCOMPARE(dialog.Name(), QStringLiteral("Tunes"));
  }

  void restorePathNeedsADestination() {
    CRestorePath dialog(nullptr);
    DefaultRestoreDestination().clear();
    const QString target = InFolder(sources_.path(), "out");
    FileDialog::SetNextAnswer(target);
    QTimer::singleShot(0, &dialog, [&] {
      auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("okButton"));
      QVERIFY(!ok->isEnabled());
      dialog.findChild<QPushButton*>(QStringLiteral("browseButton"))->click();
      QVERIFY(ok->isEnabled());
      ok->click();
    });
    QVERIFY(dialog.Run());
    QCOMPARE(QString::fromStdWString(DefaultRestoreDestination()), target);
  }

  void newSelectionCommandCreatesAndBacksUp() {
    TestDrive drive;
    QVERIFY(drive.AddSelection(L"Old", QStringLiteral("old"), {QStringLiteral("x.txt")}, 1));
    const QString letters = MakeSource(QStringLiteral("Letters"));
    CMainFrame frame;
    frame.show();
    OnNextModal<QDialog>([&](QDialog* dialog) {
      QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("pathLineEdit")), letters);
      dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    });
    ProgressCloser closer(&frame);
    frame.OnCommand(cmd::kNewSelection);
    QCOMPARE(closer.Closed(), 1);
    QCOMPARE(frame.SelectionView()->count(), 2);
    std::wstring selected;
    frame.SelectionView()->Selected(&selected);
    QCOMPARE(QString::fromStdWString(selected), QStringLiteral("Letters"));
    QCOMPARE(frame.SnapshotView()->topLevelItemCount(), 1);

    // Properties shows what the engine holds, read-only.
    OnNextModal<QDialog>([&](QDialog* dialog) {
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("nameLineEdit"));
      QCOMPARE(name->text(), QStringLiteral("Letters"));
      QVERIFY(name->isReadOnly());
      QCOMPARE(
          dialog->findChild<QPlainTextEdit*>(QStringLiteral("descriptionTextEdit"))->toPlainText(),
          letters);
      QCOMPARE(dialog->windowTitle(), QStringLiteral("Backup Selection Properties"));
      // Exclusions: added from the pattern field, removed by row, saved by OK.
      auto* list = dialog->findChild<QListWidget*>(QStringLiteral("exclusionsListWidget"));
      auto* pattern = dialog->findChild<QLineEdit*>(QStringLiteral("patternLineEdit"));
      auto* add = dialog->findChild<QPushButton*>(QStringLiteral("addExclusionButton"));
      auto* remove = dialog->findChild<QPushButton*>(QStringLiteral("removeExclusionButton"));
      QCOMPARE(list->count(), 0);
      QVERIFY(!add->isEnabled() && !remove->isEnabled());
      QTest::keyClicks(pattern, QStringLiteral("*.tmp"));
      add->click();
      QTest::keyClicks(pattern, QStringLiteral("node_modules/"));
      QTest::keyClick(pattern, Qt::Key_Return);  // adds, and leaves the dialog open
      QTest::keyClicks(pattern, QStringLiteral("old"));
      add->click();
      list->setCurrentRow(2);
      remove->click();
      QCOMPARE(ExclusionsOf(list),
               QStringList({QStringLiteral("*.tmp"), QStringLiteral("node_modules/")}));
      SaveScreenshot(dialog, QStringLiteral("dialog-properties"));
      dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    });
    frame.OnCommand(cmd::kProperties);

    // The engine kept them; Cancel throws a change away.
    OnNextModal<QDialog>([&](QDialog* dialog) {
      auto* list = dialog->findChild<QListWidget*>(QStringLiteral("exclusionsListWidget"));
      QCOMPARE(ExclusionsOf(list),
               QStringList({QStringLiteral("*.tmp"), QStringLiteral("node_modules/")}));
      list->setCurrentRow(0);
      dialog->findChild<QPushButton*>(QStringLiteral("removeExclusionButton"))->click();
      dialog->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
    });
    frame.OnCommand(cmd::kProperties);
    OnNextModal<QDialog>([&](QDialog* dialog) {
      auto* list = dialog->findChild<QListWidget*>(QStringLiteral("exclusionsListWidget"));
      QCOMPARE(list->count(), 2);
      dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    });
    frame.OnCommand(cmd::kProperties);
  }

  void movedSourceIsFoundAgainInProperties() {
    TestDrive drive;
    QVERIFY(
        drive.AddSelection(L"Letters", QStringLiteral("letters"), {QStringLiteral("a.txt")}, 1));
    const QString moved = drive.SourceRoot() + QStringLiteral("archive");
    QVERIFY(QDir().rename(drive.SourceRoot() + QStringLiteral("letters"), moved));
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));

    // Properties, with a new place chosen by a click; a place that is gone by
    // OK is refused with the path named, and nothing changes.
    auto pointAt = [&frame](const QString& place) {
      OnNextModal<QDialog>([place](QDialog* dialog) {
        auto* change = dialog->findChild<QPushButton*>(QStringLiteral("changeSourceButton"));
        SourceBrowser::SetNextAnswer(place);
        QTest::mouseClick(change, Qt::LeftButton);
        QCOMPARE(dialog->findChild<QPlainTextEdit*>(QStringLiteral("descriptionTextEdit"))
                     ->toPlainText(),
                 place);
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("okButton")),
                          Qt::LeftButton);
      });
      frame.OnCommand(cmd::kProperties);
    };
    const QString gone = drive.SourceRoot() + QStringLiteral("gone");
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    pointAt(gone);
    QVERIFY2(MessageBox::LastText().startsWith(gone + u'\n'), qPrintable(MessageBox::LastText()));

    MessageBox::ClearLastText();
    pointAt(moved);
    QCOMPARE(MessageBox::LastText(), QString());
    // The closed dialog leaves no window active here; the keys need one.
    frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    ProgressCloser closer(&frame);
    QTest::keyClick(&frame, Qt::Key_B, Qt::ControlModifier);
    QCOMPARE(closer.Closed(), 1);
    QCOMPARE(closer.LastStatus(), CBackupProgressDlg::kCompleted);
    QCOMPARE(frame.SnapshotView()->topLevelItemCount(), 2);
  }

 private:
  QTemporaryDir sources_;
};

QTEST_MAIN(TestDialogsSelection)
#include "TestDialogsSelection.moc"
