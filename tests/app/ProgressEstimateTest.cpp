// The share and the time left shown under the progress bar, and the desktop
// notification at the end of an operation the user was not watching.
#include <QLabel>
#include <QTest>
#include <cmath>

#include "DesktopNotification.h"
#include "progress/CBackupProgressDlg.h"
#include "progress/RemainingTime.h"

class ProgressEstimateTest : public QObject {
  Q_OBJECT

 private slots:
  void timeLeftFollowsTheSmoothedReadingRate();
  void finishedOperationNotifiesOnlyWhenUnwatched();
};

void ProgressEstimateTest::timeLeftFollowsTheSmoothedReadingRate() {
  RemainingTime remaining;
  remaining.Start(1000000, 0);
  QCOMPARE(remaining.Percent(), 0);
  QCOMPARE(remaining.SecondsLeft(), -1);  // no rate yet

  // Reports closer together than a sample only move the share.
  remaining.Update(100, 100);
  QCOMPARE(remaining.SecondsLeft(), -1);
  remaining.Update(100000, 1000);  // 100 bytes per ms
  QCOMPARE(remaining.Percent(), 10);
  QCOMPARE(remaining.SecondsLeft(), 9);

  // The engine repeats a file's start position once the file is read: ignored.
  remaining.Update(50000, 1200);
  QCOMPARE(remaining.Percent(), 10);

  // A burst (a quick run of small files) moves the rate only part of the way.
  remaining.Update(600000, 2000);  // 500 bytes per ms over this sample
  const double rate = 0.3 * 500 + 0.7 * 100;
  QCOMPARE(remaining.Percent(), 60);
  QCOMPARE(remaining.SecondsLeft(), static_cast<int64_t>(std::ceil(400000 / rate / 1000)));

  // A stall brings the estimate up, never to "unknown".
  remaining.Update(600000, 4000);
  QVERIFY(remaining.SecondsLeft() > 2);

  // Beyond the total (a file grew) is the total.
  remaining.Update(2000000, 5000);
  QCOMPARE(remaining.Percent(), 100);
  QCOMPARE(remaining.SecondsLeft(), 0);

  // Nothing to read: no share and no estimate.
  remaining.Start(0, 6000);
  remaining.Update(10, 7000);
  QCOMPARE(remaining.Percent(), 0);
  QCOMPARE(remaining.SecondsLeft(), -1);
}

void ProgressEstimateTest::finishedOperationNotifiesOnlyWhenUnwatched() {
  QStringList notes;
  SetDesktopNotificationHandler(
      [&](const QString& title, const QString& text) { notes << title + u'|' + text; });
  CBackupProgressDlg progress(nullptr);
  progress.SetCaption(QStringLiteral("Snapshot Backup: Photos"));
  progress.Prepare(CBackupProgressDlg::kBackupMode, std::wstring());
  progress.SetItemName(QStringLiteral("Photos"));
  progress.OnTotalSize(10);
  progress.OnFinished(L"");
  QCOMPARE(
      notes,
      QStringList(QStringLiteral("Snapshot Backup: Photos|Snapshot Backup of Photos Completed")));
  QCOMPARE(progress.findChild<QLabel*>(QStringLiteral("progressText"))->text(),
           QStringLiteral("100 %"));

  // Watched to the end: the window itself tells.
  notes.clear();
  progress.Prepare(CBackupProgressDlg::kRestoreMode, std::wstring());
  progress.SetDestinationFreeSpace(100);
  progress.show();
  progress.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&progress));
  progress.OnTotalSize(10);
  progress.OnFinished(L"");
  QVERIFY(notes.isEmpty());

  // A cancelled backup does not claim to be whole.
  progress.Prepare(CBackupProgressDlg::kBackupMode, std::wstring());
  progress.OnTotalSize(1000);
  progress.OnProgress(250, 0);
  QTRY_COMPARE(progress.findChild<QLabel*>(QStringLiteral("progressText"))->text(),
               QStringLiteral("25 %"));
  progress.reject();
  progress.OnFinished(L"");
  QCOMPARE(progress.findChild<QLabel*>(QStringLiteral("progressText"))->text(),
           QStringLiteral("25 %"));
  SetDesktopNotificationHandler({});
}

QTEST_MAIN(ProgressEstimateTest)
#include "ProgressEstimateTest.moc"
