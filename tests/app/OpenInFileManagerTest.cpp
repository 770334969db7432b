// Open in the File Manager on a snapshot row, against the real engine and the
// command line's mount: the menu item chosen with the mouse shows the
// snapshot's files as they were, and the program's end unmounts them. Skipped
// where /dev/fuse is missing.
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QStorageInfo>
#include <QTest>
#include <QTimer>
#include <memory>

#include "AppStrings.h"
#include "CContentView.h"
#include "CMainFrame.h"
#include "CSnapshotView.h"
#include "MessageBox.h"
#include "ShellOpen.h"
#include "SnapshotMounts.h"
#include "TestDialogsSupport.h"
#include "support/TestDrive.h"

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool IsMounted(const QString& folder) {
  QFile mounts(QStringLiteral("/proc/self/mounts"));
  return mounts.open(QIODevice::ReadOnly) && mounts.readAll().contains(folder.toUtf8());
}

}  // namespace

class OpenInFileManagerTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void theChosenSnapshotOpensAsItWasAndTheEndUnmountsIt();
  void aMountThatCannotStartIsExplained();
  void theProgramsOwnMountGivesWayToItsBackupsAndReads();

 private:
  // Right-clicks row `row` of the snapshot list and clicks "Open in the File
  // Manager" in the menu that opens.
  void ChooseOpenOnRow(int row);

  std::unique_ptr<TestDrive> drive_;
  std::unique_ptr<CMainFrame> frame_;
  QStringList opened_;
};

void OpenInFileManagerTest::init() {
  if (!QFile::exists(QStringLiteral("/dev/fuse"))) QSKIP("/dev/fuse is missing");
  drive_ = std::make_unique<TestDrive>();
  QVERIFY(drive_->AddSelection(L"Documents", QStringLiteral("docs"),
                               {QStringLiteral("notes.md"), QStringLiteral("photos|a.jpg")}, 1));
  // The second snapshot holds other notes.
  QFile notes(drive_->SourceRoot() + QStringLiteral("docs/notes.md"));
  QVERIFY(notes.open(QIODevice::WriteOnly));
  notes.write("the notes, later");
  notes.close();
  QVERIFY(drive_->AddSnapshot(0, QStringLiteral("docs"), {}));
  SnapshotMounts::SetProgram(QStringLiteral(MARROWBY_DRIVE_DIR "vaultline"));
  SetShellOpenHandler([this](const QString& path) {
    opened_ << path;
    return true;
  });
  frame_ = std::make_unique<CMainFrame>();
  frame_->resize(900, 620);
  frame_->show();
  QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
  QCOMPARE(frame_->SnapshotView()->topLevelItemCount(), 2);
}

void OpenInFileManagerTest::cleanup() {
  frame_.reset();
  drive_.reset();
  SetShellOpenHandler({});
  SnapshotMounts::SetProgram(QString());
  opened_.clear();
}

void OpenInFileManagerTest::ChooseOpenOnRow(int row) {
  CSnapshotView* snapshots = frame_->SnapshotView();
  const QPoint at = snapshots->visualItemRect(snapshots->topLevelItem(row)).center();
  bool chosen = false;
  QTimer::singleShot(0, [&] {
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (popup == nullptr) return;
    for (QAction* action : popup->actions()) {
      if (action->text() != QStringLiteral("&Open in the File Manager")) continue;
      SaveScreenshot(popup, QStringLiteral("menu-snapshot-open-in-file-manager"));
      QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(action).center());
      chosen = true;
    }
  });
  QTest::mousePress(snapshots->viewport(), Qt::RightButton, {}, at);
  QVERIFY(chosen);
}

