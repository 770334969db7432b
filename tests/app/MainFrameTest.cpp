// The main window against the real engine on a prepared drive: what the three
// views show, the enabling rules, rename, delete, the gauge and the rows.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <memory>

#include "AppStrings.h"
#include "CContentView.h"
#include "CMainFrame.h"
#include "CMarrowbyView.h"
#include "CSnapshotView.h"
#include "EngineList.h"
#include "MessageBox.h"
#include "ShellOpen.h"
#include "SnapshotTimeText.h"
#include "TestDialogsSupport.h"
#include "resources/ResourceIds.h"
#include "support/TestDrive.h"

using namespace marrowby;

namespace {

QStringList RowTexts(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
  return texts;
}

QStringList ChildTexts(const QTreeWidgetItem* item) {
  QStringList texts;
  for (int i = 0; i < item->childCount(); ++i) texts << item->child(i)->text(0);
  return texts;
}

}  // namespace

class MainFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void viewsShowWhatTheEngineHolds();
  void commandsFollowTheSelection();
  void renameTakesNewNameAndIgnoresEmpty();
  void deleteAsksFirst();
  void gaugeFollowsLimit();
  void snapshotRowKeepsItsShare();
  void contextMenusOfferTheirCommands();
  void helpAndAboutOpen();
  void damagedSnapshotKeepsItsRow();
  void verifyTellsASoundStoreFromADamagedOne();

 private:
  std::unique_ptr<TestDrive> drive_;
  std::unique_ptr<CMainFrame> frame_;
};

void MainFrameTest::init() {
  drive_ = std::make_unique<TestDrive>();
  QVERIFY(drive_->AddSelection(L"Documents", QStringLiteral("docs"),
                               {QStringLiteral("A|b.txt"), QStringLiteral("A|C|"),
                                QStringLiteral("a|d.txt"), QStringLiteral("notes.md")},
                               2));
  QVERIFY(drive_->AddSelection(L"Photos", QStringLiteral("photos"),
                               {QStringLiteral("2026|beach.jpg")}, 1));
  QVERIFY(drive_->AddSelection(L"Music", QStringLiteral("music"), {QStringLiteral("song.ogg")}, 1));
  frame_ = std::make_unique<CMainFrame>();
  frame_->resize(900, 620);
  frame_->show();
  QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
}

void MainFrameTest::cleanup() {
  frame_.reset();
  drive_.reset();
}

void MainFrameTest::viewsShowWhatTheEngineHolds() {
  CMarrowbyView* selections = frame_->SelectionView();
  QCOMPARE(RowTexts(selections), QStringList({QStringLiteral("Documents"), QStringLiteral("Photos"),
                                              QStringLiteral("Music")}));
  QCOMPARE(selections->Selected(), 0);

  // Newest first, and selected.
  CSnapshotView* snapshots = frame_->SnapshotView();
  std::vector<std::wstring> engineSnapshots =
      TakeList(frame_->Engine(), frame_->Engine()->GetSnapshots(0));
  QCOMPARE(snapshots->topLevelItemCount(), 2);
  QCOMPARE(int(engineSnapshots.size()), 2);
  QCOMPARE(snapshots->Selected(), 1);
  // Shown in the user's format; the engine's own text is what goes back.
  const QString shown = SnapshotTimeText(QString::fromStdWString(engineSnapshots[1]));
  QCOMPARE(snapshots->topLevelItem(0)->text(0), shown);
  std::wstring stored;
  snapshots->Selected(&stored);
  QCOMPARE(stored, engineSnapshots[1]);
  QCOMPARE(snapshots->headerItem()->text(0), QStringLiteral("Snapshots of Documents"));

  // "A" and "a" are one folder, named as first met; folders before files.
  CContentView* tree = frame_->ContentView();
  QCOMPARE(tree->topLevelItemCount(), 1);
  QTreeWidgetItem* top = tree->topLevelItem(0);
  QCOMPARE(top->text(0), QStringLiteral("docs [ Snapshot: ") + shown + QStringLiteral(" ]"));
  QVERIFY(top->isExpanded());
  QCOMPARE(ChildTexts(top), QStringList({QStringLiteral("A"), QStringLiteral("notes.md")}));
  QTreeWidgetItem* folder = top->child(0);
  folder->setExpanded(true);
  QCOMPARE(ChildTexts(folder),
           QStringList({QStringLiteral("C"), QStringLiteral("b.txt"), QStringLiteral("d.txt")}));
  tree->setCurrentItem(folder->child(1));
  SaveScreenshot(frame_.get(), QStringLiteral("main-window"));

  // Another selection shows its own snapshots and contents.
  selections->setCurrentRow(1);
  QCOMPARE(snapshots->headerItem()->text(0), QStringLiteral("Snapshots of Photos"));
  QCOMPARE(snapshots->topLevelItemCount(), 1);
  QCOMPARE(ChildTexts(tree->topLevelItem(0)), QStringList(QStringLiteral("2026")));

  for (QAction* menuAction : frame_->menuBar()->actions()) {
    QMenu* menu = menuAction->menu();
    menu->popup(frame_->mapToGlobal(QPoint(10, 30)));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    SaveScreenshot(menu, QStringLiteral("menu-") + menu->title().remove(u'&'));
    menu->hide();
  }
}

