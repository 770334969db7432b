// The main window's size and splitters survive a restart, kept in the user's
// configuration folder (a temporary one here); the snapshot row keeps its
// third of the height only until the user drags the splitter.
#include <QFile>
#include <QSplitter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "CMainFrame.h"
#include "support/TestDrive.h"

namespace {

QSplitter* Splitter(CMainFrame* frame, const char* name) {
  return frame->findChild<QSplitter*>(QString::fromLatin1(name));
}

std::unique_ptr<CMainFrame> OpenFrame() {
  auto frame = std::make_unique<CMainFrame>();
  frame->show();
  if (!QTest::qWaitForWindowExposed(frame.get())) return nullptr;
  return frame;
}

// Drags the handle between the two rows by `dy`, as a user does.
void DragRows(CMainFrame* frame, int dy) {
  QSplitterHandle* handle = Splitter(frame, "rowSplitter")->handle(1);
  const QPoint middle = handle->rect().center();
  QTest::mousePress(handle, Qt::LeftButton, {}, middle);
  QTest::mouseMove(handle, middle + QPoint(0, dy));
  QTest::mouseRelease(handle, Qt::LeftButton, {}, middle + QPoint(0, dy));
}

}  // namespace

class WindowStateTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void geometryAndSplittersSurviveARestart();
  void thirdRuleHoldsUntilTheUserDrags();

 private:
  QTemporaryDir config_;
  std::unique_ptr<TestDrive> drive_;
};

void WindowStateTest::initTestCase() {
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
}

void WindowStateTest::init() {
  QFile::remove(config_.path() + QStringLiteral("/Brindle+/Marrowby.ini"));
  drive_ = std::make_unique<TestDrive>();
  QVERIFY(drive_->AddSelection(L"Documents", QStringLiteral("docs"), {QStringLiteral("a.txt")}, 1));
}

void WindowStateTest::geometryAndSplittersSurviveARestart() {
  QList<int> rows;
  QList<int> columns;
  {
    std::unique_ptr<CMainFrame> frame = OpenFrame();
    QVERIFY(frame);
    frame->resize(700, 520);
    QTRY_COMPARE(frame->size(), QSize(700, 520));
    Splitter(frame.get(), "columnSplitter")->setSizes({180, 500});
    DragRows(frame.get(), -60);
    rows = Splitter(frame.get(), "rowSplitter")->sizes();
    columns = Splitter(frame.get(), "columnSplitter")->sizes();
    QVERIFY(rows.at(1) >
            CMainFrame::SnapshotRowHeight(Splitter(frame.get(), "rowSplitter")->height()));
  }
  // The settings live in the configuration folder, not on the drive.
  QVERIFY(QFile::exists(config_.path() + QStringLiteral("/Brindle+/Marrowby.ini")));
  QVERIFY(!QDir(drive_->Folder()).entryList().contains(QStringLiteral("Marrowby.ini")));

  std::unique_ptr<CMainFrame> again = OpenFrame();
  QVERIFY(again);
  QCOMPARE(again->size(), QSize(700, 520));
  QCOMPARE(Splitter(again.get(), "rowSplitter")->sizes(), rows);
  QCOMPARE(Splitter(again.get(), "columnSplitter")->sizes(), columns);
}

void WindowStateTest::thirdRuleHoldsUntilTheUserDrags() {
  std::unique_ptr<CMainFrame> frame = OpenFrame();
  QVERIFY(frame);
  QSplitter* rows = Splitter(frame.get(), "rowSplitter");
  auto resizeRows = [&](int height) {
    frame->resize(frame->width(), frame->height() - rows->height() + height);
    QTRY_COMPARE(rows->height(), height);
  };
  resizeRows(450);
  QCOMPARE(rows->sizes().at(1), CMainFrame::SnapshotRowHeight(450));

  DragRows(frame.get(), -50);
  const int chosen = rows->sizes().at(1);
  QVERIFY(chosen != CMainFrame::SnapshotRowHeight(450));
  resizeRows(420);
  QVERIFY(rows->sizes().at(1) != CMainFrame::SnapshotRowHeight(420));

  // A later start keeps the user's rows too.
  frame.reset();
  frame = OpenFrame();
  QVERIFY(frame);
  rows = Splitter(frame.get(), "rowSplitter");
  resizeRows(380);
  QVERIFY(rows->sizes().at(1) != CMainFrame::SnapshotRowHeight(380));
}

QTEST_MAIN(WindowStateTest)
#include "WindowStateTest.moc"
