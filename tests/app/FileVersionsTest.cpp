// "Versions of this file…" from the content tree's menu, and the side by
// side comparison: each distinct version once with the snapshots that hold
// it, two versions or a version and the file now compared line by line,
// viewing and restoring the chosen version, and a damaged version named
// instead of compared. Also the line pairing itself.
#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "CContentView.h"
#include "CMainFrame.h"
#include "MessageBox.h"
#include "ShellOpen.h"
#include "SizeText.h"
#include "TestDialogsSupport.h"
#include "dialogs/CRestorePath.h"
#include "history/CFileVersionsDlg.h"
#include "history/CTextCompareDlg.h"
#include "history/HistorySource.h"
#include "history/LineDiff.h"
#include "support/HistoryDrive.h"

namespace {

// The rows of a comparison as "kind:left|right" (kind s, c, r or a).
QStringList RowsOf(const std::vector<DiffRow>& rows, const QStringList& left,
                   const QStringList& right) {
  QStringList texts;
  for (const DiffRow& row : rows) {
    const char kind = "scra"[row.kind];
    texts << QStringLiteral("%1:%2|%3")
                 .arg(QChar(kind), row.left >= 0 ? left[row.left] : QString(),
                      row.right >= 0 ? right[row.right] : QString());
  }
  return texts;
}

// The compared lines of an open comparison, as RowsOf writes them without
// the kind.
QStringList ShownRows(CTextCompareDlg* dialog) {
  auto* rows = dialog->findChild<QTreeWidget*>(QStringLiteral("compareRows"));
  QStringList texts;
  for (int i = 0; i < rows->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = rows->topLevelItem(i);
    texts << row->text(CTextCompareDlg::kLeftText) + u'|' + row->text(CTextCompareDlg::kRightText);
  }
  return texts;
}

}  // namespace

class FileVersionsTest : public QObject {
  Q_OBJECT

 private slots:
  void linesArePairedAroundWhatBothHold_data();
  void linesArePairedAroundWhatBothHold();
  void init();
  void cleanup();
  void menuOpensEachVersionWithItsSnapshots();
  void twoVersionsAndNowAreComparedSideBySide();
  void chosenVersionIsViewedAndRestored();
  void filesThatAreNoTextAreOnlySaidToDiffer();
  void damagedVersionIsNamedNotCompared();

 private:
  // Opens the versions of notes.md from the tree's context menu and runs
  // `act` on the dialog, which it closes after.
  void WithVersions(const std::function<void(CFileVersionsDlg*, QTreeWidget*)>& act);

  std::unique_ptr<TestDrive> drive_;
  std::unique_ptr<CMainFrame> frame_;
};

void FileVersionsTest::linesArePairedAroundWhatBothHold_data() {
  QTest::addColumn<QStringList>("left");
  QTest::addColumn<QStringList>("right");
  QTest::addColumn<qlonglong>("maxCells");
  QTest::addColumn<QStringList>("rows");
  const QStringList abc = {"a", "b", "c"};
  QTest::newRow("same") << abc << abc << 100LL << QStringList({"s:a|a", "s:b|b", "s:c|c"});
  QTest::newRow("one changed") << abc << QStringList({"a", "B", "c"}) << 100LL
                               << QStringList({"s:a|a", "c:b|B", "s:c|c"});
  QTest::newRow("added at the end") << abc << QStringList({"a", "b", "c", "d"}) << 100LL
                                    << QStringList({"s:a|a", "s:b|b", "s:c|c", "a:|d"});
  QTest::newRow("removed inside") << QStringList({"a", "x", "y", "b"}) << QStringList({"a", "b"})
                                  << 100LL << QStringList({"s:a|a", "r:x|", "r:y|", "s:b|b"});
  // A shared line inside the differing part is found again.
  QTest::newRow("moved apart") << QStringList({"1", "k", "2"}) << QStringList({"3", "k", "4", "5"})
                               << 100LL << QStringList({"c:1|3", "s:k|k", "c:2|4", "a:|5"});
  QTest::newRow("empty left") << QStringList() << QStringList({"x"}) << 100LL
                              << QStringList({"a:|x"});
  // Beyond the limit the differing parts are paired line by line.
  QTest::newRow("too large") << QStringList({"1", "k", "2"}) << QStringList({"3", "k", "4", "5"})
                             << 4LL << QStringList({"c:1|3", "c:k|k", "c:2|4", "a:|5"});
}