void MainFrameTest::commandsFollowTheSelection() {
  CContentView* tree = frame_->ContentView();
  QTreeWidgetItem* top = tree->topLevelItem(0);
  tree->setCurrentItem(top);
  for (unsigned command : {cmd::kBackup, cmd::kRenameSelection, cmd::kDeleteSelection,
                           cmd::kProperties, cmd::kRestore}) {
    QVERIFY2(frame_->CommandAction(command)->isEnabled(), qPrintable(QString::number(command)));
  }
  QVERIFY(!frame_->CommandAction(cmd::kViewFile)->isEnabled());  // a folder

  tree->setCurrentItem(top->child(1));  // notes.md
  QVERIFY(frame_->CommandAction(cmd::kViewFile)->isEnabled());
  QVERIFY(frame_->CommandAction(cmd::kRestore)->isEnabled());

  // The tool buttons and menu items are the same actions.
  QToolBar* toolBar = frame_->findChild<QToolBar*>(QStringLiteral("mainToolBar"));
  QVERIFY(toolBar->actions().contains(frame_->CommandAction(cmd::kViewFile)));

  frame_->SelectionView()->clearSelection();
  frame_->UpdateCommandStates();
  for (unsigned command :
       {cmd::kBackup, cmd::kRenameSelection, cmd::kDeleteSelection, cmd::kProperties}) {
    QVERIFY(!frame_->CommandAction(command)->isEnabled());
  }
  QVERIFY(frame_->CommandAction(cmd::kNewSelection)->isEnabled());
  QVERIFY(frame_->CommandAction(cmd::kHelpContents)->isEnabled());
}

void MainFrameTest::renameTakesNewNameAndIgnoresEmpty() {
  CMarrowbyView* selections = frame_->SelectionView();
  auto renameTo = [&](const QString& text, bool withKey) {
    selections->setCurrentRow(1);
    if (withKey) {
      QTest::keyClick(selections, Qt::Key_F2);
    } else {
      frame_->OnCommand(cmd::kRenameSelection);
    }
    auto* editor = selections->findChild<QLineEdit*>();
    QVERIFY(editor != nullptr);
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the delegate commits on a queued call
  };
  renameTo(QStringLiteral("Holiday Photos"), false);
  QCOMPARE(selections->item(1)->text(), QStringLiteral("Holiday Photos"));
  std::vector<std::wstring> names = TakeList(frame_->Engine(), frame_->Engine()->GetProfileNames());
  QCOMPARE(QString::fromStdWString(names.at(1)), QStringLiteral("Holiday Photos"));

  renameTo(QString(), true);
  QCOMPARE(selections->item(1)->text(), QStringLiteral("Holiday Photos"));
  names = TakeList(frame_->Engine(), frame_->Engine()->GetProfileNames());
  QCOMPARE(QString::fromStdWString(names.at(1)), QStringLiteral("Holiday Photos"));
}

