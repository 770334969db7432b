#include "dialogs/CKeepRulesDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "AppStrings.h"
#include "EngineList.h"
#include "KeepRulesText.h"
#include "SnapshotTimeText.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

namespace {

QSpinBox* CountSpinBox(const char* name, int value) {
  auto* spin = new QSpinBox;
  spin->setObjectName(QString::fromLatin1(name));
  spin->setRange(0, 9999);
  spin->setValue(value);
  return spin;
}

}  // namespace

CKeepRulesDlg::CKeepRulesDlg(IVaultline* engine, unsigned profile, const QString& name,
                             const KeepRules& rules, QWidget* owner)
    : QDialog(owner), engine_(engine), profile_(profile) {
  setObjectName(QStringLiteral("keepRulesDialog"));
  const std::wstring who = FromQString(name);
  setWindowTitle(FormatString(ids::kKeepRulesCaption, who.c_str()));
  // A selection without rules is offered a common choice to start from.
  const KeepRules shown = HasAnyRule(rules) ? rules : ProposedKeepRules();

  auto* intro = new QLabel(LoadString(ids::kKeepRulesIntro));
  intro->setWordWrap(true);
  enabledCheck_ = new QCheckBox(LoadString(ids::kKeepRulesEnabled));
  enabledCheck_->setObjectName(QStringLiteral("keepRulesEnabledCheckBox"));
  enabledCheck_->setChecked(rules.enabled);

  lastSpin_ = CountSpinBox("keepLastSpinBox", shown.last);
  dailySpin_ = CountSpinBox("keepDailySpinBox", shown.daily);
  weeklySpin_ = CountSpinBox("keepWeeklySpinBox", shown.weekly);
  monthlySpin_ = CountSpinBox("keepMonthlySpinBox", shown.monthly);
  auto* grid = new QGridLayout;
  const struct {
    QSpinBox* spin;
    unsigned label;
    unsigned unit;
  } rows[] = {{lastSpin_, ids::kKeepLastLabel, ids::kKeepLastUnit},
              {dailySpin_, ids::kKeepDailyLabel, ids::kKeepDailyUnit},
              {weeklySpin_, ids::kKeepWeeklyLabel, ids::kKeepWeeklyUnit},
              {monthlySpin_, ids::kKeepMonthlyLabel, ids::kKeepMonthlyUnit}};
  int row = 0;
  for (const auto& item : rows) {
    auto* label = new QLabel(LoadString(item.label));
    label->setBuddy(item.spin);
    grid->addWidget(label, row, 0);
    grid->addWidget(item.spin, row, 1);
    grid->addWidget(new QLabel(LoadString(item.unit)), row, 2);
    ++row;
  }
  grid->setColumnStretch(2, 1);
  noRuleHint_ = new QLabel(LoadString(ids::kKeepRulesNoRule));
  noRuleHint_->setObjectName(QStringLiteral("noRuleHint"));
  noRuleHint_->setWordWrap(true);

  previewHeading_ = new QLabel;
  previewHeading_->setObjectName(QStringLiteral("previewHeading"));
  previewHeading_->setWordWrap(true);
  previewList_ = new QListWidget;
  previewList_->setObjectName(QStringLiteral("previewList"));
  previewList_->setSelectionMode(QAbstractItemView::NoSelection);
  previewList_->setFocusPolicy(Qt::NoFocus);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  okButton_ = buttons->button(QDialogButtonBox::Ok);
  okButton_->setObjectName(QStringLiteral("okButton"));
  QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  cancel->setText(LoadString(ids::kCancel));
  auto* logButton =
      buttons->addButton(LoadString(ids::kShowForgetLog), QDialogButtonBox::ActionRole);
  logButton->setObjectName(QStringLiteral("showLogButton"));
  logButton->setAutoDefault(false);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(intro);
  layout->addWidget(enabledCheck_);
  layout->addLayout(grid);
  layout->addWidget(noRuleHint_);
  layout->addSpacing(8);
  layout->addWidget(previewHeading_);
  layout->addWidget(previewList_, 1);
  layout->addWidget(buttons);
  setMinimumSize(460, 480);

  // The preview asks the engine, which reads the selection's snapshot list:
  // once typing pauses, not at every digit.
  previewTimer_ = new QTimer(this);
  previewTimer_->setSingleShot(true);
  previewTimer_->setInterval(150);
  connect(previewTimer_, &QTimer::timeout, this, &CKeepRulesDlg::RefreshPreview);
  for (QSpinBox* spin : {lastSpin_, dailySpin_, weeklySpin_, monthlySpin_}) {
    connect(spin, &QSpinBox::valueChanged, this, [this] {
      UpdateState();
      previewTimer_->start();
    });
  }
  connect(enabledCheck_, &QCheckBox::toggled, this, [this] {
    UpdateState();
    RefreshPreview();
  });
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(logButton, &QPushButton::clicked, this, &CKeepRulesDlg::showLogRequested);
  UpdateState();
  RefreshPreview();
}

KeepRules CKeepRulesDlg::Rules() const {
  KeepRules rules;
  rules.enabled = enabledCheck_->isChecked();
  rules.last = lastSpin_->value();
  rules.daily = dailySpin_->value();
  rules.weekly = weeklySpin_->value();
  rules.monthly = monthlySpin_->value();
  return rules;
}

QStringList CKeepRulesDlg::PreviewedTimes() const {
  QStringList times;
  for (int i = 0; i < previewList_->count(); ++i) times << previewList_->item(i)->text();
  return times;
}

void CKeepRulesDlg::UpdateState() {
  const bool any = HasAnyRule(Rules());
  // Rules that keep nothing but the newest snapshot are refused, as the
  // command line refuses a forget without a --keep option.
  noRuleHint_->setVisible(!any);
  okButton_->setEnabled(any || !enabledCheck_->isChecked());
}

void CKeepRulesDlg::RefreshPreview() {
  previewTimer_->stop();
  previewList_->clear();
  const KeepRules rules = Rules();
  const std::vector<std::wstring> times = TakeList(engine_, engine_->GetSnapshots(profile_));
  std::vector<std::wstring> chosen;
  if (HasAnyRule(rules)) {
    chosen = TakeList(engine_, GetSnapshotsToForgetAfterBackup(engine_, profile_, rules));
  }
  for (const std::wstring& text : chosen) {
    const size_t index = std::stoul(text);
    if (index < times.size()) previewList_->addItem(SnapshotTimeText(ToQString(times[index])));
  }
  const int count = static_cast<int>(chosen.size());
  const int total = static_cast<int>(times.size());
  if (!rules.enabled) {
    previewHeading_->setText(FormatString(ids::kKeepPreviewOff, count, total));
  } else if (count > 0) {
    previewHeading_->setText(FormatString(ids::kKeepPreviewOn, count, total));
  } else {
    previewHeading_->setText(FormatString(ids::kKeepPreviewNone, total));
  }
  previewList_->setEnabled(rules.enabled);
}
