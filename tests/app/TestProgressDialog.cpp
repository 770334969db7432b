// The progress window as the engine's status sink: what it lists, what it
// tells at the end, and how Cancel behaves while a worker thread reports.
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>
#include <atomic>
#include <thread>

#include "AppStrings.h"
#include "MessageBox.h"
#include "TestDialogsSupport.h"
#include "progress/CBackupProgressDlg.h"
#include "progress/WorkerRoutines.h"
#include "resources/ResourceIds.h"

class TestProgressDialog : public QObject {
  Q_OBJECT

 private:
  static QStringList Lines(CBackupProgressDlg& dialog) {
    QStringList lines;
    auto* list = dialog.findChild<QListWidget*>(QStringLiteral("messageList"));
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    return lines;
  }
  static QString Status(CBackupProgressDlg& dialog) {
    return TextOf<QLabel>(&dialog, "statusLabel");
  }
  static QString Button(CBackupProgressDlg& dialog) {
    return TextOf<QPushButton>(&dialog, "cancelButton");
  }

 private slots:
  void messageFilterFollowsTraceLevelAndTickFlag() {
    CBackupProgressDlg dialog(nullptr);
    dialog.Prepare(CBackupProgressDlg::kBackupMode, std::wstring());
    dialog.SetTraceLevel(3);
    dialog.SetShowTimeTick(1);
    dialog.OnMessage(4, L"hidden info");
    dialog.OnMessage(1, L"never listed");
    QVERIFY(Lines(dialog).isEmpty());
    QVERIFY(!dialog.findChild<QPushButton*>(QStringLiteral("detailsButton"))->isEnabled());

    dialog.SetTraceLevel(4);
    dialog.OnMessage(4, L"shown info");
    dialog.OnMessage(3, L"careful");
    dialog.SetTraceLevel(7);
    dialog.OnMessage(7, L"dropped text");
    const QStringList lines = Lines(dialog);
    QCOMPARE(lines.size(), 3);
    QVERIFY2(QRegularExpression(QStringLiteral("^T\\d{8}:shown info$")).match(lines[0]).hasMatch(),
             qPrintable(lines[0]));
    QCOMPARE(lines[1], QStringLiteral("Warning: careful"));
    QVERIFY2(QRegularExpression(QStringLiteral("^T\\d{8}:7 UNKNOWN ERROR CODE$"))
                 .match(lines[2])
                 .hasMatch(),
             qPrintable(lines[2]));
    QVERIFY(dialog.findChild<QPushButton*>(QStringLiteral("detailsButton"))->isEnabled());
  }

  void warningsEndAsSuccessErrorsAsFailureWithReason() {
    CBackupProgressDlg dialog(nullptr);
    dialog.Prepare(CBackupProgressDlg::kBackupMode, std::wstring());
    dialog.SetItemName(QStringLiteral("Photos"));
    dialog.OnTotalSize(100);
    dialog.OnMessage(3, L"The file: big.iso was skipped. File size exceeds predefined limit.");
    dialog.OnFinished(L"");
    QCOMPARE(dialog.GetStatus(), CBackupProgressDlg::kCompletedWithWarnings);
    QCOMPARE(Status(dialog), QStringLiteral("Warning: Please consult Details"));
    QCOMPARE(Button(dialog), QStringLiteral("Close"));

    dialog.Prepare(CBackupProgressDlg::kBackupMode, std::wstring());
    dialog.SetItemName(QStringLiteral("Photos"));
    dialog.OnTotalSize(100);
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    dialog.OnMessage(2, L"disk on fire");
    QVERIFY(dialog.IsCancelled());
    QCOMPARE(MessageBox::LastText(), QStringLiteral("disk on fire"));
    dialog.OnFinished(L"");
    QCOMPARE(dialog.GetStatus(), CBackupProgressDlg::kFailed);
    QCOMPARE(Status(dialog),
             QStringLiteral("Snapshot Backup of Photos not completed due to: disk on fire"));
    QCOMPARE(Lines(dialog), QStringList{QStringLiteral("Error: disk on fire")});
  }