void MainFrameTest::deleteAsksFirst() {
  CMarrowbyView* selections = frame_->SelectionView();
  selections->setCurrentRow(2);
  MessageBox::SetNextAnswer(QMessageBox::No);
  QTest::keyClick(selections, Qt::Key_Delete);
  QCOMPARE(selections->count(), 3);
  QVERIFY(MessageBox::LastText().startsWith(QStringLiteral("The Backup Selection Music, and all")));

  MessageBox::SetNextAnswer(QMessageBox::Yes);
  frame_->OnCommand(cmd::kDeleteSelection);
  QCOMPARE(RowTexts(selections),
           QStringList({QStringLiteral("Documents"), QStringLiteral("Photos")}));
  // The last row went, so the new last row is selected and shown.
  QCOMPARE(selections->Selected(), 1);
  QCOMPARE(frame_->SnapshotView()->headerItem()->text(0), QStringLiteral("Snapshots of Photos"));

  // Indices stay as they were: the remaining rows still reach their selections.
  selections->setCurrentRow(0);
  QCOMPARE(frame_->SnapshotView()->topLevelItemCount(), 2);
}

void MainFrameTest::gaugeFollowsLimit() {
  QCOMPARE(CMainFrame::GaugePosition(0, 5000), 0);
  QCOMPARE(CMainFrame::GaugePosition(1000, 250), 250);
  QCOMPARE(CMainFrame::GaugePosition(1000, 1001), 1000);
  QCOMPARE(CMainFrame::GaugePosition(int64_t{1} << 40, (int64_t{1} << 40) - 1), 999);

  auto* gauge = frame_->findChild<QProgressBar*>(QStringLiteral("storageGauge"));
  QCOMPARE(gauge->maximum(), 1000);
  frame_->Engine()->SetMaxBackupSize(1);
  frame_->UpdateStatusBar();
  QCOMPARE(gauge->value(), 1000);
  frame_->Engine()->SetMaxBackupSize(0);
  frame_->UpdateStatusBar();
  QCOMPARE(gauge->value(), 0);
  // Used, quota and free in units a person reads.
  auto* storage = frame_->findChild<QLabel*>(QStringLiteral("storagePane"));
  QVERIFY2(QRegularExpression(
               QStringLiteral("^Used for backup: [0-9.]+ (bytes|KB|MB) \\(no limit\\) \\| "
                              "Free on drive: [0-9.]+ (KB|MB|GB|TB)$"))
               .match(storage->text())
               .hasMatch(),
           qPrintable(storage->text()));
  frame_->Engine()->SetMaxBackupSize(int64_t{3} << 29);
  frame_->UpdateStatusBar();
  QVERIFY2(storage->text().contains(QStringLiteral(" of 1.5 GB | Free on drive: ")),
           qPrintable(storage->text()));
}

void MainFrameTest::snapshotRowKeepsItsShare() {
  QCOMPARE(CMainFrame::SnapshotRowHeight(300), 120);
  QCOMPARE(CMainFrame::SnapshotRowHeight(120), 40);
  QCOMPARE(CMainFrame::SnapshotRowHeight(900), 300);

  auto* rows = frame_->findChild<QSplitter*>(QStringLiteral("rowSplitter"));
  for (int height : {300, 120}) {
    int chrome = frame_->height() - rows->height();
    frame_->resize(frame_->width(), height + chrome);
    QTRY_COMPARE(rows->height(), height);
    QCOMPARE(rows->sizes().at(1), CMainFrame::SnapshotRowHeight(height));
  }
}

namespace {

// Right-clicks `pos` of `view` and returns the texts of the menu that opens,
// closing it unchosen.
QStringList ContextMenuAt(QAbstractItemView* view, const QPoint& pos, const QString& shot) {
  QStringList texts;
  QTimer::singleShot(0, [&] {
    QWidget* popup = QApplication::activePopupWidget();
    if (popup == nullptr) return;
    for (QAction* action : popup->actions()) {
      texts << action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (off)"));
    }
    SaveScreenshot(popup, shot);
    popup->close();
  });
  QTest::mousePress(view->viewport(), Qt::RightButton, {}, pos);
  return texts;
}

}  // namespace

