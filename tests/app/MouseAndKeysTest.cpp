// The main window driven as a user drives it: clicks at the items' places on
// the screen choose what the panes show and what the commands act on, and the
// keys the menus show run their commands, except inside a text field.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <memory>

#include "CContentView.h"
#include "CMainFrame.h"
#include "CMarrowbyView.h"
#include "CSnapshotView.h"
#include "MessageBox.h"
#include "ShellOpen.h"
#include "TestDialogsSupport.h"
#include "dialogs/CRestorePath.h"
#include "resources/ResourceIds.h"
#include "support/TestDrive.h"

namespace {

// Left click at the middle of `rect` of the view's viewport.
void ClickAt(QAbstractItemView* view, const QRect& rect) {
  QVERIFY(!rect.isEmpty());
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

// The top-level item's children by name, expanding as a click on the
// arrow would.
QTreeWidgetItem* Shown(CContentView* tree, const QStringList& names) {
  QTreeWidgetItem* item = tree->topLevelItem(0);
  for (const QString& name : names) {
    if (item == nullptr) return nullptr;
    item = ChildNamed(item, name);
  }
  return item;
}

}  // namespace

class MouseAndKeysTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void clicksChooseWhatThePanesShow();
  void restoreTakesTheClickedItem();
  void menuKeysRunTheirCommands();
  void textFieldsKeepTheirKeys();
  void verifyFromTheRowsMenuSaysSound();
  void f6WalksThePanes();

 private:
  void ClickSelection(int row);
  void ClickSnapshot(int row);
  // False when the tree does not show that item.
  bool ClickContent(const QStringList& names);
  // Presses `key` on the main window.
  void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier);

  std::unique_ptr<TestDrive> drive_;
  std::unique_ptr<CMainFrame> frame_;
  QStringList opened_;  // files handed to the desktop
};

void MouseAndKeysTest::init() {
  drive_ = std::make_unique<TestDrive>();
  QVERIFY(drive_->AddSelection(L"Documents", QStringLiteral("docs"),
                               {QStringLiteral("A|b.txt"), QStringLiteral("notes.md")}, 1));
  QVERIFY(drive_->AddSelection(L"Photos", QStringLiteral("photos"),
                               {QStringLiteral("2026|beach.jpg")}, 1));
  // A second snapshot of Documents that holds one file more.
  QVERIFY(drive_->AddSnapshot(0, QStringLiteral("docs"), {QStringLiteral("later.txt")}));
  opened_.clear();
  SetShellOpenHandler([this](const QString& path) {
    opened_ << path;
    return true;
  });
  frame_ = std::make_unique<CMainFrame>();
  frame_->resize(900, 620);
  frame_->show();
  // Asked for as well as set: an X server without a window manager makes no
  // window active by itself.
  QApplication::setActiveWindow(frame_.get());
  frame_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
}

void MouseAndKeysTest::cleanup() {
  frame_.reset();
  drive_.reset();
  SetShellOpenHandler({});
}

void MouseAndKeysTest::ClickSelection(int row) {
  CMarrowbyView* list = frame_->SelectionView();
  ClickAt(list, list->visualItemRect(list->item(row)));
}

void MouseAndKeysTest::ClickSnapshot(int row) {
  CSnapshotView* list = frame_->SnapshotView();
  ClickAt(list, list->visualItemRect(list->topLevelItem(row)));
}

bool MouseAndKeysTest::ClickContent(const QStringList& names) {
  CContentView* tree = frame_->ContentView();
  QTreeWidgetItem* item = Shown(tree, names);
  if (item == nullptr) return false;
  ClickAt(tree, tree->visualItemRect(item));
  return true;
}

void MouseAndKeysTest::Press(Qt::Key key, Qt::KeyboardModifiers modifiers) {
  // A closed dialog hands the keys back to the window (the offscreen
  // platform needs telling).
  QApplication::setActiveWindow(frame_.get());
  frame_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
  QTest::keyClick(frame_.get(), key, modifiers);
}

