// "Compare with now" and "Compare with snapshot…" on a folder, from the
// content tree's menu by key: what was added, removed and changed below the
// folder, another snapshot chosen in the dialog, a removed file restored from
// the snapshot that holds it, and a changed text file compared.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "CContentView.h"
#include "CMainFrame.h"
#include "CSnapshotView.h"
#include "TestDialogsSupport.h"
#include "dialogs/CRestorePath.h"
#include "history/CFolderCompareDlg.h"
#include "history/CTextCompareDlg.h"
#include "history/HistorySource.h"
#include "support/HistoryDrive.h"

class FolderCompareTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void withNowListsWhatChangedSince();
  void anotherSnapshotIsChosenAndARemovedFileRestored();
  void subfolderShowsOnlyWhatIsBelowIt();

 private:
  // Selects the tree item `name`, opens its menu by key and presses
  // `mnemonic`; runs `act` on the compare dialog, then closes it.
  void Compare(const QString& name, Qt::Key mnemonic,
               const std::function<void(CFolderCompareDlg*)>& act);
  static QStringList Rows(CFolderCompareDlg* dialog);

  std::unique_ptr<TestDrive> drive_;
  std::unique_ptr<CMainFrame> frame_;
};

void FolderCompareTest::init() {
  drive_ = std::make_unique<TestDrive>();
  QVERIFY(MakeHistory(*drive_));
  frame_ = OpenMainWindow();
  QVERIFY(frame_ != nullptr);
}

void FolderCompareTest::cleanup() {
  frame_.reset();
  drive_.reset();
}

void FolderCompareTest::Compare(const QString& name, Qt::Key mnemonic,
                                const std::function<void(CFolderCompareDlg*)>& act) {
  bool shown = false;
  OnNextModal<CFolderCompareDlg>([&](CFolderCompareDlg* dialog) {
    shown = true;
    act(dialog);
    dialog->reject();
  });
  CContentView* tree = frame_->ContentView();
  QTreeWidgetItem* item = tree->topLevelItem(0);
  if (!name.isEmpty()) item = ItemWithText(tree, name);
  QVERIFY(item != nullptr);
  ClickItem(tree, item);
  QTimer::singleShot(0, [mnemonic] {
    if (QWidget* menu = QApplication::activePopupWidget()) QTest::keyClick(menu, mnemonic);
  });
  QTest::keyClick(tree, Qt::Key_Menu);
  QTRY_VERIFY(shown);
}

QStringList FolderCompareTest::Rows(CFolderCompareDlg* dialog) {
  QStringList rows;
  QTreeWidget* list = dialog->ChangeList();
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    rows << list->topLevelItem(i)->text(CFolderCompareDlg::kChangeColumn) + u'|' +
                list->topLevelItem(i)->text(CFolderCompareDlg::kPathColumn);
  }
  return rows;
}

void FolderCompareTest::withNowListsWhatChangedSince() {
  QStringList rows;
  QString summary;
  QStringList compared;
  Compare(QString(), Qt::Key_N, [&](CFolderCompareDlg* dialog) {
    rows = Rows(dialog);
    summary = TextOf<QLabel>(dialog, "compareSummaryLabel");
    SaveScreenshot(dialog, QStringLiteral("compare-now"));
    // A changed text file opens side by side; the snapshot is on the left.
    QTreeWidget* list = dialog->ChangeList();
    QTreeWidgetItem* b =
        ItemWithText(list, QSep(QStringLiteral("A|b.txt")), CFolderCompareDlg::kPathColumn);
    QVERIFY(b != nullptr);
    ClickItem(list, b);
    auto* restore = dialog->findChild<QPushButton*>(QStringLiteral("restoreButton"));
    QVERIFY(restore->isEnabled());
    OnNextModal<CTextCompareDlg>([&](CTextCompareDlg* shown) {
      auto* lines = shown->findChild<QTreeWidget*>(QStringLiteral("compareRows"));
      compared << lines->topLevelItem(0)->text(CTextCompareDlg::kLeftText)
               << lines->topLevelItem(0)->text(CTextCompareDlg::kRightText);
      shown->reject();
    });
    DoubleClickItem(list, b);
    // What only now holds cannot be restored from a snapshot.
    ClickItem(list,
              ItemWithText(list, QStringLiteral("fresh.txt"), CFolderCompareDlg::kPathColumn));
    QVERIFY(!restore->isEnabled());
  });
  QCOMPARE(rows, QStringList({QStringLiteral("Changed: contents, time|") + QSep("A|b.txt"),
                              QStringLiteral("Added|fresh.txt"),
                              QStringLiteral("Changed: contents, time|notes.md")}));
  QCOMPARE(summary, QStringLiteral("1 added, 0 removed, 2 changed."));
  QCOMPARE(compared, QStringList({"bee", "bee, changed"}));
}

void FolderCompareTest::anotherSnapshotIsChosenAndARemovedFileRestored() {
  const HistorySource history = HistorySource::Of(frame_->Engine(), 0);
  QTemporaryDir target;
  QStringList before;
  QStringList oldest;
  QString restoring;
  Compare(QString(), Qt::Key_S, [&](CFolderCompareDlg* dialog) {
    // The snapshot before the shown one comes first: nothing differs.
    auto* with = dialog->findChild<QComboBox*>(QStringLiteral("compareWithComboBox"));
    QCOMPARE(with->currentText(), history.SnapshotText(1));
    before = Rows(dialog);
    with->setFocus();
    QTest::keyClick(with, Qt::Key_Down);
    QCOMPARE(with->currentText(), history.SnapshotText(0));
    oldest = Rows(dialog);
    QTreeWidget* list = dialog->ChangeList();
    ClickItem(list, ItemWithText(list, QStringLiteral("gone.txt"), CFolderCompareDlg::kPathColumn));
    restoring = RestoreInto(frame_.get(), dialog, target.path());
  });
  QCOMPARE(before, QStringList());
  // From the older snapshot to the shown one.
  // The folder that gained a file changed its time.
  QCOMPARE(oldest, QStringList({QStringLiteral("Changed: time|") + QSep("A|"),
                                QStringLiteral("Added|") + QSep("A|new.txt"),
                                QStringLiteral("Removed|gone.txt"),
                                QStringLiteral("Changed: contents, time|notes.md")}));
  QCOMPARE(restoring, QStringLiteral("Restore %1 from the snapshot of %2.")
                          .arg(QSep(QStringLiteral("docs|gone.txt")), history.SnapshotText(0)));
  QFile restored(target.path() + QSep(QStringLiteral("|gone.txt")));
  QVERIFY(restored.open(QIODevice::ReadOnly));
  QCOMPARE(restored.readAll(), QByteArray("soon gone\n"));
}

void FolderCompareTest::subfolderShowsOnlyWhatIsBelowIt() {
  QStringList rows;
  QString caption;
  Compare(QStringLiteral("A"), Qt::Key_N, [&](CFolderCompareDlg* dialog) {
    rows = Rows(dialog);
    caption = dialog->windowTitle();
  });
  QCOMPARE(rows, QStringList(QStringLiteral("Changed: contents, time|b.txt")));
  QCOMPARE(caption, QStringLiteral("Changes in ") + QSep(QStringLiteral("docs|A")));
}

QTEST_MAIN(FolderCompareTest)
#include "FolderCompareTest.moc"
