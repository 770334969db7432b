// Keep rules in the desktop program against the real engine: set on their
// page with the mouse and the keyboard, in English and German, the preview
// of what the next backup forgets, that backup forgetting exactly that, and
// the forget log telling it; a backup the quota would stop, after the rules
// made room.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <memory>

#include "AppStrings.h"
#include "CMainFrame.h"
#include "CMarrowbyView.h"
#include "EngineList.h"
#include "MessageBox.h"
#include "SnapshotTimeText.h"
#include "TestDialogsSupport.h"
#include "dialogs/CForgetLogDlg.h"
#include "dialogs/CKeepRulesDlg.h"
#include "resources/ResourceIds.h"
#include "support/TestDrive.h"
#include "support/TestLanguage.h"
#include "vaultline/KeepRules.h"

using namespace marrowby;

class KeepRulesPageTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup();
  void theNextBackupForgetsWhatThePreviewShowed_data();
  void theNextBackupForgetsWhatThePreviewShowed();
  void backUpAllAppliesEachSelectionsRules();
  void theRulesMakeRoomWhenTheQuotaWouldStopABackup_data();
  void theRulesMakeRoomWhenTheQuotaWouldStopABackup();

 private:
  // Selections each with snapshots a second apart, so that their times differ.
  void OpenWindow(const std::vector<const wchar_t*>& names, int snapshots);
  // Opens the keep-rules page of row `row` from its context menu, by the
  // item's key.
  void OpenKeepRules(int row, Qt::Key key = Qt::Key_K);
  QStringList SnapshotTexts(unsigned profile) const;

  std::unique_ptr<TestDrive> drive_;
  std::unique_ptr<CMainFrame> frame_;
};

void KeepRulesPageTest::cleanup() {
  frame_.reset();
  drive_.reset();
  MessageBox::ClearLastText();
}

void KeepRulesPageTest::OpenWindow(const std::vector<const wchar_t*>& names, int snapshots) {
  drive_ = std::make_unique<TestDrive>();
  for (const wchar_t* name : names) {
    QVERIFY(drive_->AddSelection(name, ToQString(name), {QStringLiteral("a.txt")}, 1));
  }
  for (int i = 1; i < snapshots; ++i) {
    QTest::qWait(1100);
    for (size_t profile = 0; profile < names.size(); ++profile) {
      QVERIFY(drive_->AddSnapshot(static_cast<int>(profile), ToQString(names[profile]),
                                  {QStringLiteral("n%1.txt").arg(i)}));
    }
  }
  frame_ = std::make_unique<CMainFrame>();
  ShowActive(frame_.get());
  frame_->Engine()->SetMaxBackupSize(0);
}

void KeepRulesPageTest::OpenKeepRules(int row, Qt::Key key) {
  CMarrowbyView* list = frame_->SelectionView();
  QTimer::singleShot(0, [key] {
    if (QWidget* popup = QApplication::activePopupWidget()) QTest::keyClick(popup, key);
  });
  QTest::mousePress(list->viewport(), Qt::RightButton, {},
                    list->visualItemRect(list->item(row)).center());
}

QStringList KeepRulesPageTest::SnapshotTexts(unsigned profile) const {
  QStringList texts;
  for (const std::wstring& text :
       TakeList(frame_->Engine(), frame_->Engine()->GetSnapshots(profile))) {
    texts << SnapshotTimeText(ToQString(text));
  }
  return texts;
}

namespace {

// Types `value` into a spin box as a user does: all of it selected, replaced.
void TypeCount(QSpinBox* spin, int value) {
  spin->setFocus();
  QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(spin, QString::number(value));
}

}  // namespace

