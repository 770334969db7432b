// Back Up All from the toolbar and the keyboard against the real engine:
// every selection in turn in one progress window, a failing one listed in
// the summary without stopping the others or raising a message box.
#include <QDir>
#include <QListWidget>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "AppStrings.h"
#include "CMainFrame.h"
#include "CSnapshotView.h"
#include "MessageBox.h"
#include "TestDialogsSupport.h"
#include "resources/ResourceIds.h"
#include "support/TestDrive.h"
#include "support/TestLanguage.h"

using namespace marrowby;

class BackupAllTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup();
  void oneFailingSelectionDoesNotStopTheOthers();
  void everySelectionBackedUpByTheKey();

 private:
  void OpenWindow();
  int SnapshotsOf(unsigned profile);
  QStringList MessageLines();

  std::unique_ptr<TestDrive> drive_;
  std::unique_ptr<CMainFrame> frame_;
};

void BackupAllTest::cleanup() {
  frame_.reset();
  drive_.reset();
}

void BackupAllTest::OpenWindow() {
  drive_ = std::make_unique<TestDrive>();
  for (const wchar_t* name : {L"Documents", L"Music", L"Photos"}) {
    QVERIFY(drive_->AddSelection(name, ToQString(name), {QStringLiteral("a.txt")}, 1));
  }
  frame_ = std::make_unique<CMainFrame>();
  ShowActive(frame_.get());
  frame_->Engine()->SetMaxBackupSize(0);
}

int BackupAllTest::SnapshotsOf(unsigned profile) {
  const StringList list = frame_->Engine()->GetSnapshots(profile);
  const int count = frame_->Engine()->GetListCount(list);
  frame_->Engine()->ReleaseList(list);
  return count;
}

QStringList BackupAllTest::MessageLines() {
  QStringList lines;
  auto* progress = frame_->findChild<CBackupProgressDlg*>();
  auto* list =
      progress ? progress->findChild<QListWidget*>(QStringLiteral("messageList")) : nullptr;
  for (int i = 0; list != nullptr && i < list->count(); ++i) lines << list->item(i)->text();
  return lines;
}

void BackupAllTest::oneFailingSelectionDoesNotStopTheOthers() {
  OpenWindow();
  QVERIFY(QDir(drive_->SourceRoot() + QStringLiteral("Music")).removeRecursively());
  MessageBox::ClearLastText();
  auto* button =
      frame_->findChild<QToolButton*>(QStringLiteral("toolButton%1").arg(cmd::kBackupAll));
  QVERIFY(button != nullptr && button->isEnabled());
  ProgressCloser closer(frame_.get(), QStringLiteral("backup-all-summary"));
  QTest::mouseClick(button, Qt::LeftButton);
  QCOMPARE(closer.Closed(), 1);
  QCOMPARE(closer.LastTitle(), QStringLiteral("Back Up All"));
  QCOMPARE(closer.LastStatus(), CBackupProgressDlg::kFailed);
  QCOMPARE(closer.LastStatusText(), QStringLiteral("2 of 3 Backup Selections backed up."));
  QVERIFY2(MessageBox::LastText().isEmpty(), qPrintable(MessageBox::LastText()));
  QCOMPARE(SnapshotsOf(0), 2);
  QCOMPARE(SnapshotsOf(1), 1);
  QCOMPARE(SnapshotsOf(2), 2);

  // Each selection's lines under its heading, and the summary at the end.
  const QStringList lines = MessageLines();
  QVERIFY2(lines.size() >= 6, qPrintable(lines.join(u'\n')));
  QCOMPARE(lines.first(), QStringLiteral("Backing up Documents"));
  QVERIFY(lines.contains(QStringLiteral("Backing up Photos")));
  QCOMPARE(lines.at(lines.size() - 4), QStringLiteral("Summary"));
  const QStringList summary = lines.mid(lines.size() - 3);
  QCOMPARE(summary.at(0), QStringLiteral("Documents: completed"));
  QVERIFY2(summary.at(1).startsWith(QStringLiteral("Music: not completed due to: ")),
           qPrintable(summary.at(1)));
  QCOMPARE(summary.at(2), QStringLiteral("Photos: completed"));
  // The list of the selected selection shows its new snapshot.
  QCOMPARE(frame_->SnapshotView()->topLevelItemCount(), 2);
}

void BackupAllTest::everySelectionBackedUpByTheKey() {
  OpenWindow();
  ProgressCloser closer(frame_.get());
  QTest::keyClick(frame_.get(), Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(closer.Closed(), 1);
  QCOMPARE(closer.LastStatus(), CBackupProgressDlg::kCompleted);
  QCOMPARE(closer.LastStatusText(), QStringLiteral("3 of 3 Backup Selections backed up."));
  for (unsigned profile = 0; profile < 3; ++profile) QCOMPARE(SnapshotsOf(profile), 2);
}

QTEST_MAIN(BackupAllTest)
#include "BackupAllTest.moc"