void MouseAndKeysTest::clicksChooseWhatThePanesShow() {
  CSnapshotView* snapshots = frame_->SnapshotView();
  CContentView* tree = frame_->ContentView();

  ClickSelection(1);
  QCOMPARE(frame_->SelectionView()->Selected(), 1);
  QCOMPARE(snapshots->headerItem()->text(0), QStringLiteral("Snapshots of Photos"));
  QCOMPARE(snapshots->topLevelItemCount(), 1);
  QVERIFY(tree->topLevelItem(0)->text(0).startsWith(QStringLiteral("photos")));
  QVERIFY(Shown(tree, {QStringLiteral("2026"), QStringLiteral("beach.jpg")}) != nullptr);

  ClickSelection(0);
  QCOMPARE(snapshots->headerItem()->text(0), QStringLiteral("Snapshots of Documents"));
  QCOMPARE(snapshots->topLevelItemCount(), 2);
  QVERIFY(Shown(tree, {QStringLiteral("later.txt")}) != nullptr);

  // The older snapshot, in the second row, does not hold the later file.
  ClickSnapshot(1);
  QCOMPARE(snapshots->Selected(), 0);
  QVERIFY(Shown(tree, {QStringLiteral("notes.md")}) != nullptr);
  QVERIFY(Shown(tree, {QStringLiteral("later.txt")}) == nullptr);
  ClickSnapshot(0);
  QCOMPARE(snapshots->Selected(), 1);
  QVERIFY(Shown(tree, {QStringLiteral("later.txt")}) != nullptr);

  // A file clicked in the tree is what View File opens.
  QVERIFY(ClickContent({QStringLiteral("A"), QStringLiteral("b.txt")}));
  QVERIFY(frame_->CommandAction(marrowby::cmd::kViewFile)->isEnabled());
  frame_->CommandAction(marrowby::cmd::kViewFile)->trigger();
  QCOMPARE(opened_.size(), 1);
  QVERIFY(opened_.first().endsWith(QStringLiteral("b.txt")));
}

void MouseAndKeysTest::restoreTakesTheClickedItem() {
  ClickSelection(1);
  QVERIFY(ClickContent({QStringLiteral("2026"), QStringLiteral("beach.jpg")}));
  const QString destination = drive_->SourceRoot() + QStringLiteral("restored");
  OnNextModal<CRestorePath>([&](CRestorePath* dialog) {
    dialog->findChild<QLineEdit*>(QStringLiteral("destinationLineEdit"))->setText(destination);
    dialog->accept();
  });
  ProgressCloser closer(frame_.get());
  frame_->CommandAction(marrowby::cmd::kRestore)->trigger();
  QCOMPARE(closer.Closed(), 1);
  QCOMPARE(closer.LastStatus(), CBackupProgressDlg::kCompleted);
  QFile restored(InFolder(destination, "beach.jpg"));
  QVERIFY2(restored.open(QIODevice::ReadOnly), qPrintable(restored.fileName()));
  QCOMPARE(restored.readAll(), QByteArray("contents of 2026|beach.jpg"));
}

void MouseAndKeysTest::menuKeysRunTheirCommands() {
  using namespace marrowby;
  ClickSelection(1);
  QVERIFY(ClickContent({QStringLiteral("2026"), QStringLiteral("beach.jpg")}));

  // Ctrl+V views the clicked file.
  Press(Qt::Key_V);
  QCOMPARE(opened_.size(), 1);
  QVERIFY(opened_.first().endsWith(QStringLiteral("beach.jpg")));

  // Ctrl+B backs up the selection that is shown.
  ProgressCloser closer(frame_.get());
  Press(Qt::Key_B);
  QCOMPARE(closer.Closed(), 1);
  QCOMPARE(closer.LastTitle(), QStringLiteral("Snapshot Backup: Photos"));
  QCOMPARE(frame_->SnapshotView()->topLevelItemCount(), 2);

  // Each dialog key opens its dialog (known by the object name of the dialog
  // or of its page); the dialog is cancelled.
  auto opens = [this](Qt::Key key, const QString& name) {
    bool seen = false;
    OnNextModal<QDialog>([&seen, name](QDialog* dialog) {
      seen = dialog->objectName() == name || dialog->findChild<QWidget*>(name) != nullptr;
      dialog->reject();
    });
    Press(key);
    QVERIFY2(seen, qPrintable(name));
  };
  QVERIFY(ClickContent({QStringLiteral("2026"), QStringLiteral("beach.jpg")}));
  opens(Qt::Key_E, QStringLiteral("restorePathDialog"));
  opens(Qt::Key_P, QStringLiteral("preferencesPage"));
  opens(Qt::Key_N, QStringLiteral("createProfilePage"));

  // Ctrl+D asks before deleting; No keeps the selection.
  MessageBox::ClearLastText();
  MessageBox::SetNextAnswer(QMessageBox::No);
  Press(Qt::Key_D);
  QVERIFY(MessageBox::LastText().startsWith(QStringLiteral("The Backup Selection Photos")));
  QCOMPARE(frame_->SelectionView()->count(), 2);

  // Ctrl+R starts renaming the selected row in place.
  Press(Qt::Key_R);
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  QVERIFY(editor != nullptr && frame_->SelectionView()->isAncestorOf(editor));
  QTest::keyClick(editor, Qt::Key_Escape);

  // F1 opens the help beside the program.
  const QString help = drive_->Folder() + QStringLiteral("HelpFiles");
  QDir().mkpath(help);
  const QString page = InFolder(help, "") + QCoreApplication::applicationName() + ".html";
  QFile(page).open(QIODevice::WriteOnly);
  opened_.clear();
  Press(Qt::Key_F1, Qt::NoModifier);
  QCOMPARE(opened_, QStringList(page));
}