void KeepRulesPageTest::theNextBackupForgetsWhatThePreviewShowed_data() {
  QTest::addColumn<QString>("language");
  QTest::addColumn<int>("key");  // of the context menu's item
  QTest::addColumn<QString>("heading");
  QTest::addColumn<QString>("logged");
  QTest::newRow("en") << QStringLiteral("en") << int{Qt::Key_K}
                      << QStringLiteral(
                             "After the next backup these rules forget 3 of the 4 snapshots:")
                      << QStringLiteral(
                             "Documents: forgot 3 snapshot(s) by the keep rules "
                             "(last 2, daily 1): ");
  QTest::newRow("de") << QStringLiteral("de") << int{Qt::Key_B}
                      << QStringLiteral(
                             "Nach der nächsten Sicherung vergessen diese Regeln 3 "
                             "der 4 Snapshots:")
                      << QStringLiteral(
                             "Documents: 3 Snapshot(s) nach den Aufbewahrungsregeln "
                             "vergessen (letzte 2, täglich 1): ");
}

void KeepRulesPageTest::theNextBackupForgetsWhatThePreviewShowed() {
  QFETCH(QString, language);
  QFETCH(int, key);
  QFETCH(QString, heading);
  QFETCH(QString, logged);
  TestLanguage texts(language);
  QVERIFY(texts.Loaded());
  OpenWindow({L"Documents"}, 4);
  const QStringList before = SnapshotTexts(0);
  QCOMPARE(before.size(), 4);

  QStringList previewed;
  bool seen = false;
  OnNextModal<CKeepRulesDlg>([&](CKeepRulesDlg* page) {
    seen = true;
    auto* enabled = page->findChild<QCheckBox*>(QStringLiteral("keepRulesEnabledCheckBox"));
    QVERIFY(!enabled->isChecked());
    // Off, the page still tells what the rules proposed would forget.
    QVERIFY(!page->findChild<QListWidget*>(QStringLiteral("previewList"))->isEnabled());
    QTest::mouseClick(enabled, Qt::LeftButton, {}, QPoint(8, enabled->height() / 2));
    QVERIFY(enabled->isChecked());
    TypeCount(page->findChild<QSpinBox*>(QStringLiteral("keepLastSpinBox")), 2);
    TypeCount(page->findChild<QSpinBox*>(QStringLiteral("keepDailySpinBox")), 1);
    TypeCount(page->findChild<QSpinBox*>(QStringLiteral("keepWeeklySpinBox")), 0);
    TypeCount(page->findChild<QSpinBox*>(QStringLiteral("keepMonthlySpinBox")), 0);
    QTRY_COMPARE(TextOf<QLabel>(page, "previewHeading"), heading);
    previewed = page->PreviewedTimes();
    SaveScreenshot(page, QStringLiteral("keep-rules-preview-%1").arg(language));
    QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
  });
  OpenKeepRules(0, static_cast<Qt::Key>(key));
  QVERIFY(seen);
  // All but the newest: today's newest will be the next backup's, and the
  // count of two keeps one more.
  QCOMPARE(previewed, before.mid(0, 3));
  const KeepRules stored = GetKeepRules(frame_->Engine(), 0);
  QVERIFY(stored.enabled);
  QCOMPARE(stored.last, 2);
  QCOMPARE(stored.daily, 1);
  QCOMPARE(stored.weekly + stored.monthly, 0);

  QVERIFY(BackUpWithKeys(frame_.get()));
  const QStringList after = SnapshotTexts(0);
  QCOMPARE(after.size(), 2);
  QStringList forgotten = before;
  for (const QString& text : after) forgotten.removeOne(text);
  QCOMPARE(forgotten, previewed);

  // The log tells it, opened from the page.
  QString log;
  OnNextModal<CKeepRulesDlg>([&](CKeepRulesDlg* page) {
    OnNextModal<CForgetLogDlg>([&](CForgetLogDlg* dialog) {
      log = dialog->Text();
      SaveScreenshot(dialog, QStringLiteral("forget-log-%1").arg(language));
      dialog->reject();
    });
    QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("showLogButton")),
                      Qt::LeftButton);
    SaveScreenshot(page, QStringLiteral("keep-rules-%1").arg(language));
    page->reject();
  });
  OpenKeepRules(0, static_cast<Qt::Key>(key));
  QVERIFY2(log.contains(logged), qPrintable(log));
  frame_.reset();  // before its texts go
}

