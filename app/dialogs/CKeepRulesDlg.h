// The keep-rules page of a Backup Selection: the switch that applies them
// after each backup, the four counts, and a preview of the snapshots the
// next backup would forget by them (what the engine will forget then: it is
// asked with the rules as they stand in the page). Nothing is stored here:
// the caller reads Rules() after the dialog was accepted.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include "vaultline/KeepRules.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTimer;

class CKeepRulesDlg : public QDialog {
  Q_OBJECT

 public:
  CKeepRulesDlg(IVaultline* engine, unsigned profile, const QString& name, const KeepRules& rules,
                QWidget* owner);

  KeepRules Rules() const;
  // The snapshot times the preview lists, as the snapshot list shows them.
  QStringList PreviewedTimes() const;

 signals:
  // The user asked for the forget log.
  void showLogRequested();

 private:
  void RefreshPreview();
  void UpdateState();

  IVaultline* engine_;
  unsigned profile_;
  QCheckBox* enabledCheck_;
  QSpinBox* lastSpin_;
  QSpinBox* dailySpin_;
  QSpinBox* weeklySpin_;
  QSpinBox* monthlySpin_;
  QLabel* previewHeading_;
  QListWidget* previewList_;
  QLabel* noRuleHint_;
  QPushButton* okButton_;
  QTimer* previewTimer_;
};
