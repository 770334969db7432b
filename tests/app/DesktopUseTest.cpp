// The main window as a keyboard and screen-reader user meets it: arrow keys
// walk the lists, the Menu key and Shift+F10 open the context menus, the
// panes and buttons have names, and a folder dropped on the list becomes a
// Backup Selection.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <memory>

#include "CContentView.h"
#include "CMainFrame.h"
#include "CMarrowbyView.h"
#include "CSnapshotView.h"
#include "MessageBox.h"
#include "TestDialogsSupport.h"
#include "resources/ResourceIds.h"
#include "support/TestDrive.h"

using namespace marrowby;

namespace {

// Presses `key` in `view` and returns the texts of the menu that opens,
// closing it unchosen.
QStringList MenuFromKey(QWidget* view, Qt::Key key, Qt::KeyboardModifiers modifiers) {
  QStringList texts;
  // A timer of this call only: when no menu opens it must not outlive it.
  QTimer closer;
  closer.setSingleShot(true);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    QWidget* popup = QApplication::activePopupWidget();
    if (popup == nullptr) return;
    for (QAction* action : popup->actions()) texts << action->text();
    popup->close();
  });
  closer.start(0);
  QTest::keyClick(view, key, modifiers);
  return texts;
}

}  // namespace

class DesktopUseTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void arrowKeysWalkTheListsKeepingTheFocus();
  void menuKeysOpenEachContextMenu();
  void panesAndButtonsHaveNames();
  void droppedFolderBecomesASelection();

 private:
  std::unique_ptr<TestDrive> drive_;
  std::unique_ptr<CMainFrame> frame_;
};

void DesktopUseTest::init() {
  drive_ = std::make_unique<TestDrive>();
  QVERIFY(drive_->AddSelection(L"Documents", QStringLiteral("docs"),
                               {QStringLiteral("A|b.txt"), QStringLiteral("notes.md")}, 3));
  QVERIFY(drive_->AddSelection(L"Photos", QStringLiteral("photos"),
                               {QStringLiteral("2026|beach.jpg")}, 1));
  frame_ = std::make_unique<CMainFrame>();
  frame_->resize(900, 620);
  frame_->show();
  // Asked for as well as set: an X server without a window manager makes no
  // window active by itself.
  QApplication::setActiveWindow(frame_.get());
  frame_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
}

void DesktopUseTest::cleanup() {
  frame_.reset();
  drive_.reset();
}

void DesktopUseTest::arrowKeysWalkTheListsKeepingTheFocus() {
  CMarrowbyView* selections = frame_->SelectionView();
  CSnapshotView* snapshots = frame_->SnapshotView();
  selections->setFocus();
  QTest::keyClick(selections, Qt::Key_Right);
  QCOMPARE(selections->Selected(), 1);
  QCOMPARE(snapshots->headerItem()->text(0), QStringLiteral("Snapshots of Photos"));
  QCOMPARE(QApplication::focusWidget(), selections);
  QTest::keyClick(selections, Qt::Key_Left);
  QCOMPARE(selections->Selected(), 0);
  QCOMPARE(QApplication::focusWidget(), selections);

  // Three snapshots, newest first: Down walks to older ones, each filling the tree.
  snapshots->setFocus();
  QCOMPARE(snapshots->Selected(), 2);
  for (int expected : {1, 0}) {
    QTest::keyClick(snapshots, Qt::Key_Down);
    QCOMPARE(snapshots->Selected(), expected);
    QCOMPARE(QApplication::focusWidget(), snapshots);
    QVERIFY(frame_->ContentView()->topLevelItem(0)->text(0).contains(snapshots->SelectedText()));
  }
  QTest::keyClick(snapshots, Qt::Key_Up);
  QCOMPARE(snapshots->Selected(), 1);
  QCOMPARE(QApplication::focusWidget(), snapshots);
}

