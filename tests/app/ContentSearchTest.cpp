// The search field over the content tree and Find in all snapshots, driven
// by keys and clicks: what the tree keeps, what stays selectable for
// restore, each version found with the snapshots that hold it, restoring one,
// and a damaged record named instead of shown as another file.
#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "CContentView.h"
#include "CMainFrame.h"
#include "CSnapshotView.h"
#include "TestDialogsSupport.h"
#include "dialogs/CRestorePath.h"
#include "history/CFindVersionsDlg.h"
#include "history/HistorySource.h"
#include "resources/ResourceIds.h"
#include "support/HistoryDrive.h"

class ContentSearchTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void typedTextFiltersTheTreeInAnyCase();
  void filteredItemIsWhatRestoreTakes();
  void findInAllSnapshotsListsEachVersionOnce();
  void foundVersionIsRestoredFromItsSnapshot();
  void damagedRecordIsNamedNotShown();

 private:
  void OpenWindow();
  QLineEdit* SearchField() const {
    return frame_->findChild<QLineEdit*>(QStringLiteral("contentSearchEdit"));
  }
  // Types `text` into the search field (replacing what it holds).
  void Search(const QString& text);
  QStringList ShownNames(QTreeWidgetItem* parent) const;

  std::unique_ptr<TestDrive> drive_;
  std::unique_ptr<CMainFrame> frame_;
};

void ContentSearchTest::init() {
  drive_ = std::make_unique<TestDrive>();
  QVERIFY(MakeHistory(*drive_));
}

void ContentSearchTest::OpenWindow() {
  frame_ = OpenMainWindow();
  QVERIFY(frame_ != nullptr);
}

void ContentSearchTest::cleanup() {
  frame_.reset();
  drive_.reset();
}

void ContentSearchTest::Search(const QString& text) {
  QLineEdit* field = SearchField();
  QTest::keyClick(frame_.get(), Qt::Key_F, Qt::ControlModifier);
  QCOMPARE(QApplication::focusWidget(), field);
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(field, Qt::Key_Delete);
  QTest::keyClicks(field, text);
  QTest::keyClick(field, Qt::Key_Return);
}

QStringList ContentSearchTest::ShownNames(QTreeWidgetItem* parent) const {
  QStringList names;
  for (int i = 0; i < parent->childCount(); ++i) {
    QTreeWidgetItem* child = parent->child(i);
    names << child->text(0);
    if (child->isExpanded()) {
      for (const QString& below : ShownNames(child)) names << child->text(0) + u'/' + below;
    }
  }
  return names;
}

void ContentSearchTest::typedTextFiltersTheTreeInAnyCase() {
  OpenWindow();
  CContentView* tree = frame_->ContentView();
  QTreeWidgetItem* top = tree->topLevelItem(0);
  QCOMPARE(ShownNames(top).mid(0, 1), QStringList(QStringLiteral("A")));

  Search(QStringLiteral("NOTES"));
  top = tree->topLevelItem(0);
  QCOMPARE(tree->FilterMatches(), 1);
  QCOMPARE(ShownNames(top), QStringList(QStringLiteral("notes.md")));
  // The decoration names the snapshot still.
  QVERIFY(top->text(0).startsWith(QStringLiteral("docs [ Snapshot: ")));

  // A wildcard matches whole names; the folders that lead to them open.
  Search(QStringLiteral("*.TXT"));
  top = tree->topLevelItem(0);
  QCOMPARE(ShownNames(top),
           QStringList({QStringLiteral("A"), QStringLiteral("A/b.txt"),
                        QStringLiteral("A/keep.txt"), QStringLiteral("A/new.txt")}));
  QCOMPARE(tree->FilterMatches(), 3);

  // Nothing matches: the tree says so instead of looking empty.
  Search(QStringLiteral("zzz"));
  top = tree->topLevelItem(0);
  QCOMPARE(tree->FilterMatches(), 0);
  QCOMPARE(ShownNames(top), QStringList(QStringLiteral("No item of this snapshot matches.")));
  QCOMPARE(frame_->CommandAction(marrowby::cmd::kViewFile)->isEnabled(), false);

  // Another snapshot keeps the search.
  Search(QStringLiteral("gone"));
  QCOMPARE(tree->FilterMatches(), 0);  // the newest snapshot has no gone.txt
  CSnapshotView* snapshots = frame_->SnapshotView();
  ClickItem(snapshots, snapshots->topLevelItem(2));
  QCOMPARE(tree->FilterMatches(), 1);
  QCOMPARE(ShownNames(tree->topLevelItem(0)), QStringList(QStringLiteral("gone.txt")));

  // Escape in the field shows the whole tree again.
  QTest::keyClick(frame_.get(), Qt::Key_F, Qt::ControlModifier);
  QTest::keyClick(SearchField(), Qt::Key_Escape);
  QCOMPARE(SearchField()->text(), QString());
  QCOMPARE(tree->FilterMatches(), -1);
  QCOMPARE(
      ShownNames(tree->topLevelItem(0)),
      QStringList({QStringLiteral("A"), QStringLiteral("gone.txt"), QStringLiteral("notes.md")}));
}