void MainFrameTest::contextMenusOfferTheirCommands() {
  CMarrowbyView* selections = frame_->SelectionView();
  QRect second = selections->visualItemRect(selections->item(1));
  QCOMPARE(ContextMenuAt(selections, second.center(), QStringLiteral("menu-selection-row")),
           QStringList({QStringLiteral("New Backup Selection"), QStringLiteral("&Backup..."),
                        QStringLiteral("Veri&fy"), QStringLiteral("&Keep Rules..."),
                        QStringLiteral("&Delete Backup Selection"), QStringLiteral("&Rename"),
                        QStringLiteral("&Properties...")}));
  QCOMPARE(selections->Selected(), 1);  // the row clicked

  QPoint empty(selections->viewport()->width() - 5, selections->viewport()->height() - 5);
  QCOMPARE(ContextMenuAt(selections, empty, QStringLiteral("menu-selection-space")),
           QStringList(QStringLiteral("&New Backup Selection...")));
  QCOMPARE(selections->Selected(), 1);  // kept

  selections->setCurrentRow(0);
  CContentView* tree = frame_->ContentView();
  QTreeWidgetItem* notes = tree->topLevelItem(0)->child(1);
  QCOMPARE(ContextMenuAt(tree, tree->visualItemRect(notes).center(),
                         QStringLiteral("menu-content-item")),
           QStringList({QStringLiteral("R&estore..."), QStringLiteral("&View File"), QString(),
                        QStringLiteral("Versi&ons of this file\u2026"),
                        QStringLiteral("Compare with &now (off)"),
                        QStringLiteral("Compare with &snapshot\u2026 (off)")}));
  QCOMPARE(tree->currentItem(), notes);
  // A folder cannot be viewed.
  QTreeWidgetItem* folder = tree->topLevelItem(0)->child(0);
  QCOMPARE(ContextMenuAt(tree, tree->visualItemRect(folder).center(), QString()),
           QStringList({QStringLiteral("R&estore..."), QStringLiteral("&View File (off)"),
                        QString(), QStringLiteral("Versi&ons of this file\u2026 (off)"),
                        QStringLiteral("Compare with &now"),
                        QStringLiteral("Compare with &snapshot\u2026")}));

  CSnapshotView* snapshots = frame_->SnapshotView();
  QTreeWidgetItem* older = snapshots->topLevelItem(1);
  QCOMPARE(ContextMenuAt(snapshots, snapshots->visualItemRect(older).center(),
                         QStringLiteral("menu-snapshot-row")),
           QStringList({QStringLiteral("R&estore..."), QStringLiteral("&Delete Snapshot"),
                        QStringLiteral("&Open in the File Manager")}));
  QCOMPARE(snapshots->Selected(), 0);
}

void MainFrameTest::damagedSnapshotKeepsItsRow() {
  frame_.reset();
  QDirIterator stores(drive_->Folder(), {QStringLiteral("file.snp")}, QDir::Files,
                      QDirIterator::Subdirectories);
  QVERIFY(stores.hasNext());
  // The first selection's older entry of two: damage with a sound entry behind.
  QFile snapshots(stores.next());
  while (!snapshots.fileName().isEmpty() && snapshots.size() != 2 * 2088 && stores.hasNext()) {
    snapshots.setFileName(stores.next());
  }
  QCOMPARE(snapshots.size(), 2 * 2088);
  QVERIFY(snapshots.open(QIODevice::ReadWrite));
  snapshots.seek(100);
  snapshots.write(QByteArray(500, '\0'));
  snapshots.close();

  frame_ = std::make_unique<CMainFrame>();
  frame_->show();
  QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
  CSnapshotView* view = frame_->SnapshotView();
  QCOMPARE(view->topLevelItemCount(), 2);
  QCOMPARE(view->topLevelItem(1)->text(0), LoadString(marrowby::ids::kDamagedSnapshot));
  QVERIFY(view->topLevelItem(0)->text(0) != LoadString(marrowby::ids::kDamagedSnapshot));
  SaveScreenshot(frame_.get(), QStringLiteral("damaged-snapshot"));
}

