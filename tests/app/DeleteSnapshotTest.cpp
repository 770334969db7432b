// Delete Snapshot from the snapshot list against the real engine: the
// confirmation, the forget, the offer to compact, the compaction in the
// progress window and what the list, the store files and the gauge show after.
#include <unistd.h>

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QProgressBar>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "AppStrings.h"
#include "CContentView.h"
#include "CMainFrame.h"
#include "CSnapshotView.h"
#include "MessageBox.h"
#include "TestDialogsSupport.h"
#include "resources/ResourceIds.h"
#include "support/TestDrive.h"

using namespace marrowby;

namespace {

constexpr int kRoundBytes = 256 << 10;
constexpr qint64 kEntryBytes = 2088;        // one entry of the snapshot file
constexpr qint64 kFiguresRecordBytes = 80;  // one record of the figures sidecar

// Every file of the drive's storage by its path below it, with its hash.
QMap<QString, QByteArray> StoreDigests(const QString& drive) {
  QMap<QString, QByteArray> digests;
  const QString storage = drive + QStringLiteral("BackupStorage");
  QDirIterator it(storage, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    QFile file(it.next());
    if (!file.open(QIODevice::ReadOnly)) continue;
    digests.insert(file.fileName().mid(storage.size()),
                   QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256));
  }
  return digests;
}

QMap<QString, qint64> StoreSizes(const QString& drive) {
  QMap<QString, qint64> sizes;
  const QString storage = drive + QStringLiteral("BackupStorage");
  QDirIterator it(storage, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    it.next();
    sizes.insert(it.filePath().mid(storage.size()), it.fileInfo().size());
  }
  return sizes;
}

qint64 Total(const QMap<QString, qint64>& sizes) {
  qint64 total = 0;
  for (qint64 size : sizes) total += size;
  return total;
}

QString SnapshotFileOf(const QMap<QString, qint64>& sizes) {
  for (auto it = sizes.constBegin(); it != sizes.constEnd(); ++it) {
    if (it.key().endsWith(QStringLiteral("file.snp"))) return it.key();
  }
  return QString();
}

QString FiguresFileOf(const QString& snapshotFile) {
  return QString(snapshotFile).replace(QStringLiteral("file.snp"), QStringLiteral("file.figures"));
}

// Bytes that differ from round to round, so that a forgotten snapshot holds
// blocks no other one has.
QByteArray Noise(int seed) {
  QByteArray bytes(kRoundBytes, '\0');
  quint32 state = 2654435761u * static_cast<quint32>(seed + 1);
  for (char& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

}  // namespace

class DeleteSnapshotTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup();
  void cancelAtTheConfirmationChangesNothing();
  void yesForgetsThatSnapshotAndDecliningKeepsTheSizes();
  void acceptedCompactionShrinksTheFilesAndMovesTheGauge();
  void damagedRowCanBeDeleted();
  void refusedCompactionShowsTheMessageInTheWindow();

 private:
  // A selection of three snapshots, each with its own round<k>.bin, and the
  // window on it; `parent` as for TestDrive.
  void OpenDrive(const QString& parent = QString());
  void OpenWindow();
  // The files of the snapshot in row `row` of the list (0 = newest).
  QStringList FilesOfRow(int row);
  QStringList StoredTexts();
  void SelectRow(int row);

  std::unique_ptr<TestDrive> drive_;
  std::unique_ptr<CMainFrame> frame_;
};

void DeleteSnapshotTest::cleanup() {
  frame_.reset();
  drive_.reset();
}

void DeleteSnapshotTest::OpenDrive(const QString& parent) {
  drive_ = std::make_unique<TestDrive>(parent);
  QVERIFY(drive_->AddSelection(L"Documents", QStringLiteral("docs"),
                               {QStringLiteral("notes.md"), QStringLiteral("round0.bin")}, 1));
  OpenWindow();
  const QString source = drive_->SourceRoot() + QStringLiteral("docs") + QSep(QStringLiteral("|"));
  for (int round = 1; round <= 2; ++round) {
    QFile::remove(source + QStringLiteral("round%1.bin").arg(round - 1));
    QFile file(source + QStringLiteral("round%1.bin").arg(round));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Noise(round));
    file.close();
    QVERIFY(frame_->Engine()->BackUp(0));
  }
  QVERIFY(frame_->Engine()->RefreshSnapshots(0));
  frame_->FillSnapshotList();
  QCOMPARE(frame_->SnapshotView()->topLevelItemCount(), 3);
}

void DeleteSnapshotTest::OpenWindow() {
  frame_ = std::make_unique<CMainFrame>();
  frame_->resize(900, 620);
  frame_->show();
  QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
}

