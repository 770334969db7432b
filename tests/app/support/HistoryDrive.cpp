#include "support/HistoryDrive.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "CMainFrame.h"
#include "TestDialogsSupport.h"
#include "dialogs/CRestorePath.h"

bool WriteDated(const QString& path, const QByteArray& contents, int secondsAgo) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(contents);
  file.flush();  // a later flush would date it now
  return file.setFileTime(QDateTime::currentDateTime().addSecs(-secondsAgo),
                          QFileDevice::FileModificationTime);
}

QString SourceFile(const TestDrive& drive, const QString& relative) {
  return drive.SourceRoot() + QSep(QStringLiteral("docs|") + relative);
}

bool MakeHistory(TestDrive& drive) {
  auto write = [&](const char* relative, const QByteArray& contents, int secondsAgo) {
    return WriteDated(SourceFile(drive, QString::fromLatin1(relative)), contents, secondsAgo);
  };
  const bool first = write("notes.md", kNotesFirst, 9000) && write("A|b.txt", "bee\n", 9000) &&
                     write("A|keep.txt", "kept\n", 9000) && write("gone.txt", "soon gone\n", 9000);
  if (!first || !drive.AddSelection(L"Documents", QStringLiteral("docs"), {}, 1)) return false;
  if (!write("notes.md", kNotesSecond, 6000) || !write("A|new.txt", "new\n", 6000) ||
      !QFile::remove(SourceFile(drive, QStringLiteral("gone.txt")))) {
    return false;
  }
  if (!drive.AddSnapshot(0, QStringLiteral("docs"), {}) ||
      !drive.AddSnapshot(0, QStringLiteral("docs"), {})) {
    return false;
  }
  return write("notes.md", kNotesNow, 3000) && write("A|b.txt", "bee, changed\n", 3000) &&
         write("fresh.txt", "fresh\n", 3000);
}

void ClickItem(QTreeWidget* view, QTreeWidgetItem* item, Qt::KeyboardModifiers modifiers) {
  view->scrollToItem(item);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                    view->visualItemRect(item).center());
}

void DoubleClickItem(QTreeWidget* view, QTreeWidgetItem* item) {
  ClickItem(view, item);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualItemRect(item).center());
}

QTreeWidgetItem* ItemWithText(QTreeWidget* view, const QString& text, int column) {
  const QList<QTreeWidgetItem*> found =
      view->findItems(text, Qt::MatchExactly | Qt::MatchRecursive, column);
  return found.isEmpty() ? nullptr : found.front();
}

void ChooseFromNextMenu(const QString& text) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, timer, [timer, text] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr || !menu->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    for (QAction* action : menu->actions()) {
      if (action->text() != text) continue;
      QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
      return;
    }
    menu->close();
  });
  timer->start(10);
}

std::unique_ptr<CMainFrame> OpenMainWindow() {
  auto frame = std::make_unique<CMainFrame>();
  frame->resize(900, 620);
  frame->show();
  if (!QTest::qWaitForWindowExposed(frame.get())) return nullptr;
  // An X server without a window manager activates nothing by itself.
  QApplication::setActiveWindow(frame.get());
  frame->activateWindow();
  return frame;
}

QString RestoreInto(CMainFrame* frame, QWidget* window, const QString& target) {
  QString restoring;
  OnNextModal<CRestorePath>([&](CRestorePath* restore) {
    restoring = TextOf<QLabel>(restore, "restoreWhatLabel");
    auto* field = restore->findChild<QLineEdit*>(QStringLiteral("destinationLineEdit"));
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, target);
    QTest::keyClick(field, Qt::Key_Return);
  });
  ProgressCloser closer(frame);
  QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("restoreButton")),
                    Qt::LeftButton);
  // A restore that never ends says nothing restored.
  return QTest::qWaitFor([&] { return closer.Closed() == 1; }) ? restoring : QString();
}
