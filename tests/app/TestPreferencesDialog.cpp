// The backup limits as the preferences show and store them.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>
#include <functional>

#include "TestDialogsSupport.h"
#include "dialogs/CPreferenceDlg.h"

namespace {

constexpr int64_t kGiB = int64_t{1} << 30;
constexpr int64_t kMiB = int64_t{1} << 20;

// Opens the dialog, lets `inspect` look and act, then presses Save.
bool RunAndSave(CPreferenceDlg& dialog, const std::function<void()>& inspect) {
  QTimer::singleShot(0, &dialog, [&] {
    inspect();
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("saveButton")), Qt::LeftButton);
  });
  return dialog.Run(nullptr);
}

}  // namespace

class TestPreferencesDialog : public QObject {
  Q_OBJECT

 private slots:
  void capacityFollowsTheSliderAsShareOfTheDrive() {
    CPreferenceDlg dialog(vaultline::platform::kSeparatorText, CPreferenceDlg::Use::kStandalone);
    dialog.SetDriveTotal(4 * kGiB);
    dialog.SetBackupSizeLimit(kGiB);
    const bool saved = RunAndSave(dialog, [&] {
      auto* slider = dialog.findChild<QSlider*>(QStringLiteral("capacitySlider"));
      QCOMPARE(slider->value(), 25);
      QCOMPARE(TextOf<QLineEdit>(&dialog, "capacityLineEdit"), QStringLiteral("1024"));
      QCOMPARE(TextOf<QLabel>(&dialog, "sliderPercentLabel"), QStringLiteral("25 %"));
      slider->setValue(50);
      QCOMPARE(TextOf<QLineEdit>(&dialog, "capacityLineEdit"), QStringLiteral("2048"));
      SaveScreenshot(dialog.window(), QStringLiteral("preferences-dialog"));
    });
    QVERIFY(saved);
    QCOMPARE(dialog.BackupSizeLimit(), int64_t{2147483648});
    QCOMPARE(dialog.MaxFileSize(), int64_t{0});
  }

  void limitBeyondTheDriveIsPulledBackToIt() {
    CPreferenceDlg dialog(vaultline::platform::kSeparatorText, CPreferenceDlg::Use::kStandalone);
    dialog.SetDriveTotal(4 * kGiB);
    dialog.SetBackupSizeLimit(8 * kGiB);
    QVERIFY(RunAndSave(dialog, [&] {
      QCOMPARE(dialog.findChild<QSlider*>(QStringLiteral("capacitySlider"))->value(), 100);
      QCOMPARE(TextOf<QLineEdit>(&dialog, "capacityLineEdit"), QStringLiteral("4096"));
    }));
    QCOMPARE(dialog.BackupSizeLimit(), 4 * kGiB);
  }