void ContentSearchTest::filteredItemIsWhatRestoreTakes() {
  OpenWindow();
  Search(QStringLiteral("keep"));
  CContentView* tree = frame_->ContentView();
  // Enter took the keys to the tree, on the first match.
  QCOMPARE(QApplication::focusWidget(), tree);
  QCOMPARE(tree->currentItem()->text(0), QStringLiteral("keep.txt"));
  QCOMPARE(tree->SelectedDisplayPath(), Sep(L"docs|A|keep.txt"));
  QString restoring;
  OnNextModal<CRestorePath>([&](CRestorePath* dialog) {
    restoring = TextOf<QLabel>(dialog, "restoreWhatLabel");
    dialog->reject();
  });
  QTest::keyClick(tree, Qt::Key_E, Qt::ControlModifier);
  QVERIFY2(
      restoring.startsWith(QStringLiteral("Restore ") + QSep(QStringLiteral("docs|A|keep.txt"))),
      qPrintable(restoring));
}

void ContentSearchTest::findInAllSnapshotsListsEachVersionOnce() {
  OpenWindow();
  const HistorySource history = HistorySource::Of(frame_->Engine(), 0);
  QCOMPARE(history.snapshots.size(), size_t{3});
  Search(QStringLiteral("notes"));
  QStringList rows;
  QString summary;
  QStringList after;
  OnNextModal<CFindVersionsDlg>([&](CFindVersionsDlg* dialog) {
    auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("foundList"));
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      QTreeWidgetItem* row = list->topLevelItem(i);
      rows << row->text(CFindVersionsDlg::kPathColumn) + u'|' +
                  row->text(CFindVersionsDlg::kSnapshotsColumn);
    }
    summary = TextOf<QLabel>(dialog, "findSummaryLabel");
    // A new search from the dialog's own field; Enter finds.
    auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("patternLineEdit"));
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, QStringLiteral("*.txt"));
    QTest::keyClick(field, Qt::Key_Return);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      after << list->topLevelItem(i)->text(CFindVersionsDlg::kPathColumn);
    }
    dialog->reject();
  });
  auto* button = frame_->findChild<QToolButton*>(QStringLiteral("findInAllSnapshotsButton"));
  QTest::mouseClick(button, Qt::LeftButton);
  const QString notes = QSep(QStringLiteral("docs|notes.md"));
  QCOMPARE(rows, QStringList({notes + u'|' + history.SnapshotText(0),
                              notes + u'|' + history.SnapshotText(1) + QStringLiteral(" \u2013 ") +
                                  history.SnapshotText(2) + QStringLiteral(" (2 snapshots)")}));
  QCOMPARE(summary, QStringLiteral("2 version(s) of 1 item(s) in 3 snapshot(s)."));
  // Each file once for each state it had, whichever snapshots held it.
  QCOMPARE(
      after,
      QStringList({QSep(QStringLiteral("docs|A|b.txt")), QSep(QStringLiteral("docs|A|keep.txt")),
                   QSep(QStringLiteral("docs|A|new.txt")), QSep(QStringLiteral("docs|gone.txt"))}));
}