void FileVersionsTest::linesArePairedAroundWhatBothHold() {
  QFETCH(QStringList, left);
  QFETCH(QStringList, right);
  QFETCH(qlonglong, maxCells);
  QFETCH(QStringList, rows);
  QCOMPARE(RowsOf(DiffLines(left, right, maxCells), left, right), rows);
}

void FileVersionsTest::init() {
  drive_ = std::make_unique<TestDrive>();
  QVERIFY(MakeHistory(*drive_));
  frame_ = OpenMainWindow();
  QVERIFY(frame_ != nullptr);
}

void FileVersionsTest::cleanup() {
  frame_.reset();
  drive_.reset();
  SetShellOpenHandler({});
}

void FileVersionsTest::WithVersions(
    const std::function<void(CFileVersionsDlg*, QTreeWidget*)>& act) {
  bool shown = false;
  OnNextModal<CFileVersionsDlg>([&](CFileVersionsDlg* dialog) {
    shown = true;
    act(dialog, dialog->VersionList());
    dialog->reject();
  });
  CContentView* tree = frame_->ContentView();
  QTreeWidgetItem* notes = ItemWithText(tree, QStringLiteral("notes.md"));
  QVERIFY(notes != nullptr);
  ClickItem(tree, notes);
  ChooseFromNextMenu(QStringLiteral("Versi&ons of this file\u2026"));
  QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, tree->visualItemRect(notes).center());
  QTRY_VERIFY(shown);
}

void FileVersionsTest::menuOpensEachVersionWithItsSnapshots() {
  const HistorySource history = HistorySource::Of(frame_->Engine(), 0);
  QStringList rows;
  QString intro;
  WithVersions([&](CFileVersionsDlg* dialog, QTreeWidget* list) {
    intro = TextOf<QLabel>(dialog, "versionsIntroLabel");
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      rows << list->topLevelItem(i)->text(CFileVersionsDlg::kSnapshotsColumn) + u'|' +
                  list->topLevelItem(i)->text(CFileVersionsDlg::kSizeColumn);
    }
    SaveScreenshot(dialog, QStringLiteral("versions"));
  });
  // Newest first; the unchanged file of snapshots 1 and 2 is one version.
  QCOMPARE(rows, QStringList({history.SnapshotText(1) + QStringLiteral(" \u2013 ") +
                                  history.SnapshotText(2) + QStringLiteral(" (2 snapshots)|") +
                                  SizeText(kNotesSecond.size()),
                              history.SnapshotText(0) + u'|' + SizeText(kNotesFirst.size())}));
  QVERIFY2(
      intro.startsWith(QStringLiteral("2 distinct version(s) of ") +
                       QSep(QStringLiteral("docs|notes.md")) + QStringLiteral(" in 3 snapshot(s)")),
      qPrintable(intro));
}

void FileVersionsTest::twoVersionsAndNowAreComparedSideBySide() {
  QStringList both;
  int bothDiffering = -1;
  QStringList withNow;
  QString nowTitle;
  WithVersions([&](CFileVersionsDlg* dialog, QTreeWidget* list) {
    auto* compare = dialog->findChild<QPushButton*>(QStringLiteral("compareButton"));
    auto* compareNow = dialog->findChild<QPushButton*>(QStringLiteral("compareNowButton"));
    ClickItem(list, list->topLevelItem(0));
    QVERIFY(!compare->isEnabled());
    ClickItem(list, list->topLevelItem(1), Qt::ControlModifier);
    QVERIFY(compare->isEnabled());
    QVERIFY(!compareNow->isEnabled());
    OnNextModal<CTextCompareDlg>([&](CTextCompareDlg* shown) {
      both = ShownRows(shown);
      bothDiffering = shown->DifferingRows();
      SaveScreenshot(shown, QStringLiteral("compare-versions"));
      shown->reject();
    });
    QTest::mouseClick(compare, Qt::LeftButton);

    ClickItem(list, list->topLevelItem(0));
    QVERIFY(compareNow->isEnabled());
    OnNextModal<CTextCompareDlg>([&](CTextCompareDlg* shown) {
      withNow = ShownRows(shown);
      nowTitle = shown->findChild<QTreeWidget*>(QStringLiteral("compareRows"))
                     ->headerItem()
                     ->text(CTextCompareDlg::kRightText);
      QCOMPARE(TextOf<QLabel>(shown, "compareSummaryLabel"), QStringLiteral("1 line(s) differ."));
      shown->reject();
    });
    QTest::mouseClick(compareNow, Qt::LeftButton);
  });
  // The older version on the left.
  QCOMPARE(both, QStringList({"one|one", "two|TWO", "three|three", "|four"}));
  QCOMPARE(bothDiffering, 2);
  QCOMPARE(withNow, QStringList({"one|one", "TWO|TWO", "three|three", "four|four", "|five"}));
  QCOMPARE(nowTitle, QStringLiteral("Now"));
}