QStringList DeleteSnapshotTest::FilesOfRow(int row) {
  SelectRow(row);
  QStringList names;
  QTreeWidgetItem* root = frame_->ContentView()->topLevelItem(0);
  for (int i = 0; root != nullptr && i < root->childCount(); ++i) names << root->child(i)->text(0);
  names.sort();
  return names;
}

QStringList DeleteSnapshotTest::StoredTexts() {
  QStringList texts;
  CSnapshotView* view = frame_->SnapshotView();
  for (int row = 0; row < view->topLevelItemCount(); ++row) {
    SelectRow(row);
    std::wstring text;
    view->Selected(&text);
    texts << ToQString(text);
  }
  return texts;
}

void DeleteSnapshotTest::SelectRow(int row) {
  CSnapshotView* view = frame_->SnapshotView();
  view->setCurrentItem(view->topLevelItem(row));
}

void DeleteSnapshotTest::cancelAtTheConfirmationChangesNothing() {
  OpenDrive();
  const QMap<QString, QByteArray> before = StoreDigests(drive_->Folder());
  const QStringList texts = StoredTexts();
  SelectRow(1);
  const QString shown = frame_->SnapshotView()->SelectedText();
  MessageBox::SetNextAnswer(QMessageBox::No);
  frame_->OnCommand(cmd::kDeleteSnapshot);
  // The question names the snapshot as the list shows it, and the selection.
  QVERIFY2(MessageBox::LastText().startsWith(QStringLiteral("The snapshot from ") + shown +
                                             QStringLiteral(" will be deleted from the Backup "
                                                            "Selection Documents.")),
           qPrintable(MessageBox::LastText()));
  QCOMPARE(StoredTexts(), texts);
  QCOMPARE(StoreDigests(drive_->Folder()), before);
}

void DeleteSnapshotTest::yesForgetsThatSnapshotAndDecliningKeepsTheSizes() {
  OpenDrive();
  const QMap<QString, qint64> before = StoreSizes(drive_->Folder());
  QStringList texts = StoredTexts();
  const QStringList newest = FilesOfRow(0);
  const QStringList oldest = FilesOfRow(2);
  QCOMPARE(newest, QStringList({QStringLiteral("notes.md"), QStringLiteral("round2.bin")}));

  SelectRow(1);
  MessageBox::SetNextAnswer(QMessageBox::Yes);
  MessageBox::SetNextAnswer(QMessageBox::No);
  frame_->OnCommand(cmd::kDeleteSnapshot);
  QCOMPARE(MessageBox::LastText(), LoadString(ids::kOfferCompact));
  texts.removeAt(1);
  QCOMPARE(StoredTexts(), texts);
  QCOMPARE(FilesOfRow(0), newest);
  QCOMPARE(FilesOfRow(1), oldest);

  // Only the snapshot file lost an entry, and the figures its record; the
  // rest waits for a compaction.
  QMap<QString, qint64> after = StoreSizes(drive_->Folder());
  const QString snapshots = SnapshotFileOf(before);
  QCOMPARE(after.value(snapshots), before.value(snapshots) - kEntryBytes);
  after.insert(snapshots, before.value(snapshots));
  const QString figures =
      QString(snapshots).replace(QStringLiteral(".snp"), QStringLiteral(".figures"));
  QCOMPARE(after.value(figures), before.value(figures) - kFiguresRecordBytes);
  after.insert(figures, before.value(figures));
  QCOMPARE(after, before);
}

void DeleteSnapshotTest::acceptedCompactionShrinksTheFilesAndMovesTheGauge() {
  OpenDrive();
  const qint64 before = Total(StoreSizes(drive_->Folder()));
  frame_->Engine()->SetMaxBackupSize(before * 2);
  frame_->UpdateStatusBar();
  auto* gauge = frame_->findChild<QProgressBar*>(QStringLiteral("storageGauge"));
  const int gaugeBefore = gauge->value();
  QVERIFY(gaugeBefore > 400);
  const QStringList oldest = FilesOfRow(2);

  SelectRow(1);
  MessageBox::SetNextAnswer(QMessageBox::Yes);
  MessageBox::SetNextAnswer(QMessageBox::Yes);
  ProgressCloser closer(frame_.get(), QStringLiteral("progress-compact"));
  frame_->OnCommand(cmd::kDeleteSnapshot);
  QCOMPARE(closer.Closed(), 1);
  QCOMPARE(closer.LastStatus(), CBackupProgressDlg::kCompleted);
  QCOMPARE(closer.LastStatusText(), QStringLiteral("Compaction of Documents completed."));

  // The forgotten round's blocks are gone, the others stay readable.
  const qint64 after = Total(StoreSizes(drive_->Folder()));
  QVERIFY2(after <= before - kRoundBytes,
           qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(after)));
  QVERIFY(gauge->value() < gaugeBefore);
  QCOMPARE(frame_->SnapshotView()->topLevelItemCount(), 2);
  QCOMPARE(FilesOfRow(0), QStringList({QStringLiteral("notes.md"), QStringLiteral("round2.bin")}));
  QCOMPARE(FilesOfRow(1), oldest);
}