void OpenInFileManagerTest::theChosenSnapshotOpensAsItWasAndTheEndUnmountsIt() {
  // Row 1 is the older snapshot: the list shows the newest first.
  MessageBox::ClearLastText();
  MessageBox::SetNextAnswer(QMessageBox::Ok);
  ChooseOpenOnRow(1);
  if (opened_.isEmpty() &&
      MessageBox::LastText().contains(QStringLiteral("could not be mounted"))) {
    QSKIP("mounting is not permitted here");
  }
  QCOMPARE(opened_.size(), 1);
  const QString older = opened_.front();
  QCOMPARE(ReadAll(older + QStringLiteral("/docs/notes.md")), QByteArray("contents of notes.md"));
  QCOMPARE(ReadAll(older + QStringLiteral("/docs/photos/a.jpg")),
           QByteArray("contents of photos|a.jpg"));
  QVERIFY(!QFile(older + QStringLiteral("/docs/new.txt")).open(QIODevice::WriteOnly));

  // Its other snapshot, right-clicked again, from the same mount: the row
  // chosen before stays chosen, so the program reads nothing meanwhile.
  ChooseOpenOnRow(1);
  QTRY_COMPARE(opened_.size(), 2);
  QCOMPARE(opened_.back(), older);

  // The newest: choosing its row shows its contents, which the program
  // reads, so the mount gives way first and the newest is mounted anew.
  ChooseOpenOnRow(0);
  QTRY_COMPARE(opened_.size(), 3);
  QVERIFY(!IsMounted(QFileInfo(older).path()));
  QCOMPARE(ReadAll(opened_.back() + QStringLiteral("/docs/notes.md")),
           QByteArray("the notes, later"));

  const QString mountFolder = QFileInfo(opened_.back()).path();
  QVERIFY(IsMounted(mountFolder));
  frame_.reset();
  QVERIFY(!IsMounted(mountFolder));
  QVERIFY(!QFileInfo::exists(mountFolder));
}

void OpenInFileManagerTest::aMountThatCannotStartIsExplained() {
  SnapshotMounts::SetProgram(drive_->Folder() + QStringLiteral("no-such-program"));
  MessageBox::ClearLastText();
  MessageBox::SetNextAnswer(QMessageBox::Ok);
  ChooseOpenOnRow(0);
  QTRY_VERIFY(!MessageBox::LastText().isEmpty());
  QVERIFY2(MessageBox::LastText().startsWith(
               QStringLiteral("The snapshot could not be opened in the file manager:")),
           qPrintable(MessageBox::LastText()));
  QVERIFY(opened_.isEmpty());
}

void OpenInFileManagerTest::theProgramsOwnMountGivesWayToItsBackupsAndReads() {
  // The shown snapshot, already read: opening it reads nothing more.
  ChooseOpenOnRow(0);
  if (opened_.isEmpty()) QSKIP("mounting is not permitted here");
  const QString mountFolder = QFileInfo(opened_.front()).path();
  QVERIFY(IsMounted(mountFolder));

  QVERIFY(BackUpWithKeys(frame_.get()));
  QVERIFY(!IsMounted(mountFolder));
  CSnapshotView* snapshots = frame_->SnapshotView();
  QCOMPARE(snapshots->topLevelItemCount(), 3);

  // Mounted again, then a snapshot never shown before is chosen: its
  // contents come with the kinds of its items.
  ChooseOpenOnRow(0);
  QCOMPARE(opened_.size(), 2);
  QVERIFY(IsMounted(QFileInfo(opened_.back()).path()));
  QTest::mouseClick(snapshots->viewport(), Qt::LeftButton, {},
                    snapshots->visualItemRect(snapshots->topLevelItem(2)).center());
  QTreeWidgetItem* top = frame_->ContentView()->topLevelItem(0);
  QVERIFY(top != nullptr);
  QVERIFY2(top->text(0).startsWith(QStringLiteral("docs [ ")), qPrintable(top->text(0)));
  QVERIFY(!IsMounted(QFileInfo(opened_.back()).path()));
}

QTEST_MAIN(OpenInFileManagerTest)
#include "OpenInFileManagerTest.moc"
