#include "dialogs/CProfileProperties.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "AppStrings.h"
#include "MessageBox.h"
#include "dialogs/SourceBrowser.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

CProfileProperties::CProfileProperties(const QString& name, const QString& description,
                                       const QString& caption, QWidget* owner, Mode mode)
    : QDialog(owner), name_(name), source_(description) {
  setObjectName(QStringLiteral("profilePropertiesDialog"));
  const bool edit = mode == Mode::kEdit;
  QString title = caption;
  if (title.isEmpty()) title = LoadString(edit ? ids::kRenameCaption : ids::kPropertyCaption);
  setWindowTitle(title);

  nameEdit_ = new QLineEdit(name);
  nameEdit_->setObjectName(QStringLiteral("nameLineEdit"));
  nameEdit_->setReadOnly(!edit);
  descriptionEdit_ = new QPlainTextEdit(description);
  descriptionEdit_->setObjectName(QStringLiteral("descriptionTextEdit"));
  descriptionEdit_->setReadOnly(true);
  descriptionEdit_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  descriptionEdit_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  descriptionEdit_->setFixedHeight(80);
  // A source that was moved or renamed is found again here: its snapshots
  // stay, and the next backup reads the new place.
  auto* changeSourceButton =
      new QPushButton(DialogString(dlg::kProperties, properties_dlg::kChangeSourceButton));
  changeSourceButton->setObjectName(QStringLiteral("changeSourceButton"));
  changeSourceButton->setAutoDefault(false);
  auto* sourceRow = new QHBoxLayout;
  sourceRow->addWidget(descriptionEdit_, 1);
  sourceRow->addWidget(changeSourceButton, 0, Qt::AlignTop);

  exclusionsList_ = new QListWidget;
  exclusionsList_->setObjectName(QStringLiteral("exclusionsListWidget"));
  patternEdit_ = new QLineEdit;
  patternEdit_->setObjectName(QStringLiteral("patternLineEdit"));
  addButton_ = new QPushButton(DialogString(dlg::kProperties, properties_dlg::kAddButton));
  addButton_->setObjectName(QStringLiteral("addExclusionButton"));
  removeButton_ = new QPushButton(DialogString(dlg::kProperties, properties_dlg::kRemoveButton));
  removeButton_->setObjectName(QStringLiteral("removeExclusionButton"));
  auto* exclusionsLabel =
      new QLabel(DialogString(dlg::kProperties, properties_dlg::kExclusionsLabel));
  exclusionsLabel->setWordWrap(true);
  exclusionsLabel->setBuddy(patternEdit_);
  auto* patternRow = new QHBoxLayout;
  patternRow->addWidget(patternEdit_, 1);
  patternRow->addWidget(addButton_);
  patternRow->addWidget(removeButton_);
  exclusionsPanel_ = new QWidget;
  auto* exclusionsLayout = new QVBoxLayout(exclusionsPanel_);
  exclusionsLayout->setContentsMargins(0, 0, 0, 0);
  exclusionsLayout->addWidget(exclusionsLabel);
  exclusionsLayout->addWidget(exclusionsList_);
  exclusionsLayout->addLayout(patternRow);
  exclusionsPanel_->hide();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(DialogString(dlg::kProperties, dlg::kOk));
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
  cancelButton_ = buttons->button(QDialogButtonBox::Cancel);
  cancelButton_->setText(DialogString(dlg::kProperties, dlg::kCancel));
  cancelButton_->setObjectName(QStringLiteral("cancelButton"));
  cancelButton_->hide();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(DialogString(dlg::kProperties, properties_dlg::kNameLabel)));
  layout->addWidget(nameEdit_);
  layout->addWidget(new QLabel(DialogString(dlg::kProperties, properties_dlg::kDescriptionLabel)));
  layout->addLayout(sourceRow);
  layout->addWidget(exclusionsPanel_);
  layout->addWidget(buttons);
  setMinimumWidth(400);

  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    name_ = nameEdit_->text();
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(changeSourceButton, &QPushButton::clicked, this, &CProfileProperties::ChangeSource);
  connect(addButton_, &QPushButton::clicked, this, &CProfileProperties::AddPattern);
  // Return in the pattern field adds it rather than closing the dialog.
  connect(patternEdit_, &QLineEdit::returnPressed, this, &CProfileProperties::AddPattern);
  connect(removeButton_, &QPushButton::clicked, this, [this] {
    delete exclusionsList_->currentItem();
    UpdateButtons();
  });
  connect(patternEdit_, &QLineEdit::textChanged, this, &CProfileProperties::UpdateButtons);
  connect(exclusionsList_, &QListWidget::currentRowChanged, this,
          &CProfileProperties::UpdateButtons);
  UpdateButtons();
}

void CProfileProperties::ShowExclusions(const QStringList& patterns) {
  exclusionsList_->clear();
  exclusionsList_->addItems(patterns);
  exclusionsPanel_->show();
  cancelButton_->show();
  // The OK button must not take Return while a pattern is being typed.
  for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(false);
  UpdateButtons();
}

QStringList CProfileProperties::Exclusions() const {
  QStringList patterns;
  for (int row = 0; row < exclusionsList_->count(); ++row) {
    patterns.push_back(exclusionsList_->item(row)->text());
  }
  return patterns;
}

void CProfileProperties::AddPattern() {
  const QString pattern = patternEdit_->text();
  if (pattern.trimmed().isEmpty()) return;
  if (exclusionsList_->findItems(pattern, Qt::MatchExactly).isEmpty()) {
    exclusionsList_->addItem(pattern);
  }
  patternEdit_->clear();
  UpdateButtons();
}

void CProfileProperties::UpdateButtons() {
  addButton_->setEnabled(!patternEdit_->text().trimmed().isEmpty());
  removeButton_->setEnabled(exclusionsList_->currentItem() != nullptr);
}

void CProfileProperties::ChangeSource() {
  const QString chosen = SourceBrowser::Browse(this, LoadString(ids::kBrowseCaption), source_);
  if (chosen.isEmpty()) return;
  source_ = chosen;
  descriptionEdit_->setPlainText(chosen);
  cancelButton_->show();  // a change can be taken back
}
