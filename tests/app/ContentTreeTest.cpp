// The content tree: nodes built from the engine's paths, the order of the
// items, lazy children and the paths handed on to restore and view.
#include <QDateTime>
#include <QLocale>
#include <QTest>

#include "CContentView.h"
#include "ContentNode.h"
#include "SnapshotTimeText.h"
#include "support/TestDrive.h"

namespace {

std::vector<std::wstring> NamesOf(const std::vector<ContentNode*>& nodes) {
  std::vector<std::wstring> names;
  for (const ContentNode* node : nodes) names.push_back(node->name);
  return names;
}

}  // namespace

class ContentTreeTest : public QObject {
  Q_OBJECT

 private slots:
  void pathsBuildOneNodePerComponent();
  void unplaceablePathsAreSkipped();
  void viewInsertsChildrenOnExpansion();
  void sizesAndDatesFillTheirColumns();
  void selectedPathsLeaveOutTheDecoration();
  void linksFifosAndDevicesAreMarked();
};

void ContentTreeTest::pathsBuildOneNodePerComponent() {
  ContentNode root;
  BuildContentTree(root, {Sep(L"A|b.txt"), Sep(L"A|C|"), Sep(L"a|d.txt")});
  QCOMPARE(root.children.size(), size_t{1});
  ContentNode* folder = root.OrderedChildren().front();
  QCOMPARE(folder->name, std::wstring(L"A"));  // named as first met
  QVERIFY(folder->folder);
  QCOMPARE(folder->entryIndex, -1);
  QCOMPARE(NamesOf(folder->OrderedChildren()),
           (std::vector<std::wstring>{L"C", L"b.txt", L"d.txt"}));
  std::vector<ContentNode*> children = folder->OrderedChildren();
  QCOMPARE(children[0]->entryIndex, 1);
  QVERIFY(children[0]->folder);
  QCOMPARE(children[1]->entryIndex, 0);
  QCOMPARE(children[2]->entryIndex, 2);
  QCOMPARE(children[2]->Path(), Sep(L"A|d.txt"));

  // Doubled and leading separators are no components; a rebuild starts afresh.
  BuildContentTree(root, {Sep(L"|x||y.txt"), L"Z"});
  QCOMPARE(NamesOf(root.OrderedChildren()), (std::vector<std::wstring>{L"x", L"Z"}));
  QCOMPARE(root.OrderedChildren()[0]->OrderedChildren()[0]->Path(), Sep(L"x|y.txt"));

  // Numbers in names in the order of their values, whatever their width.
  BuildContentTree(root, {L"letter_10", L"letter_2", L"Letter_1", L"letter_010a", L"letter_02b",
                          L"letter_", Sep(L"1999|"), Sep(L"200|")});
  QCOMPARE(NamesOf(root.OrderedChildren()),
           (std::vector<std::wstring>{L"200", L"1999", L"letter_", L"Letter_1", L"letter_2",
                                      L"letter_02b", L"letter_10", L"letter_010a"}));
}

void ContentTreeTest::unplaceablePathsAreSkipped() {
  ContentNode root;
  std::wstring longName(kMaxComponentLength + 1, L'n');
  BuildContentTree(
      root, {L"", Sep(L"top|") + longName, Sep(L"top|") + std::wstring(kMaxComponentLength, L'k'),
             Sep(L"top|ok.txt")});
  ContentNode* top = root.OrderedChildren().front();
  QCOMPARE(top->children.size(), size_t{2});
  QCOMPARE(top->OrderedChildren()[1]->entryIndex, 3);
}

void ContentTreeTest::viewInsertsChildrenOnExpansion() {
  CContentView view;
  view.Fill(
      {Sep(L"S|A|b.txt"), Sep(L"S|A|C|"), Sep(L"S|A|C|deep.txt"), Sep(L"S|z.txt"), Sep(L"T|t.txt")},
      L"");
  QCOMPARE(view.topLevelItemCount(), 2);
  QTreeWidgetItem* top = view.topLevelItem(0);
  QCOMPARE(top->text(0), QStringLiteral("S"));  // no snapshot name, no decoration
  QVERIFY(top->isExpanded());
  QVERIFY(!view.topLevelItem(1)->isExpanded());
  QCOMPARE(view.topLevelItem(1)->childCount(), 1);

  // A folder shows an expand button before its children are inserted.
  QTreeWidgetItem* folder = top->child(0);
  QCOMPARE(folder->text(0), QStringLiteral("A"));
  QCOMPARE(folder->childCount(), 1);
  QVERIFY(folder->child(0)->text(0).isEmpty());
  folder->setExpanded(true);
  QCOMPARE(folder->childCount(), 2);
  QCOMPARE(folder->child(0)->text(0), QStringLiteral("C"));
  QCOMPARE(folder->child(1)->text(0), QStringLiteral("b.txt"));
  // Expanding again inserts nothing twice.
  folder->setExpanded(false);
  folder->setExpanded(true);
  QCOMPARE(folder->childCount(), 2);
}

