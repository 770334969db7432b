// A restore says what it restores and from which snapshot, proposes a new
// folder, and over files already there does what the user chose: a newer
// local file stays unless the user agrees to replace it, or both are kept.
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "CContentView.h"
#include "CMainFrame.h"
#include "CMarrowbyView.h"
#include "CSnapshotView.h"
#include "MessageBox.h"
#include "TestDialogsSupport.h"
#include "dialogs/CRestorePath.h"
#include "resources/ResourceIds.h"
#include "support/TestDrive.h"

namespace {

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Writes `text` to `path` and dates it `secondsAhead` from now.
void WriteLocal(const QString& path, const QByteArray& text, int secondsAhead) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(text);
  file.flush();  // a later flush would date it now
  QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(secondsAhead),
                           QFileDevice::FileModificationTime));
}

}  // namespace

class RestoreConflictTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void dialogNamesSnapshotAndItemAndProposesANewFolder();
  void newerLocalFileIsKeptUnlessTheUserAgrees();
  void keepBothWritesTheRestoredFileBeside();

 private:
  // Restores notes.md into the folder it came from with conflict rule
  // `rule` (the combo box's row); answers the question with `answer`
  // (NoButton: none is expected). Returns the question asked, empty for none.
  QString RestoreNotes(int rule, QMessageBox::StandardButton answer);

  std::unique_ptr<TestDrive> drive_;
  std::unique_ptr<CMainFrame> frame_;
  QString notes_;  // the local file
};

void RestoreConflictTest::init() {
  drive_ = std::make_unique<TestDrive>();
  QVERIFY(drive_->AddSelection(L"Documents", QStringLiteral("docs"),
                               {QStringLiteral("A|b.txt"), QStringLiteral("notes.md")}, 1));
  notes_ = drive_->SourceRoot() + QSep(QStringLiteral("docs|notes.md"));
  frame_ = std::make_unique<CMainFrame>();
  frame_->resize(900, 620);
  frame_->show();
  // Asked for as well as set: an X server without a window manager makes no
  // window active by itself.
  QApplication::setActiveWindow(frame_.get());
  frame_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
  CContentView* tree = frame_->ContentView();
  QTreeWidgetItem* item = ChildNamed(tree->topLevelItem(0), QStringLiteral("notes.md"));
  QVERIFY(item != nullptr);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                    tree->visualItemRect(item).center());
}

void RestoreConflictTest::cleanup() {
  frame_.reset();
  drive_.reset();
}

QString RestoreConflictTest::RestoreNotes(int rule, QMessageBox::StandardButton answer) {
  OnNextModal<CRestorePath>([rule](CRestorePath* dialog) {
    // On its round button: the middle of a wide row may lie past its text.
    auto* original = dialog->findChild<QRadioButton*>(QStringLiteral("originalFolderRadioButton"));
    QTest::mouseClick(original, Qt::LeftButton, Qt::NoModifier, QPoint(6, original->height() / 2));
    QVERIFY(original->isChecked());
    // The rule is chosen with the keys, from the first.
    auto* rules = dialog->findChild<QComboBox*>(QStringLiteral("conflictComboBox"));
    QTest::keyClick(rules, Qt::Key_Home);
    for (int i = 0; i < rule; ++i) QTest::keyClick(rules, Qt::Key_Down);
    QCOMPARE(rules->currentIndex(), rule);
    SaveScreenshot(dialog, QStringLiteral("restore-conflict"));
    dialog->accept();
  });
  MessageBox::ClearLastText();
  if (answer != QMessageBox::NoButton) MessageBox::SetNextAnswer(answer);
  ProgressCloser closer(frame_.get());
  // The progress window of the last restore hands the keys back.
  QApplication::setActiveWindow(frame_.get());
  frame_->activateWindow();
  if (!QTest::qWaitForWindowActive(frame_.get())) return QStringLiteral("<not active>");
  QTest::keyClick(frame_.get(), Qt::Key_E, Qt::ControlModifier);
  return MessageBox::LastText();
}

void RestoreConflictTest::dialogNamesSnapshotAndItemAndProposesANewFolder() {
  const QString when = frame_->SnapshotView()->SelectedText();
  bool shown = false;
  OnNextModal<CRestorePath>([&](CRestorePath* dialog) {
    shown = true;
    QCOMPARE(TextOf<QLabel>(dialog, "restoreWhatLabel"),
             QStringLiteral("Restore docs%1notes.md from the snapshot of %2.")
                 .arg(QSep(QStringLiteral("|")), when));
    QVERIFY(
        dialog->findChild<QRadioButton*>(QStringLiteral("otherFolderRadioButton"))->isChecked());
    const QString proposed = TextOf<QLineEdit>(dialog, "destinationLineEdit");
    QVERIFY2(proposed.startsWith(drive_->SourceRoot() + QStringLiteral("Documents 20")),
             qPrintable(proposed));
    QVERIFY(!proposed.contains(u':'));
    dialog->reject();
  });
  QTest::keyClick(frame_.get(), Qt::Key_E, Qt::ControlModifier);
  QVERIFY(shown);
}

void RestoreConflictTest::newerLocalFileIsKeptUnlessTheUserAgrees() {
  WriteLocal(notes_, "edited since", 3600);
  // Keep-newer, the default: nothing to replace, nothing asked, the file stays.
  QCOMPARE(RestoreNotes(0, QMessageBox::NoButton), QString());
  QCOMPARE(Contents(notes_), QByteArray("edited since"));

  // Replace asks first; No writes nothing.
  QCOMPARE(RestoreNotes(1, QMessageBox::No),
           QStringLiteral("1 files will be replaced.\nDo you want to continue?"));
  QCOMPARE(Contents(notes_), QByteArray("edited since"));
  RestoreNotes(1, QMessageBox::Yes);
  QCOMPARE(Contents(notes_), QByteArray("contents of notes.md"));

  // An older local file is replaced under keep-newer, after the question.
  WriteLocal(notes_, "old draft", -3 * 86400);
  QCOMPARE(RestoreNotes(0, QMessageBox::Yes),
           QStringLiteral("1 files will be replaced.\nDo you want to continue?"));
  QCOMPARE(Contents(notes_), QByteArray("contents of notes.md"));
}

void RestoreConflictTest::keepBothWritesTheRestoredFileBeside() {
  WriteLocal(notes_, "edited since", 3600);
  QCOMPARE(RestoreNotes(2, QMessageBox::NoButton), QString());
  QCOMPARE(Contents(notes_), QByteArray("edited since"));
  QCOMPARE(Contents(drive_->SourceRoot() + QSep(QStringLiteral("docs|notes (restored).md"))),
           QByteArray("contents of notes.md"));
  RestoreNotes(2, QMessageBox::NoButton);
  QCOMPARE(Contents(drive_->SourceRoot() + QSep(QStringLiteral("docs|notes (restored 2).md"))),
           QByteArray("contents of notes.md"));
}

QTEST_MAIN(RestoreConflictTest)
#include "RestoreConflictTest.moc"