void KeepRulesPageTest::backUpAllAppliesEachSelectionsRules() {
  OpenWindow({L"Documents", L"Photos"}, 3);
  QVERIFY(SetKeepRules(frame_->Engine(), 1, {true, 1, 0, 0, 0}));
  ProgressCloser closer(frame_.get());
  QTest::keyClick(frame_.get(), Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(closer.Closed(), 1);
  QCOMPARE(closer.LastStatus(), CBackupProgressDlg::kCompleted);
  QCOMPARE(SnapshotTexts(0).size(), 4);  // no rules
  QCOMPARE(SnapshotTexts(1).size(), 1);  // the newest alone
}

namespace {

// 200 KB that no earlier snapshot holds.
bool WriteNewData(const QString& path) {
  QByteArray data(200 << 10, Qt::Uninitialized);
  QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
  QFile out(path);
  return out.open(QIODevice::WriteOnly) && out.write(data) == data.size();
}

}  // namespace

void KeepRulesPageTest::theRulesMakeRoomWhenTheQuotaWouldStopABackup_data() {
  QTest::addColumn<int>("modifiers");
  QTest::newRow("Backup") << int{Qt::ControlModifier};
  QTest::newRow("Back Up All") << int{Qt::ControlModifier | Qt::ShiftModifier};
}

void KeepRulesPageTest::theRulesMakeRoomWhenTheQuotaWouldStopABackup() {
  QFETCH(int, modifiers);
  // Three snapshots of data they do not share, and a quota that leaves less
  // than the next backup needs.
  drive_ = std::make_unique<TestDrive>();
  const QString file = drive_->SourceRoot() + QSep(QStringLiteral("Documents|big.bin"));
  QVERIFY(QDir().mkpath(QFileInfo(file).path()));
  QVERIFY(WriteNewData(file));
  QVERIFY(drive_->AddSelection(L"Documents", QStringLiteral("Documents"), {}, 1));
  for (int i = 1; i < 3; ++i) {
    QTest::qWait(1100);
    QVERIFY(WriteNewData(file));
    QVERIFY(drive_->AddSnapshot(0, QStringLiteral("Documents"), {}));
  }
  frame_ = std::make_unique<CMainFrame>();
  ShowActive(frame_.get());
  IVaultline* engine = frame_->Engine();
  engine->SetMaxBackupSize(engine->GetStorageUsed() + (100 << 10));
  QVERIFY(SetKeepRules(engine, 0, {true, 1, 0, 0, 0}));
  const QStringList before = SnapshotTexts(0);
  QCOMPARE(before.size(), 3);
  QVERIFY(WriteNewData(file));
  QTest::qWait(1100);  // its snapshot's time differs from the last one's

  MessageBox::ClearLastText();
  // The quota's error box, were it shown, is answered rather than left open.
  MessageBox::SetNextAnswer(QMessageBox::Ok);
  ProgressCloser closer(frame_.get());
  QTest::keyClick(frame_.get(), Qt::Key_B, static_cast<Qt::KeyboardModifiers>(modifiers));
  QCOMPARE(closer.Closed(), 1);
  QVERIFY2(MessageBox::LastText().isEmpty(), qPrintable(MessageBox::LastText()));
  QCOMPARE(MessageBox::Show(nullptr, QString()), QMessageBox::Ok);  // the answer, unused
  QCOMPARE(closer.LastStatus(), CBackupProgressDlg::kCompleted);
  // The two oldest made room; after the backup the rules keep its snapshot alone.
  const QStringList after = SnapshotTexts(0);
  QCOMPARE(after.size(), 1);
  QVERIFY(!before.contains(after.front()));
  QStringList log;
  for (const std::wstring& line : TakeList(engine, ReadForgetLog(engine))) {
    log << ToQString(line);
  }
  QCOMPARE(log.filter(QStringLiteral("forgot 2 snapshot(s)")).size(), 1);
  QCOMPARE(log.filter(QStringLiteral("forgot 1 snapshot(s)")).size(), 1);
  QVERIFY(engine->GetStorageUsed() <= engine->GetMaxBackupSize());
}

QTEST_MAIN(KeepRulesPageTest)
#include "KeepRulesPageTest.moc"