void DesktopUseTest::menuKeysOpenEachContextMenu() {
  const QStringList rowMenu = {QStringLiteral("New Backup Selection"),
                               QStringLiteral("&Backup..."),
                               QStringLiteral("Veri&fy"),
                               QStringLiteral("&Keep Rules..."),
                               QStringLiteral("&Delete Backup Selection"),
                               QStringLiteral("&Rename"),
                               QStringLiteral("&Properties...")};
  const QStringList snapshotMenu = {QStringLiteral("R&estore..."),
                                    QStringLiteral("&Delete Snapshot"),
                                    QStringLiteral("&Open in the File Manager")};
  const QStringList contentMenu = {QStringLiteral("R&estore..."),
                                   QStringLiteral("&View File"),
                                   QString(),
                                   QStringLiteral("Versi&ons of this file\u2026"),
                                   QStringLiteral("Compare with &now"),
                                   QStringLiteral("Compare with &snapshot\u2026")};
  CMarrowbyView* selections = frame_->SelectionView();
  CContentView* tree = frame_->ContentView();
  struct Case {
    QWidget* view;
    QStringList menu;
  };
  const Case cases[] = {
      {selections, rowMenu}, {frame_->SnapshotView(), snapshotMenu}, {tree, contentMenu}};
  for (const Case& c : cases) {
    c.view->setFocus();
    QCOMPARE(MenuFromKey(c.view, Qt::Key_Menu, Qt::NoModifier), c.menu);
    QCOMPARE(MenuFromKey(c.view, Qt::Key_F10, Qt::ShiftModifier), c.menu);
    // Plain F10 is the menu bar's, not a context menu.
    QCOMPARE(MenuFromKey(c.view, Qt::Key_F10, Qt::NoModifier), QStringList());
  }
  // Without a selected row the list offers what a click on empty space offers.
  selections->clearSelection();
  QCOMPARE(MenuFromKey(selections, Qt::Key_Menu, Qt::NoModifier),
           QStringList(QStringLiteral("&New Backup Selection...")));
}

void DesktopUseTest::panesAndButtonsHaveNames() {
  QCOMPARE(frame_->ContentView()->accessibleName(), QStringLiteral("Snapshot contents"));
  QCOMPARE(frame_->SnapshotView()->accessibleName(), QStringLiteral("Snapshots of Documents"));
  QCOMPARE(frame_->SelectionView()->accessibleName(), QStringLiteral("Backup list"));

  auto* toolBar = frame_->findChild<QToolBar*>(QStringLiteral("mainToolBar"));
  QCOMPARE(toolBar->windowTitle(), QStringLiteral("Toolbar"));
  QVERIFY(!toolBar->toggleViewAction()->isVisible());
  QCOMPARE(toolBar->contextMenuPolicy(), Qt::PreventContextMenu);
  const QStringList expected = {QStringLiteral("New Backup Selection"),
                                QStringLiteral("Backup"),
                                QStringLiteral("Back Up All"),
                                QStringLiteral("Restore"),
                                QStringLiteral("View File"),
                                QStringLiteral("Contents")};
  QStringList names;
  for (QToolButton* button : toolBar->findChildren<QToolButton*>()) {
    if (!button->objectName().startsWith(QStringLiteral("toolButton"))) continue;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
    names << accessible->text(QAccessible::Name);
  }
  QCOMPARE(names, expected);
}

void DesktopUseTest::droppedFolderBecomesASelection() {
  CMarrowbyView* selections = frame_->SelectionView();
  const QString folder = drive_->SourceRoot() + QStringLiteral("photos");
  auto drop = [&](const QString& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(selections->viewport(), &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(selections->viewport(), &event);
    return event.isAccepted();
  };
  // A file is no folder: refused without a question.
  MessageBox::ClearLastText();
  QVERIFY(!drop(folder + QSep(QStringLiteral("|2026|beach.jpg"))));
  QVERIFY(MessageBox::LastText().isEmpty());

  MessageBox::SetNextAnswer(QMessageBox::No);
  QVERIFY(drop(folder));
  QCOMPARE(MessageBox::LastText(), QStringLiteral("Create a Backup Selection for the folder ") +
                                       QDir::toNativeSeparators(folder) + u'?');
  QCOMPARE(selections->count(), 2);

  ProgressCloser closer(frame_.get());
  MessageBox::SetNextAnswer(QMessageBox::Yes);
  QVERIFY(drop(folder));
  QCOMPARE(closer.Closed(), 1);
  QCOMPARE(selections->count(), 3);
  QCOMPARE(selections->item(2)->text(), QStringLiteral("photos"));
  QCOMPARE(frame_->SnapshotView()->topLevelItemCount(), 1);
}

QTEST_MAIN(DesktopUseTest)
#include "DesktopUseTest.moc"
