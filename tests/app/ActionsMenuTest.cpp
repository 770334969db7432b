// The Actions menu as a user opens it by key: the ways to find a version sit
// beside View File, and Open in the File Manager shows the selected snapshot
// through the command line's mount (skipped where /dev/fuse is missing).
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <memory>

#include "CMainFrame.h"
#include "MessageBox.h"
#include "ShellOpen.h"
#include "SnapshotMounts.h"
#include "support/HistoryDrive.h"

class ActionsMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void menuOffersTheWaysToFindAVersion();
  void openInTheFileManagerFromTheMenu();

 private:
  // Opens the Actions menu with Alt+A and presses `key` in it; returns the
  // texts the menu showed.
  QStringList ActionsMenuThenKey(Qt::Key key);

  std::unique_ptr<TestDrive> drive_;
  std::unique_ptr<CMainFrame> frame_;
};

void ActionsMenuTest::init() {
  drive_ = std::make_unique<TestDrive>();
  QVERIFY(MakeHistory(*drive_));
  frame_ = OpenMainWindow();
  QVERIFY(frame_ != nullptr);
}

void ActionsMenuTest::cleanup() {
  frame_.reset();
  drive_.reset();
  SetShellOpenHandler({});
  SnapshotMounts::SetProgram(QString());
}

QStringList ActionsMenuTest::ActionsMenuThenKey(Qt::Key key) {
  QStringList texts;
  QTimer::singleShot(50, [&, key] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    for (QAction* action : menu->actions()) texts << action->text();
    SaveScreenshot(menu, QStringLiteral("menu-actions"));
    QTest::keyClick(menu, key);
  });
  QTest::keyClick(frame_.get(), Qt::Key_A, Qt::AltModifier);
  QTest::qWait(200);
  return texts;
}

void ActionsMenuTest::menuOffersTheWaysToFindAVersion() {
  const QStringList texts = ActionsMenuThenKey(Qt::Key_Escape);
  const int view = static_cast<int>(texts.indexOf(QStringLiteral("&View File\tCtrl+V")));
  QVERIFY2(view >= 0, qPrintable(texts.join(u',')));
  QCOMPARE(texts.mid(view + 1, 5),
           QStringList({QStringLiteral("Versi&ons of this file\u2026"),
                        QStringLiteral("Compare with &now"),
                        QStringLiteral("Compare with &snapshot\u2026"),
                        QStringLiteral("Find &in all snapshots\tCtrl+Shift+F"),
                        QStringLiteral("Open in the File &Manager")}));
}

void ActionsMenuTest::openInTheFileManagerFromTheMenu() {
  if (!QFile::exists(QStringLiteral("/dev/fuse"))) QSKIP("/dev/fuse is missing");
  SnapshotMounts::SetProgram(QStringLiteral(MARROWBY_DRIVE_DIR "vaultline"));
  QStringList opened;
  SetShellOpenHandler([&](const QString& path) {
    opened << path;
    return true;
  });
  MessageBox::ClearLastText();
  MessageBox::SetNextAnswer(QMessageBox::Ok);
  ActionsMenuThenKey(Qt::Key_M);
  QTRY_VERIFY(!opened.isEmpty() || !MessageBox::LastText().isEmpty());
  if (opened.isEmpty() && MessageBox::LastText().contains(QStringLiteral("could not be mounted"))) {
    QSKIP("mounting is not permitted here");
  }
  QCOMPARE(opened.size(), 1);
  // The newest snapshot, selected at the start, as it was taken.
  QFile notes(opened.front() + QStringLiteral("/docs/notes.md"));
  QVERIFY(notes.open(QIODevice::ReadOnly));
  QCOMPARE(notes.readAll(), kNotesSecond);
}

QTEST_MAIN(ActionsMenuTest)
#include "ActionsMenuTest.moc"