  // A warning after an error or a Cancel leaves the operation failed or
  // cancelled; such an end keeps the bar where it stopped; a long reason is
  // shown whole.
  void stoppedOperationsEndAsWhatTheyAre() {
    CBackupProgressDlg dialog(nullptr);
    auto* bar = dialog.findChild<QProgressBar*>();
    const QString reason = QStringLiteral("the file %1 could not be read").arg(QString(300, u'x'));
    dialog.Prepare(CBackupProgressDlg::kBackupMode, std::wstring());
    dialog.SetItemName(QStringLiteral("Photos"));
    dialog.OnTotalSize(100);
    dialog.OnProgress(40, 0);
    QCoreApplication::processEvents();
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    dialog.OnMessage(2, FromQString(reason).c_str());
    dialog.OnMessage(3, L"a warning after it");
    dialog.OnFinished(L"");
    QCOMPARE(dialog.GetStatus(), CBackupProgressDlg::kFailed);
    QCOMPARE(bar->value(), 40);
    QCOMPARE(TextOf<QLabel>(&dialog, "progressText"), QStringLiteral("40 %"));
    auto* status = dialog.findChild<QLabel*>(QStringLiteral("statusLabel"));
    QVERIFY(status->height() > 3 * status->fontMetrics().lineSpacing());

    dialog.Prepare(CBackupProgressDlg::kBackupMode, std::wstring());
    dialog.OnTotalSize(100);
    dialog.reject();  // Cancel
    dialog.OnMessage(3, L"a file left half-read");
    dialog.OnFinished(L"");
    QCOMPARE(dialog.GetStatus(), CBackupProgressDlg::kCancelPressed);
    QCOMPARE(Status(dialog), QStringLiteral("The Cancel button was pressed."));
    QVERIFY(bar->value() < bar->maximum());
  }

  void countsFilesAndAppliesTheHandedOverLimits() {
    CBackupProgressDlg dialog(nullptr);
    dialog.Prepare(CBackupProgressDlg::kBackupMode, std::wstring());
    dialog.SetMaxFileSize(3000);
    dialog.SetBackupAllowance(10 * 1024);
    dialog.OnTotalSize(4096);
    dialog.OnFile(2048, L"a.txt");
    dialog.OnFile(3000, L"exact.bin");  // at the limit: the engine stores it
    dialog.OnFile(-1, L"huge.bin");     // the engine's mark of a skipped file
    dialog.OnFile(5000, L"over.bin");
    QCOMPARE(TextOf<QLabel>(&dialog, "filesDoneLabel"), QStringLiteral("2"));
    QCOMPARE(TextOf<QLabel>(&dialog, "filesSkippedLabel"), QStringLiteral("2"));
    QCOMPARE(TextOf<QLabel>(&dialog, "bytesDoneLabel"), QStringLiteral("4.9 KB"));
    QVERIFY(Lines(dialog).contains(QStringLiteral("Warning: File skipped over.bin")));
    QVERIFY(!dialog.IsCancelled());
    // The summary counts every file of the snapshot; only the two announced
    // were stored, the others were unchanged.
    dialog.OnSummary(2, 42, 900000);
    dialog.OnFinished(L"");
    QCOMPARE(TextOf<QLabel>(&dialog, "filesDoneLabel"),
             QStringLiteral("42 (2 new or changed, 40 unchanged)"));

    // Beyond the quota the backup is refused before anything is stored.
    dialog.Prepare(CBackupProgressDlg::kBackupMode, std::wstring());
    dialog.SetItemName(QStringLiteral("Docs"));
    dialog.SetBackupAllowance(2048);
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    QVERIFY(dialog.OnTotalSize(4096));
    QCOMPARE(dialog.GetStatus(), CBackupProgressDlg::kFailed);
    // ... and told the ways out.
    QCOMPARE(dialog.FailureReason(),
             QStringLiteral("No space available. Space needed: 4 KB, Space available 2 KB\n") +
                 LoadString(marrowby::ids::kQuotaWayOut));
    QVERIFY(MessageBox::LastText().contains(QStringLiteral("Delete Snapshot")));
  }

