// The snapshot list's columns: what each snapshot holds, what its backup
// stored, and a mark whose tooltip says what the backup left out; snapshots
// taken before backups recorded those figures say so instead of failing.
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <memory>

#include "CMainFrame.h"
#include "CSnapshotView.h"
#include "support/TestDrive.h"
#include "vaultline/Path.h"
#include "vaultline/Vaultline.h"

class SnapshotListTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void eachRowTellsWhatItsSnapshotHoldsStoredAndLeftOut();
  void snapshotsWithoutRecordedFiguresShowWhatIsKnown();

 private:
  void OpenWindow();
  // The tooltip shown where the mouse rests on the cell.
  QString ToolTipAt(QTreeWidgetItem* row, int column);
  QString FiguresFile() const;

  std::unique_ptr<TestDrive> drive_;
  std::unique_ptr<CMainFrame> frame_;
};

namespace {

// A file written an hour ago: older than any snapshot, so that one taken at
// once knows it unchanged the next time.
void WriteOld(const QString& path, const QByteArray& contents) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(contents);
  QVERIFY(file.flush());
  QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                           QFileDevice::FileModificationTime));
}

}  // namespace

void SnapshotListTest::init() {
  drive_ = std::make_unique<TestDrive>();
  const QString source = drive_->SourceRoot() + QStringLiteral("docs");
  QVERIFY(QDir().mkpath(source));
  for (const char* name : {"a.txt", "b.txt"}) {
    WriteOld(source + QSep(QStringLiteral("|")) + QLatin1String(name),
             QByteArray("contents of ") + name);
  }
  QVERIFY(drive_->AddSelection(L"Documents", QStringLiteral("docs"), {}, 1));
  // A second snapshot with two new files, one of them over the size limit.
  WriteOld(source + QSep(QStringLiteral("|film.mkv")), QByteArray(5000, 'f'));
  const std::wstring root = vaultline::platform::DeviceRootOf(drive_->Folder().toStdWString());
  IVaultline* engine = InitializeT(nullptr, root.c_str(), 1, 0, 2);
  QVERIFY(engine != nullptr);
  engine->SetMaxFileSize(1000);
  Cleanup(engine);
  QVERIFY(drive_->AddSnapshot(0, QStringLiteral("docs"), {QStringLiteral("c.txt")}));
}

void SnapshotListTest::cleanup() {
  frame_.reset();
  drive_.reset();
}

void SnapshotListTest::OpenWindow() {
  frame_ = std::make_unique<CMainFrame>();
  frame_->resize(900, 620);
  frame_->show();
  QApplication::setActiveWindow(frame_.get());
  QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
}

QString SnapshotListTest::ToolTipAt(QTreeWidgetItem* row, int column) {
  CSnapshotView* list = frame_->SnapshotView();
  const QRect cell = list->visualRect(list->indexFromItem(row, column));
  if (cell.isEmpty()) return QStringLiteral("(not shown)");
  QTest::mouseMove(list->viewport(), cell.center());
  QHelpEvent event(QEvent::ToolTip, cell.center(), list->viewport()->mapToGlobal(cell.center()));
  QApplication::sendEvent(list->viewport(), &event);
  return QToolTip::isVisible() ? QToolTip::text() : QString();
}

QString SnapshotListTest::FiguresFile() const {
  QDirIterator files(drive_->Folder(), {QStringLiteral("file.figures")}, QDir::Files,
                     QDirIterator::Subdirectories);
  return files.hasNext() ? files.next() : QString();
}

void SnapshotListTest::eachRowTellsWhatItsSnapshotHoldsStoredAndLeftOut() {
  OpenWindow();
  CSnapshotView* list = frame_->SnapshotView();
  QCOMPARE(list->topLevelItemCount(), 2);
  QCOMPARE(list->headerItem()->text(CSnapshotView::kNewDataColumn), QStringLiteral("New data"));
  QTreeWidgetItem* newest = list->topLevelItem(0);
  QTreeWidgetItem* oldest = list->topLevelItem(1);
  // "contents of a.txt" and its like: 17 bytes each.
  QCOMPARE(oldest->text(CSnapshotView::kFilesColumn), QStringLiteral("2"));
  QCOMPARE(oldest->text(CSnapshotView::kSizeColumn), QStringLiteral("34 bytes"));
  QCOMPARE(newest->text(CSnapshotView::kFilesColumn), QStringLiteral("3"));
  QCOMPARE(newest->text(CSnapshotView::kSizeColumn), QStringLiteral("51 bytes"));
  QCOMPARE(ToolTipAt(newest, CSnapshotView::kFilesColumn),
           QStringLiteral("1 new or changed, 2 unchanged"));
  // The first snapshot stored everything, the second little beside it.
  for (QTreeWidgetItem* row : {newest, oldest}) {
    QVERIFY2(row->text(CSnapshotView::kNewDataColumn).endsWith(QStringLiteral("KB")),
             qPrintable(row->text(CSnapshotView::kNewDataColumn)));
  }

  // Only the snapshot that left the film out is marked, and says why.
  QVERIFY(oldest->text(CSnapshotView::kSkippedColumn).isEmpty());
  QVERIFY(oldest->icon(CSnapshotView::kSkippedColumn).isNull());
  QCOMPARE(newest->text(CSnapshotView::kSkippedColumn), QStringLiteral("1"));
  QVERIFY(!newest->icon(CSnapshotView::kSkippedColumn).isNull());
  QCOMPARE(ToolTipAt(newest, CSnapshotView::kSkippedColumn),
           QStringLiteral("This backup left out 1 item(s):\n1 over the size limit"));
  SaveScreenshot(frame_.get(), QStringLiteral("snapshot-list-columns"));
}

void SnapshotListTest::snapshotsWithoutRecordedFiguresShowWhatIsKnown() {
  QVERIFY(QFile::remove(FiguresFile()));
  OpenWindow();
  CSnapshotView* list = frame_->SnapshotView();
  QCOMPARE(list->topLevelItemCount(), 2);
  QTreeWidgetItem* newest = list->topLevelItem(0);
  QCOMPARE(newest->text(CSnapshotView::kFilesColumn), QStringLiteral("3"));
  QCOMPARE(newest->text(CSnapshotView::kSizeColumn), QStringLiteral("51 bytes"));
  QCOMPARE(newest->text(CSnapshotView::kNewDataColumn), QStringLiteral("unknown"));
  QCOMPARE(newest->text(CSnapshotView::kSkippedColumn), QStringLiteral("unknown"));
  QCOMPARE(ToolTipAt(newest, CSnapshotView::kSkippedColumn),
           QStringLiteral("Taken before backups recorded what they left out."));
  // Counted once, the figures are kept for the next start.
  QVERIFY(QFile::exists(FiguresFile()));
}

QTEST_MAIN(SnapshotListTest)
#include "SnapshotListTest.moc"