void MainFrameTest::helpAndAboutOpen() {
  QStringList opened;
  SetShellOpenHandler([&](const QString& path) {
    opened << path;
    return true;
  });
  QString program = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  QString help =
      drive_->Folder() + QSep(QStringLiteral("HelpFiles|")) + program + QStringLiteral(".html");

  MessageBox::SetNextAnswer(QMessageBox::Ok);
  frame_->OnCommand(cmd::kHelpContents);
  QVERIFY(opened.isEmpty());
  QCOMPARE(MessageBox::LastText(),
           QStringLiteral("Error with code 2 when try to launch the help file: \n") + help);

  QDir().mkpath(QFileInfo(help).path());
  QFile file(help);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.close();
  frame_->OnCommand(cmd::kHelpContents);
  QCOMPARE(opened, QStringList(help));
  SetShellOpenHandler({});

  QString version;
  QTimer::singleShot(0, [&] {
    auto* about = QApplication::activeModalWidget();
    if (about == nullptr) return;
    version = about->findChild<QLabel*>(QStringLiteral("versionLabel"))->text();
    SaveScreenshot(about, QStringLiteral("about"));
    about->close();
  });
  frame_->OnCommand(cmd::kAbout);
  QCOMPARE(version, QStringLiteral("Version " MARROWBY_VERSION));
}

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"

void MainFrameTest::verifyTellsASoundStoreFromADamagedOne() {
  frame_->SelectionView()->setCurrentRow(0);
  {
    // Blocks in the data file: its size is what the verify reads.
    QFile big(drive_->SourceRoot() + QSep(QStringLiteral("docs|big.bin")));
    QVERIFY(big.open(QIODevice::WriteOnly));
    for (int i = 0; i < 40000; ++i) big.write(QByteArray::number(i * 7919));
    big.close();
    ProgressCloser backup(frame_.get());
    frame_->OnCommand(cmd::kBackup);
    QCOMPARE(backup.Closed(), 1);
  }
  {
    ProgressCloser closer(frame_.get(), QStringLiteral("verify-sound"));
    MessageBox::ClearLastText();
    frame_->OnCommand(cmd::kVerify);
    QCOMPARE(closer.Closed(), 1);
    QCOMPARE(closer.LastTitle(), QStringLiteral("Verifying Documents"));
    // Sound, worded as a verify, and no box about space or damage on the way.
    QCOMPARE(closer.LastStatus(), CBackupProgressDlg::kCompleted);
    QCOMPARE(closer.LastStatusText(),
             QStringLiteral("Verify of Documents completed: the store is sound."));
    QCOMPARE(MessageBox::LastText(), QString());
  }
  // A byte of the newest stored content of the selection's three snapshots.
  QDirIterator stores(drive_->Folder(), {QStringLiteral("file.snp")}, QDir::Files,
                      QDirIterator::Subdirectories);
  QString folder;
  while (stores.hasNext()) {
    const QFileInfo snapshots(stores.next());
    if (snapshots.size() == 3 * 2088) folder = snapshots.absolutePath();
  }
  QFile contents(folder + QStringLiteral("/file.fp"));
  QVERIFY(contents.open(QIODevice::ReadWrite));
  contents.seek(contents.size() - 2);
  const char byte = contents.read(1).at(0);
  contents.seek(contents.size() - 2);
  contents.write(QByteArray(1, static_cast<char>(byte ^ 0x20)));
  contents.close();

  MessageBox::SetNextAnswer(QMessageBox::Ok);  // the error box at the end
  ProgressCloser closer(frame_.get(), QStringLiteral("verify-damaged"));
  frame_->OnCommand(cmd::kVerify);
  QCOMPARE(closer.Closed(), 1);
  QCOMPARE(closer.LastStatus(), CBackupProgressDlg::kFailed);
}