void DeleteSnapshotTest::damagedRowCanBeDeleted() {
  OpenDrive();
  frame_.reset();
  // The oldest entry is damaged; the two newer ones are sound.
  const QString snapshots = drive_->Folder() + QStringLiteral("BackupStorage") +
                            SnapshotFileOf(StoreSizes(drive_->Folder()));
  QFile file(snapshots);
  QCOMPARE(file.size(), 3 * kEntryBytes);
  QVERIFY(file.open(QIODevice::ReadWrite));
  file.seek(100);
  file.write(QByteArray(500, '\0'));
  file.close();
  OpenWindow();
  CSnapshotView* view = frame_->SnapshotView();
  QCOMPARE(view->topLevelItem(2)->text(0), LoadString(ids::kDamagedSnapshot));

  SelectRow(2);
  MessageBox::SetNextAnswer(QMessageBox::Yes);
  MessageBox::SetNextAnswer(QMessageBox::No);
  frame_->OnCommand(cmd::kDeleteSnapshot);
  QCOMPARE(view->topLevelItemCount(), 2);
  for (int row = 0; row < 2; ++row) {
    QVERIFY(view->topLevelItem(row)->text(0) != LoadString(ids::kDamagedSnapshot));
  }
  QCOMPARE(FilesOfRow(1), QStringList({QStringLiteral("notes.md"), QStringLiteral("round1.bin")}));
}

void DeleteSnapshotTest::refusedCompactionShowsTheMessageInTheWindow() {
  if (geteuid() != 0) QSKIP("mounting a small file system needs root");
  QTemporaryDir mountPoint;
  QVERIFY(mountPoint.isValid());
  if (QProcess::execute(QStringLiteral("mount"),
                        {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                         QStringLiteral("size=8m"), QStringLiteral("tmpfs"), mountPoint.path()}) !=
      0) {
    QSKIP("no tmpfs could be mounted");
  }
  auto unmount = qScopeGuard([&] {
    frame_.reset();
    drive_.reset();
    QProcess::execute(QStringLiteral("umount"), {mountPoint.path()});
  });
  OpenDrive(mountPoint.path());
  const QMap<QString, QByteArray> before = StoreDigests(drive_->Folder());

  // Room for the forget's new snapshot file, not for the data kept.
  QFile filler(mountPoint.path() + QStringLiteral("/filler.bin"));
  QVERIFY(filler.open(QIODevice::WriteOnly));
  const QByteArray chunk(64 << 10, 'f');
  const qint64 room = QStorageInfo(mountPoint.path()).bytesAvailable();
  for (qint64 written = 0; written + chunk.size() < room - (64 << 10);) {
    written += filler.write(chunk);
  }
  filler.close();

  SelectRow(1);
  MessageBox::SetNextAnswer(QMessageBox::Yes);
  MessageBox::SetNextAnswer(QMessageBox::Yes);
  MessageBox::SetNextAnswer(QMessageBox::Ok);  // the progress window's error box
  ProgressCloser closer(frame_.get(), QStringLiteral("progress-compact-refused"));
  frame_->OnCommand(cmd::kDeleteSnapshot);
  QCOMPARE(closer.Closed(), 1);
  QCOMPARE(closer.LastStatus(), CBackupProgressDlg::kFailed);
  const QString status = closer.LastStatusText();
  QVERIFY2(status.startsWith(QStringLiteral("Compaction of Documents not completed due to: "
                                            "Compacting needs ")),
           qPrintable(status));
  QVERIFY2(status.contains(QStringLiteral("bytes are available. Nothing was changed.")),
           qPrintable(status));

  // Only the forget wrote: the snapshot file lost its entry and the figures
  // its record, nothing else moved.
  QMap<QString, QByteArray> after = StoreDigests(drive_->Folder());
  const QString snapshots = SnapshotFileOf(StoreSizes(drive_->Folder()));
  const QString figures = FiguresFileOf(snapshots);
  QVERIFY(after.value(snapshots) != before.value(snapshots));
  QVERIFY(after.value(figures) != before.value(figures));
  after.insert(snapshots, before.value(snapshots));
  after.insert(figures, before.value(figures));
  QCOMPARE(after, before);
  QCOMPARE(frame_->SnapshotView()->topLevelItemCount(), 2);
  QCOMPARE(FilesOfRow(1), QStringList({QStringLiteral("notes.md"), QStringLiteral("round0.bin")}));
}

QTEST_MAIN(DeleteSnapshotTest)
#include "DeleteSnapshotTest.moc"