  void restoreBeyondFreeSpaceFailsWithBothTexts() {
    CBackupProgressDlg dialog(nullptr);
    dialog.Prepare(CBackupProgressDlg::kRestoreMode, std::wstring());
    dialog.SetItemName(QStringLiteral("Docs/big"));
    dialog.SetDestinationFreeSpace(1024 * 1024);
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    QVERIFY(dialog.OnTotalSize(3 * 1024 * 1024));
    dialog.OnFinished(L"");
    const QString reason =
        QStringLiteral("No space available. Space needed: 3072 KB, Space available 1024 KB");
    QCOMPARE(Lines(dialog), QStringList{QStringLiteral("Error: ") + reason});
    QCOMPARE(MessageBox::LastText(), reason);
    QCOMPARE(Status(dialog),
             QStringLiteral("Restore of Docs/big not completed due to: ") + reason + u'.');
    QVERIFY(!dialog.findChild<QLabel*>(QStringLiteral("filesSkippedLabel"))->isVisibleTo(&dialog));
    QCOMPARE(TextOf<QLabel>(&dialog, "filesDoneCaption"),
             QStringLiteral("Number of files restored to disk:"));
  }

  void operationThatNeverRanIsNoSuccess() {
    CBackupProgressDlg dialog(nullptr);
    dialog.Prepare(CBackupProgressDlg::kRestoreMode, std::wstring());
    dialog.SetItemName(QStringLiteral("docs"));
    RunRestoreRoutine(RestoreJob{nullptr, &dialog, std::nullopt, std::nullopt, {}, {}});
    QCOMPARE(dialog.GetStatus(), CBackupProgressDlg::kFailed);
    QCOMPARE(
        Status(dialog),
        QStringLiteral("Restore of docs not completed due to: Invalid selection for restore."));
    QCOMPARE(Button(dialog), QStringLiteral("Close"));
  }

  void emptyOperationFillsTheBarAtTheEnd() {
    CBackupProgressDlg dialog(nullptr);
    dialog.Prepare(CBackupProgressDlg::kBackupMode, std::wstring());
    dialog.OnTotalSize(0);
    dialog.OnFinished(L"");
    auto* bar = dialog.findChild<QProgressBar*>(QStringLiteral("progressBar"));
    QCOMPARE(bar->maximum(), 1);
    QCOMPARE(bar->value(), 1);
    QCOMPARE(dialog.GetStatus(), CBackupProgressDlg::kCompleted);
  }

  // A worker thread reports while the user presses Cancel twice: the window
  // keeps "Canceling.." and stays open until the worker has finished.
  void cancelWaitsForTheWorker() {
    CBackupProgressDlg dialog(nullptr);
    dialog.Prepare(CBackupProgressDlg::kBackupMode, std::wstring());
    dialog.SetItemName(QStringLiteral("Music"));
    std::atomic<bool> release{false};
    std::atomic<bool> sawCancel{false};
    std::thread worker([&] {
      dialog.OnTotalSize(1 << 20);
      for (int i = 0; !release; ++i) {
        dialog.OnProgress(i % (1 << 20), 0);
        if (dialog.OnFile(10, L"track.ogg")) sawCancel = true;
        dialog.OnFileDone();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      dialog.OnFinished(L"");
    });
    QTimer::singleShot(0, &dialog, [&] {
      SaveScreenshot(&dialog, QStringLiteral("progress-backup-collapsed-running"));
      auto* details = dialog.findChild<QPushButton*>(QStringLiteral("detailsButton"));
      dialog.OnMessage(3, L"one warning");
      QTest::mouseClick(details, Qt::LeftButton);
      SaveScreenshot(&dialog, QStringLiteral("progress-backup-expanded-running"));
      auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("cancelButton"));
      QTest::mouseClick(cancel, Qt::LeftButton);
      QTest::mouseClick(cancel, Qt::LeftButton);
      QTest::keyClick(&dialog, Qt::Key_Escape);
      QCOMPARE(cancel->text(), QStringLiteral("Canceling.."));
      QVERIFY(dialog.isVisible());
      QTRY_VERIFY(sawCancel.load());
      QVERIFY(dialog.isVisible());
      release = true;
      QTRY_COMPARE(cancel->text(), QStringLiteral("Close"));
      QCOMPARE(Status(dialog), QStringLiteral("The Cancel button was pressed."));
      SaveScreenshot(&dialog, QStringLiteral("progress-backup-expanded-after"));
      QTest::mouseClick(details, Qt::LeftButton);
      SaveScreenshot(&dialog, QStringLiteral("progress-backup-collapsed-after"));
      QTest::mouseClick(cancel, Qt::LeftButton);
    });
    dialog.Run();
    worker.join();
    QCOMPARE(dialog.GetStatus(), CBackupProgressDlg::kCancelPressed);
    QVERIFY(!dialog.isVisible());
  }
};

QTEST_MAIN(TestProgressDialog)
#include "TestProgressDialog.moc"