void ContentTreeTest::sizesAndDatesFillTheirColumns() {
  CContentView view;
  QCOMPARE(view.headerItem()->text(1), QStringLiteral("Size"));
  const QDateTime when(QDate(2026, 3, 4), QTime(5, 6));
  const std::wstring seconds = std::to_wstring(when.toSecsSinceEpoch());
  view.Fill({Sep(L"S|"), Sep(L"S|big.iso"), Sep(L"S|small.txt")}, L"",
            {L"0\t" + seconds, L"3221225472\t" + seconds, L"1536\t" + seconds});
  QTreeWidgetItem* top = view.topLevelItem(0);
  QCOMPARE(top->text(1), QString());  // a folder has no size of its own
  QCOMPARE(top->child(0)->text(1), QStringLiteral("3.0 GB"));
  QCOMPARE(top->child(1)->text(1), QStringLiteral("1.5 KB"));
  // The date as the snapshot list writes its times: four-digit year, seconds.
  QCOMPARE(top->child(1)->text(2), DateTimeText(when));
  QVERIFY(top->child(1)->text(2).contains(QStringLiteral("2026")));

  // Details that do not match the paths are left out, not shown beside the wrong item.
  view.Fill({Sep(L"S|a.txt"), Sep(L"S|b.txt")}, L"", {L"1\t0"});
  QCOMPARE(view.topLevelItem(0)->child(0)->text(1), QString());
}

void ContentTreeTest::linksFifosAndDevicesAreMarked() {
  CContentView view;
  view.Fill({Sep(L"S|"), Sep(L"S|a-link"), Sep(L"S|pipe"), Sep(L"S|plain.txt")}, L"", {},
            {L"", L"link\t../target", L"fifo", L""});
  QTreeWidgetItem* top = view.topLevelItem(0);
  QCOMPARE(top->child(0)->text(0), QStringLiteral("a-link -> ../target"));
  QCOMPARE(top->child(1)->text(0), QStringLiteral("pipe (fifo)"));
  QCOMPARE(top->child(2)->text(0), QStringLiteral("plain.txt"));
  // The paths handed on are the items' own.
  view.setCurrentItem(top->child(0));
  QCOMPARE(view.SelectedNodePath(), Sep(L"S|a-link"));
}

void ContentTreeTest::selectedPathsLeaveOutTheDecoration() {
  CContentView view;
  QCOMPARE(view.SelectedEntryIndex(), -1);
  QVERIFY(view.SelectedDisplayPath().empty());
  view.Fill({Sep(L"docs|a.txt"), Sep(L"docs|sub|b.txt")}, L"Tue Dec 08 10:00:00 2026");
  QTreeWidgetItem* top = view.topLevelItem(0);
  QCOMPARE(top->text(0), QStringLiteral("docs [ Snapshot: Tue Dec 08 10:00:00 2026 ]"));

  view.setCurrentItem(top);
  QCOMPARE(view.SelectedDisplayPath(), std::wstring(L"docs"));
  QVERIFY(view.SelectedIsFolder());
  QVERIFY(view.SelectedParentPath().empty());

  QTreeWidgetItem* sub = top->child(0);
  sub->setExpanded(true);
  view.setCurrentItem(sub->child(0));
  int entry = -2;
  QCOMPARE(view.SelectedDisplayPath(&entry), Sep(L"docs|sub|b.txt"));
  QCOMPARE(entry, 1);
  QCOMPARE(view.SelectedParentPath(), Sep(L"docs|sub"));
  QVERIFY(view.HasSelectedFile());

  view.Clear();
  QCOMPARE(view.SelectedEntryIndex(), -1);
}

QTEST_MAIN(ContentTreeTest)
#include "ContentTreeTest.moc"