void MouseAndKeysTest::textFieldsKeepTheirKeys() {
  CMarrowbyView* list = frame_->SelectionView();
  ClickSelection(1);
  QVERIFY(ClickContent({QStringLiteral("2026"), QStringLiteral("beach.jpg")}));
  list->setFocus();
  QTest::keyClick(list, Qt::Key_F2);
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  QVERIFY(editor != nullptr);
  editor->selectAll();
  QApplication::clipboard()->setText(QStringLiteral("Holidays"));
  MessageBox::ClearLastText();
  for (Qt::Key key : {Qt::Key_V, Qt::Key_D, Qt::Key_E, Qt::Key_B}) {
    QTest::keyClick(editor, key, Qt::ControlModifier);
  }
  QCOMPARE(opened_, QStringList());
  QVERIFY(MessageBox::LastText().isEmpty());
  QCOMPARE(QApplication::activeModalWidget(), nullptr);
  QCOMPARE(editor->text().left(8), QStringLiteral("Holidays"));
  QTest::keyClick(editor, Qt::Key_Return);
  QTRY_COMPARE(list->item(1)->text().left(8), QStringLiteral("Holidays"));
}

void MouseAndKeysTest::verifyFromTheRowsMenuSaysSound() {
  // A right click on the row chooses it and opens its menu; Verify is
  // clicked there.
  CMarrowbyView* list = frame_->SelectionView();
  QTimer chooser;
  chooser.setSingleShot(true);
  QObject::connect(&chooser, &QTimer::timeout, [] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    for (QAction* action : menu->actions()) {
      if (action->text() == QStringLiteral("Veri&fy")) {
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                          menu->actionGeometry(action).center());
        return;
      }
    }
    menu->close();
  });
  chooser.start(0);
  MessageBox::ClearLastText();
  ProgressCloser closer(frame_.get());
  QTest::mouseClick(list->viewport(), Qt::RightButton, Qt::NoModifier,
                    list->visualItemRect(list->item(1)).center());
  QCOMPARE(closer.Closed(), 1);
  QCOMPARE(closer.LastTitle(), QStringLiteral("Verifying Photos"));
  QCOMPARE(closer.LastStatus(), CBackupProgressDlg::kCompleted);
  QCOMPARE(closer.LastStatusText(),
           QStringLiteral("Verify of Photos completed: the store is sound."));
  QCOMPARE(MessageBox::LastText(), QString());
}

void MouseAndKeysTest::f6WalksThePanes() {
  QWidget* panes[] = {frame_->SelectionView(), frame_->ContentView(), frame_->SnapshotView()};
  panes[0]->setFocus();
  for (int step = 1; step <= 3; ++step) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    QCOMPARE(QApplication::focusWidget(), panes[step % 3]);
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ShiftModifier);
  QCOMPARE(QApplication::focusWidget(), panes[2]);
}

QTEST_MAIN(MouseAndKeysTest)
#include "MouseAndKeysTest.moc"
