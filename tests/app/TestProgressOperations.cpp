// Backup, restore and View File from the main window, on worker threads with
// the progress window, against the real engine on a temporary drive.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "AppStrings.h"
#include "CContentView.h"
#include "CMainFrame.h"
#include "CSnapshotView.h"
#include "MessageBox.h"
#include "ShellOpen.h"
#include "TestDialogsSupport.h"
#include "progress/FileViewer.h"
#include "resources/ResourceIds.h"
#include "vaultline/Format.h"

using namespace marrowby;

namespace {

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

// Compares every file below `original` with its copy below `copy`.
void CompareTrees(const QString& original, const QString& copy) {
  QDirIterator it(original, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  int files = 0;
  while (it.hasNext()) {
    const QString path = it.next();
    const QString restored = copy + path.mid(original.size());
    QVERIFY2(QFileInfo::exists(restored), qPrintable(restored));
    QCOMPARE(Contents(restored), Contents(path));
    ++files;
  }
  QVERIFY(files > 0);
}

}  // namespace

class TestProgressOperations : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    drive_ = std::make_unique<TestDrive>();
    QVERIFY(drive_->AddSelection(
        L"Documents", QStringLiteral("docs"),
        {QStringLiteral("A/b.txt"), QStringLiteral("A/C/c.txt"), QStringLiteral("notes.md")}, 1));
    source_ = drive_->SourceRoot() + QStringLiteral("docs");
    frame_ = std::make_unique<CMainFrame>();
    frame_->resize(900, 620);
    frame_->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
  }

  void cleanup() {
    SetShellOpenHandler({});
    frame_.reset();
    drive_.reset();
  }

  void backupWithAnOversizeFileWarnsAndCountsAsSuccess() {
    WriteFile(InFolder(source_, "big.bin"), QByteArray(5000, 'x'));
    frame_->Engine()->SetMaxFileSize(1024);
    ProgressCloser closer(frame_.get(), QStringLiteral("progress-backup-warnings-after"));
    frame_->OnCommand(cmd::kBackup);
    QCOMPARE(closer.Closed(), 1);
    QCOMPARE(closer.LastStatus(), CBackupProgressDlg::kCompletedWithWarnings);
    QCOMPARE(closer.LastStatusText(), QStringLiteral("Warning: Please consult Details"));
    QCOMPARE(frame_->SnapshotView()->topLevelItemCount(), 2);
  }

  // The engine alone would let this backup fill the drive beyond the quota:
  // the new bytes fit below MaxBackupSize, but not below what is left of it.
  void backupBeyondWhatTheQuotaLeavesFails() {
    IVaultline* engine = frame_->Engine();
    const int64_t used = engine->GetStorageUsed();
    QVERIFY(used > 4096);
    const int newBytes = static_cast<int>(used / 2);
    WriteFile(InFolder(source_, "big.bin"), QByteArray(newBytes, 'y'));
    engine->SetMaxBackupSize(used + newBytes / 2);
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    ProgressCloser closer(frame_.get(), QStringLiteral("progress-backup-error-after"));
    frame_->OnCommand(cmd::kBackup);
    QCOMPARE(closer.LastStatus(), CBackupProgressDlg::kFailed);
    const QString reason = QString::fromStdWString(vaultline::platform::FormatWide(
        L"No space available. Space needed: %I64d KB, Space available %I64d KB",
        int64_t{newBytes} / 1024, int64_t{newBytes / 2} / 1024));
    QCOMPARE(closer.LastStatusText(), QStringLiteral("Snapshot Backup of Documents not completed "
                                                     "due to: ") +
                                          reason + u'\n' + LoadString(ids::kQuotaWayOut));
    QCOMPARE(frame_->SnapshotView()->topLevelItemCount(), 1);

    // A quota of 0 is none: the same backup is taken.
    engine->SetMaxBackupSize(0);
    frame_->OnCommand(cmd::kBackup);
    QCOMPARE(closer.Closed(), 2);
    QCOMPARE(closer.LastStatus(), CBackupProgressDlg::kCompleted);
    QCOMPARE(frame_->SnapshotView()->topLevelItemCount(), 2);
  }

  void restoresAFolderAndTheWholeSnapshotByteForByte() {
    QTemporaryDir destination;
    CContentView* tree = frame_->ContentView();
    QTreeWidgetItem* top = tree->topLevelItem(0);
    QVERIFY(top != nullptr);
    tree->setCurrentItem(ChildNamed(top, QStringLiteral("A")));
    QVERIFY(frame_->IsCommandEnabled(cmd::kRestore));
    bool defaultWasANewFolderBesideTheSource = false;
    OnNextModal<QDialog>([&](QDialog* dialog) {
      auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("destinationLineEdit"));
      defaultWasANewFolderBesideTheSource =
          QDir(edit->text()) != QDir(source_) &&
          QFileInfo(edit->text()).absolutePath() == QFileInfo(source_).absolutePath() &&
          !QFileInfo::exists(edit->text());
      SaveScreenshot(dialog, QStringLiteral("restore-path-dialog"));
      edit->setText(InFolder(destination.path(), "folder"));
      dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    });
    ProgressCloser closer(frame_.get(), QStringLiteral("progress-restore-after"));
    frame_->OnCommand(cmd::kRestore);
    QCOMPARE(closer.Closed(), 1);
    QVERIFY(defaultWasANewFolderBesideTheSource);
    QCOMPARE(closer.LastStatus(), CBackupProgressDlg::kCompleted);
    CompareTrees(InFolder(source_, "A"), InFolder(destination.path(), "folder", "A"));

    tree->setCurrentItem(tree->topLevelItem(0));
    OnNextModal<QDialog>([&](QDialog* dialog) {
      dialog->findChild<QLineEdit*>(QStringLiteral("destinationLineEdit"))
          ->setText(InFolder(destination.path(), "whole"));
      dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    });
    frame_->OnCommand(cmd::kRestore);
    QCOMPARE(closer.Closed(), 2);
    CompareTrees(source_, InFolder(destination.path(), "whole", "docs"));
  }

  // A destination that cannot be made is refused before anything is written,
  // with the reason: a folder the user may not write into is named as such,
  // any other failure asks to check the path.
  void unwritableDestinationSaysWhy() {
    QTemporaryDir destination;
    const QString file = InFolder(destination.path(), "a-file");
    WriteFile(file, "not a folder");
    const QString notAFolder = RestoreWholeSnapshotInto(InFolder(file, "restored"));
    QVERIFY2(notAFolder.endsWith(InFolder(file, "restored") +
                                 QStringLiteral("\nPlease verify that the path or file name are "
                                                "correct.")),
             qPrintable(notAFolder));

    if (geteuid() == 0) QSKIP("every folder is writable for root");
    const QString locked = InFolder(destination.path(), "locked");
    QVERIFY(QDir().mkpath(locked));
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    const QString reason = RestoreWholeSnapshotInto(InFolder(locked, "new", "restored"));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY2(reason.endsWith(QStringLiteral("You have no permission to write into the folder %1.")
                                 .arg(QFileInfo(locked).absoluteFilePath())),
             qPrintable(reason));
  }

  void viewFileOpensAReadOnlyCopyInThePrivateFolder() {
    QStringList opened;
    SetShellOpenHandler([&](const QString& path) {
      opened << path;
      return true;
    });
    CContentView* tree = frame_->ContentView();
    QTreeWidgetItem* folder = ChildNamed(tree->topLevelItem(0), QStringLiteral("A"));
    tree->setCurrentItem(folder);
    frame_->OnCommand(cmd::kViewFile);
    QVERIFY(opened.isEmpty());

    tree->setCurrentItem(ChildNamed(folder, QStringLiteral("b.txt")));
    frame_->OnCommand(cmd::kViewFile);
    // Viewing twice replaces the read-only copy of the first time.
    frame_->OnCommand(cmd::kViewFile);
    const QString privateFolder = FileViewer::PrivateTemporaryFolder();
    QVERIFY(!privateFolder.isEmpty());
    const QString expected = InFolder(privateFolder, "b.txt");
    QCOMPARE(opened, QStringList({expected, expected}));
    QCOMPARE(Contents(expected), Contents(InFolder(source_, "A", "b.txt")));
    const QFile::Permissions permissions = QFileInfo(expected).permissions();
    QVERIFY(!(permissions & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)));
    QVERIFY(!(permissions & (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther)));
    QCOMPARE(QFileInfo(privateFolder).permissions() &
                 (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
             QFile::Permissions());
  }

  void viewFileFailureIsTold() {
    SetShellOpenHandler([](const QString&) { return false; });
    CContentView* tree = frame_->ContentView();
    tree->setCurrentItem(ChildNamed(tree->topLevelItem(0), QStringLiteral("notes.md")));
    MessageBox::ClearLastText();
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    frame_->OnCommand(cmd::kViewFile);
    QVERIFY2(MessageBox::LastText().startsWith(QStringLiteral("Error view the file '") +
                                               InFolder(QStringLiteral("docs"), "notes.md") +
                                               QStringLiteral("'.\n")),
             qPrintable(MessageBox::LastText()));
  }

 private:
  std::unique_ptr<TestDrive> drive_;
  std::unique_ptr<CMainFrame> frame_;
  QString source_;

  // Restores the whole snapshot into `folder`, which must fail; returns the
  // progress window's status text (empty when it did not fail).
  QString RestoreWholeSnapshotInto(const QString& folder) {
    frame_->ContentView()->setCurrentItem(frame_->ContentView()->topLevelItem(0));
    OnNextModal<QDialog>([folder](QDialog* dialog) {
      dialog->findChild<QLineEdit*>(QStringLiteral("destinationLineEdit"))->setText(folder);
      dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    });
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    ProgressCloser closer(frame_.get());
    frame_->OnCommand(cmd::kRestore);
    if (closer.Closed() != 1 || closer.LastStatus() != CBackupProgressDlg::kFailed) return {};
    return closer.LastStatusText();
  }
};

QTEST_MAIN(TestProgressOperations)
#include "TestProgressOperations.moc"