  // A quota that is no whole number of MB (set with the command line) is kept
  // as it is when Save changes nothing, not cut to 0, which means no limit.
  void aQuotaSetElsewhereSurvivesSave() {
    for (int64_t quota : {int64_t{500000}, 3 * kMiB + 12345, int64_t{0}}) {
      CPreferenceDlg dialog(vaultline::platform::kSeparatorText, CPreferenceDlg::Use::kStandalone);
      dialog.SetDriveTotal(4 * kGiB);
      dialog.SetBackupSizeLimit(quota);
      QVERIFY(RunAndSave(dialog, [&] {
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("capacityLineEdit"));
        QCOMPARE(edit->text().isEmpty(), quota == 0);
        if (quota == 0) QCOMPARE(edit->placeholderText(), QStringLiteral("no limit"));
      }));
      QCOMPARE(dialog.BackupSizeLimit(), quota);
    }
  }

  // Typed capacities, in MB or GB, move the slider to their share.
  void capacityIsTypedInMegabytesOrGigabytes() {
    CPreferenceDlg dialog(vaultline::platform::kSeparatorText, CPreferenceDlg::Use::kStandalone);
    dialog.SetDriveTotal(4 * kGiB);
    dialog.SetBackupSizeLimit(kGiB);
    QVERIFY(RunAndSave(dialog, [&] {
      auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("capacityLineEdit"));
      auto* unit = dialog.findChild<QComboBox*>(QStringLiteral("capacityUnitComboBox"));
      auto* slider = dialog.findChild<QSlider*>(QStringLiteral("capacitySlider"));
      QVERIFY(!edit->isReadOnly());
      unit->setCurrentIndex(1);
      QCOMPARE(edit->text(), QStringLiteral("1"));
      edit->selectAll();
      QTest::keyClicks(edit, QStringLiteral("3"));
      QCOMPARE(slider->value(), 75);
      QCOMPARE(TextOf<QLabel>(&dialog, "sliderPercentLabel"), QStringLiteral("75 %"));
      unit->setCurrentIndex(0);
      QCOMPARE(edit->text(), QStringLiteral("3072"));
      edit->selectAll();
      QTest::keyClicks(edit, QStringLiteral("700"));
    }));
    QCOMPARE(dialog.BackupSizeLimit(), 700 * kMiB);
  }

  void fileSizeOpensInTheUnitThatFitsAndRoundTrips() {
    struct Case {
      int64_t bytes;
      int value;
      const char* unit;
    };
    for (const Case& c : {Case{5 * kMiB, 5, "MB"}, Case{1536 * 1024, 1536, "KB"},
                          Case{int64_t{100000} * kMiB, 100000, "MB"}}) {
      CPreferenceDlg dialog(vaultline::platform::kSeparatorText, CPreferenceDlg::Use::kStandalone);
      dialog.SetDriveTotal(4 * kGiB);
      dialog.SetMaxFileSize(c.bytes);
      QVERIFY(RunAndSave(dialog, [&] {
        QVERIFY(dialog.findChild<QCheckBox*>(QStringLiteral("limitFilesCheckBox"))->isChecked());
        QCOMPARE(dialog.findChild<QSpinBox*>(QStringLiteral("fileSizeSpinBox"))->value(), c.value);
        QCOMPARE(
            dialog.findChild<QComboBox*>(QStringLiteral("fileSizeUnitComboBox"))->currentText(),
            QString::fromLatin1(c.unit));
      }));
      QCOMPARE(dialog.MaxFileSize(), c.bytes);
    }
  }

  void turningTheLimitOnProposes500KB() {
    CPreferenceDlg dialog(vaultline::platform::kSeparatorText, CPreferenceDlg::Use::kStandalone);
    dialog.SetDriveTotal(4 * kGiB);
    QVERIFY(RunAndSave(dialog, [&] {
      auto* spin = dialog.findChild<QSpinBox*>(QStringLiteral("fileSizeSpinBox"));
      QVERIFY(!spin->isEnabled());
      QTest::mouseClick(dialog.findChild<QCheckBox*>(QStringLiteral("limitFilesCheckBox")),
                        Qt::LeftButton);
      QVERIFY(spin->isEnabled());
      QCOMPARE(spin->value(), 500);
      QCOMPARE(dialog.findChild<QComboBox*>(QStringLiteral("fileSizeUnitComboBox"))->currentText(),
               QStringLiteral("KB"));
    }));
    QCOMPARE(dialog.MaxFileSize(), int64_t{500 * 1024});
  }

  void unknownDriveSizeShowsNoShareInsteadOfDividingByZero() {
    CPreferenceDlg dialog(vaultline::platform::kSeparatorText, CPreferenceDlg::Use::kStandalone);
    dialog.SetDriveTotal(0);
    dialog.SetBackupSizeLimit(kGiB);
    QVERIFY(RunAndSave(dialog, [&] {
      QVERIFY(!dialog.findChild<QSlider*>(QStringLiteral("capacitySlider"))->isEnabled());
      QCOMPARE(TextOf<QLabel>(&dialog, "freePercentLabel"), QStringLiteral("(0 %)"));
      QCOMPARE(TextOf<QLineEdit>(&dialog, "capacityLineEdit"), QStringLiteral("1024"));
    }));
    QCOMPARE(dialog.BackupSizeLimit(), kGiB);
  }

  void cancelStoresNothing() {
    CPreferenceDlg dialog(vaultline::platform::kSeparatorText, CPreferenceDlg::Use::kStandalone);
    dialog.SetDriveTotal(4 * kGiB);
    dialog.SetBackupSizeLimit(kGiB);
    QTimer::singleShot(0, &dialog, [&] {
      dialog.findChild<QSlider*>(QStringLiteral("capacitySlider"))->setValue(75);
      QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cancelButton")),
                        Qt::LeftButton);
    });
    QVERIFY(!dialog.Run(nullptr));
    QCOMPARE(dialog.BackupSizeLimit(), kGiB);
  }
};

QTEST_MAIN(TestPreferencesDialog)
#include "TestPreferencesDialog.moc"