void FileVersionsTest::chosenVersionIsViewedAndRestored() {
  const HistorySource history = HistorySource::Of(frame_->Engine(), 0);
  QByteArray viewed;
  SetShellOpenHandler([&](const QString& path) {
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) viewed = file.readAll();
    return true;
  });
  QString restoring;
  WithVersions([&](CFileVersionsDlg* dialog, QTreeWidget* list) {
    // A double click views the older version.
    QTreeWidgetItem* older = list->topLevelItem(1);
    DoubleClickItem(list, older);
    OnNextModal<CRestorePath>([&](CRestorePath* restore) {
      restoring = TextOf<QLabel>(restore, "restoreWhatLabel");
      restore->reject();
    });
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("restoreButton")),
                      Qt::LeftButton);
  });
  QCOMPARE(viewed, kNotesFirst);
  QCOMPARE(restoring, QStringLiteral("Restore %1 from the snapshot of %2.")
                          .arg(QSep(QStringLiteral("docs|notes.md")), history.SnapshotText(0)));
}

void FileVersionsTest::filesThatAreNoTextAreOnlySaidToDiffer() {
  QVERIFY(CTextCompareDlg::IsText("plain\n"));
  QVERIFY(!CTextCompareDlg::IsText(QByteArray("a\0b", 3)));
  QVERIFY(!CTextCompareDlg::IsText("\xff\xfe broken"));
  CTextCompareDlg different(QStringLiteral("photo.bin"),
                            {QStringLiteral("left"), QByteArray("\x89PNG\0\1", 6)},
                            {QStringLiteral("right"), QByteArray("\x89PNG\0\2\3", 7)}, nullptr);
  QCOMPARE(different.DifferingRows(), 1);
  QCOMPARE(TextOf<QLabel>(&different, "compareSummaryLabel"),
           QStringLiteral("photo.bin is not a text file; the two versions differ (%1 and %2).")
               .arg(SizeText(6), SizeText(7)));
  CTextCompareDlg same(QStringLiteral("photo.bin"), {QStringLiteral("left"), QByteArray("\0", 1)},
                       {QStringLiteral("right"), QByteArray("\0", 1)}, nullptr);
  QCOMPARE(same.DifferingRows(), 0);
}

void FileVersionsTest::damagedVersionIsNamedNotCompared() {
  // The stored bytes of the oldest notes.md are broken: a file this small
  // is kept in the block file, a larger one in the data file.
  int broken = 0;
  QDirIterator stores(drive_->Folder(), {QStringLiteral("file"), QStringLiteral("file.fp")},
                      QDir::Files, QDirIterator::Subdirectories);
  while (stores.hasNext()) {
    QFile data(stores.next());
    QVERIFY(data.open(QIODevice::ReadWrite));
    const qsizetype at = data.readAll().indexOf(kNotesFirst);
    if (at < 0) continue;
    data.seek(at);
    data.write("ONE");
    ++broken;
  }
  QCOMPARE(broken, 1);

  bool compared = false;
  MessageBox::ClearLastText();
  MessageBox::SetNextAnswer(QMessageBox::Ok);
  WithVersions([&](CFileVersionsDlg* dialog, QTreeWidget* list) {
    // A comparison that opened in spite of the damage is closed, and counted.
    auto* watch = new QTimer(dialog);
    connect(watch, &QTimer::timeout, dialog, [&] {
      if (auto* shown = qobject_cast<CTextCompareDlg*>(QApplication::activeModalWidget())) {
        compared = true;
        shown->reject();
      }
    });
    watch->start(10);
    ClickItem(list, list->topLevelItem(0));
    ClickItem(list, list->topLevelItem(1), Qt::ControlModifier);
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("compareButton")),
                      Qt::LeftButton);
  });
  QVERIFY(!compared);
  const QString said = MessageBox::LastText();
  QVERIFY2(said.startsWith(QStringLiteral("The version from %1 could not be read.")
                               .arg(HistorySource::Of(frame_->Engine(), 0).SnapshotText(0))),
           qPrintable(said));
  QVERIFY2(said.contains(SourceFile(*drive_, QStringLiteral("notes.md"))), qPrintable(said));
}

QTEST_MAIN(FileVersionsTest)
#include "FileVersionsTest.moc"