void ContentSearchTest::foundVersionIsRestoredFromItsSnapshot() {
  OpenWindow();
  const HistorySource history = HistorySource::Of(frame_->Engine(), 0);
  QTemporaryDir target;
  QString restoring;
  OnNextModal<CFindVersionsDlg>([&](CFindVersionsDlg* dialog) {
    auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("foundList"));
    QCOMPARE(list->topLevelItemCount(), 1);
    ClickItem(list, list->topLevelItem(0));
    restoring = RestoreInto(frame_.get(), dialog, target.path());
    dialog->reject();
  });
  // Straight from the search field: its text is what is found.
  QTest::keyClick(frame_.get(), Qt::Key_F, Qt::ControlModifier);
  QTest::keyClicks(SearchField(), QStringLiteral("gone.txt"));
  QTest::keyClick(SearchField(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(restoring, QStringLiteral("Restore %1 from the snapshot of %2.")
                          .arg(QSep(QStringLiteral("docs|gone.txt")), history.SnapshotText(0)));
  QFile restored(target.path() + QSep(QStringLiteral("|gone.txt")));
  QVERIFY(restored.open(QIODevice::ReadOnly));
  QCOMPARE(restored.readAll(), QByteArray("soon gone\n"));
}

void ContentSearchTest::damagedRecordIsNamedNotShown() {
  // Every directory record of A/b.txt loses its magic.
  QDirIterator stores(drive_->Folder(), {QStringLiteral("file.dir")}, QDir::Files,
                      QDirIterator::Subdirectories);
  QVERIFY(stores.hasNext());
  QFile directory(stores.next());
  QVERIFY(directory.open(QIODevice::ReadWrite));
  const QByteArray data = directory.readAll();
  const QString name = SourceFile(*drive_, QStringLiteral("A|b.txt"));
  QByteArray wanted(reinterpret_cast<const char*>(name.utf16()), name.size() * 2);
  wanted.append(2, '\0');
  int damaged = 0;
  for (qsizetype at = data.indexOf(wanted); at >= 0; at = data.indexOf(wanted, at + 1)) {
    directory.seek(at - 12);
    directory.write(QByteArray(2, '\0'));
    ++damaged;
  }
  QVERIFY(damaged > 0);
  directory.close();

  OpenWindow();
  QStringList found;
  QString problems;
  OnNextModal<CFindVersionsDlg>([&](CFindVersionsDlg* dialog) {
    auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("foundList"));
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      found << list->topLevelItem(i)->text(CFindVersionsDlg::kPathColumn);
    }
    auto* label = dialog->findChild<QLabel*>(QStringLiteral("problemsLabel"));
    if (label->isVisible()) problems = label->text();
    SaveScreenshot(dialog, QStringLiteral("find-damaged"));
    dialog->reject();
  });
  Search(QStringLiteral("*.txt"));
  QTest::keyClick(frame_.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
  QVERIFY2(problems.startsWith(QStringLiteral("Some records could not be read")),
           qPrintable(problems));
  QVERIFY2(problems.contains(QSep(QStringLiteral("docs|A"))), qPrintable(problems));
  QVERIFY(!found.contains(QSep(QStringLiteral("docs|A|b.txt"))));
  // Its siblings are still read.
  QVERIFY2(found.contains(QSep(QStringLiteral("docs|A|keep.txt"))), qPrintable(found.join(u',')));
}

QTEST_MAIN(ContentSearchTest)
#include "ContentSearchTest.moc"
