// The windows that find versions, in English and in German: the search over
// the content tree, Find in all snapshots, a file's versions, two versions
// side by side, a version beside the file as it is now, and a folder compared
// with now and with another snapshot. Each is photographed in both
// languages (set MARROWBY_SCREENSHOTS) and shows its texts in the language in
// use.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "AppStrings.h"
#include "CContentView.h"
#include "CMainFrame.h"
#include "TestDialogsSupport.h"
#include "history/CFileVersionsDlg.h"
#include "history/CFindVersionsDlg.h"
#include "history/CFolderCompareDlg.h"
#include "history/CTextCompareDlg.h"
#include "history/HistorySource.h"
#include "resources/ResourceIds.h"
#include "support/GermanLanguage.h"
#include "support/HistoryDrive.h"

class HistoryWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void windowsInBothLanguages_data();
  void windowsInBothLanguages();

 private:
  // Shows `window`, photographs it as `name` and hides it again.
  void Photograph(QWidget* window, const QString& name);

  std::unique_ptr<TestDrive> drive_;
  GermanLanguage german_;
};

void HistoryWindowsTest::initTestCase() {
  drive_ = std::make_unique<TestDrive>();
  QVERIFY(MakeHistory(*drive_));
  QVERIFY(german_.Load());
}

void HistoryWindowsTest::cleanupTestCase() {
  german_.Use(false);
}

void HistoryWindowsTest::Photograph(QWidget* window, const QString& name) {
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window));
  SaveScreenshot(window, name);
  window->hide();
}

void HistoryWindowsTest::windowsInBothLanguages_data() {
  QTest::addColumn<bool>("german");
  QTest::newRow("English") << false;
  QTest::newRow("German") << true;
}

void HistoryWindowsTest::windowsInBothLanguages() {
  QFETCH(bool, german);
  german_.Use(german);
  const QString shot = german ? QStringLiteral("de-") : QStringLiteral("en-");

  CMainFrame frame;
  frame.resize(860, 560);
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  auto* search = frame.findChild<QLineEdit*>(QStringLiteral("contentSearchEdit"));
  QCOMPARE(search->placeholderText(), german
                                          ? QStringLiteral("Diesen Snapshot nach Namen durchsuchen")
                                          : QStringLiteral("Search this snapshot by name"));
  auto* findAll = frame.findChild<QToolButton*>(QStringLiteral("findInAllSnapshotsButton"));
  QCOMPARE(findAll->text(), german ? QStringLiteral("In allen Snapshots suchen")
                                   : QStringLiteral("Find in all snapshots"));
  search->setFocus();
  QTest::keyClicks(search, QStringLiteral("txt"));
  QTest::keyClick(search, Qt::Key_Return);
  QCOMPARE(frame.ContentView()->FilterMatches(), 3);
  SaveScreenshot(&frame, shot + QStringLiteral("search"));
  QMenu* actions = frame.menuBar()->actions().at(1)->menu();
  actions->popup(frame.mapToGlobal(QPoint(60, 20)));
  QVERIFY(QTest::qWaitForWindowExposed(actions));
  SaveScreenshot(actions, shot + QStringLiteral("actions-menu"));
  actions->hide();

  const HistorySource history = HistorySource::Of(frame.Engine(), 0);
  CFindVersionsDlg find(history, QStringLiteral("notes"), &frame);
  QCOMPARE(TextOf<QLabel>(&find, "findSummaryLabel"),
           german ? QStringLiteral("2 Version(en) von 1 Element(en) in 3 Snapshot(s).")
                  : QStringLiteral("2 version(s) of 1 item(s) in 3 snapshot(s)."));
  Photograph(&find, shot + QStringLiteral("find-in-all-snapshots"));

  const QString notes = QSep(QStringLiteral("docs|notes.md"));
  CFileVersionsDlg versions(history, notes, &frame);
  versions.VersionList()->topLevelItem(0)->setSelected(true);
  Photograph(&versions, shot + QStringLiteral("versions"));

  CTextCompareDlg compare(notes, {history.SnapshotText(0), kNotesFirst},
                          {history.SnapshotText(2), kNotesSecond}, &frame);
  QCOMPARE(TextOf<QLabel>(&compare, "compareSummaryLabel"),
           german ? QStringLiteral("2 Zeile(n) unterscheiden sich.")
                  : QStringLiteral("2 line(s) differ."));
  Photograph(&compare, shot + QStringLiteral("compare-side-by-side"));
  CTextCompareDlg withNow(notes, {history.SnapshotText(2), kNotesSecond},
                          {LoadString(marrowby::ids::kNowSide), kNotesNow}, &frame);
  QCOMPARE(TextOf<QLabel>(&withNow, "compareSummaryLabel"),
           german ? QStringLiteral("1 Zeile(n) unterscheiden sich.")
                  : QStringLiteral("1 line(s) differ."));
  Photograph(&withNow, shot + QStringLiteral("compare-with-now"));

  CFolderCompareDlg folder(history, QStringLiteral("docs"), 2, std::nullopt, &frame);
  QCOMPARE(folder.findChild<QComboBox*>(QStringLiteral("compareWithComboBox"))->currentText(),
           german ? QStringLiteral("dem Ordner, wie er jetzt ist")
                  : QStringLiteral("the folder as it is now"));
  QCOMPARE(folder.ChangeList()->topLevelItemCount(), 3);
  Photograph(&folder, shot + QStringLiteral("folder-compare"));

  // Against the oldest snapshot: a removed file shows, and can be restored.
  CFolderCompareDlg older(history, QStringLiteral("docs"), 2, 0, &frame);
  QCOMPARE(older.ChangeList()->topLevelItemCount(), 4);
  Photograph(&older, shot + QStringLiteral("folder-compare-with-snapshot"));
}

QTEST_MAIN(HistoryWindowsTest)
#include "HistoryWindowsTest.moc"
