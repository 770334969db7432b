#include "dialogs/CCreateProfileDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "AppStrings.h"
#include "MessageBox.h"
#include "dialogs/PageDialog.h"
#include "dialogs/PictureFrame.h"
#include "dialogs/SharedPaths.h"
#include "dialogs/SourceBrowser.h"
#include "dialogs/SourcePath.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

namespace {

QString Text(unsigned control) {
  return DialogString(dlg::kCreateProfile, control);
}

}  // namespace

CCreateProfileDlg::CCreateProfileDlg(Use use, QWidget* parent) : QWizardPage(parent), use_(use) {
  setObjectName(QStringLiteral("createProfilePage"));
  NewSelectionPath().clear();
  NewSelectionName().clear();
  if (use == Use::kWizardPage) {
    setTitle(Text(dlg::kCaption));
    setFinalPage(true);
  }

  auto* browseButton = new QPushButton(Text(create_profile_dlg::kBrowseButton));
  browseButton->setObjectName(QStringLiteral("browseButton"));
  browseButton->setAutoDefault(false);
  auto* hint = new QLabel(Text(create_profile_dlg::kFinishHint));
  hint->setObjectName(QStringLiteral("finishHintLabel"));
  hint->hide();

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel(Text(create_profile_dlg::kPathLabel)), 0, 0, 1, 2);
  fields->addWidget(fields_.path, 1, 0);
  fields->addWidget(browseButton, 1, 1);
  fields->addWidget(new QLabel(Text(create_profile_dlg::kNameLabel)), 2, 0, 1, 2);
  fields->addWidget(fields_.name, 3, 0);
  fields->setRowStretch(4, 1);
  fields->setColumnMinimumWidth(0, 300);

  auto* body = new QHBoxLayout;
  body->addWidget(new PictureFrame(PictureFrame::Picture::kSelection), 0, Qt::AlignTop);
  body->addLayout(fields, 1);

  const PageButtons buttons =
      AddPageButtons(this, use == Use::kWizardPage, Text(dlg::kOk), QStringLiteral("okButton"),
                     Text(dlg::kCancel), [this] { return Validate(); });
  okButton_ = buttons.accept;

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body, 1);
  layout->addWidget(hint);
  layout->addLayout(buttons.row);

  connect(fields_.path, &QLineEdit::textEdited, this, [this] {
    ReadFields();
    UpdateButtons();
  });
  connect(fields_.name, &QLineEdit::textEdited, this, [this] {
    ReadFields();
    UpdateButtons();
  });
  connect(browseButton, &QPushButton::clicked, this, &CCreateProfileDlg::Browse);
  RefreshFields();
  UpdateButtons();
}

bool CCreateProfileDlg::Run(QWidget* owner) {
  NewSelectionPath().clear();
  RefreshFields();
  UpdateButtons();
  const bool accepted = RunPageAsDialog(this, owner, Text(dlg::kCaption));
  return accepted && !NewSelectionPath().empty();
}

void CCreateProfileDlg::ReadFields() {
  NewSelectionPath() = FromQString(fields_.path->text());
  NewSelectionName() = FromQString(fields_.name->text());
}

void CCreateProfileDlg::RefreshFields() {
  fields_.Show(QString::fromStdWString(NewSelectionPath()),
               QString::fromStdWString(NewSelectionName()));
}

void CCreateProfileDlg::UpdateButtons() {
  okButton_->setEnabled(!NewSelectionPath().empty());
  emit completeChanged();
}

bool CCreateProfileDlg::isComplete() const {
  return !fields_.path->text().isEmpty();
}

bool CCreateProfileDlg::validatePage() {
  return Validate();
}

void CCreateProfileDlg::Browse() {
  ReadFields();
  const QString chosen = SourceBrowser::Browse(this, LoadString(ids::kBrowseCaption),
                                               QString::fromStdWString(NewSelectionPath()));
  if (chosen.isEmpty()) return;
  NewSelectionPath() = FromQString(chosen);
  NewSelectionName() = NameFromPath(NewSelectionPath());
  derivedName_ = NewSelectionName();
  RefreshFields();
  UpdateButtons();
}

bool CCreateProfileDlg::Validate() {
  ReadFields();
  if (NewSelectionPath().empty()) {
    MessageBox::Show(this, LoadString(ids::kSelectBackupPath), QMessageBox::Warning,
                     QMessageBox::Ok, QMessageBox::NoButton, Text(dlg::kCaption));
    return false;
  }
  NewSelectionPath() = WithoutTrailingSeparator(NewSelectionPath());
  if (!SourceExists(NewSelectionPath())) {
    MessageBox::Show(this, FormatString(ids::kVerifyPath, NewSelectionPath().c_str()),
                     QMessageBox::Warning, QMessageBox::Ok, QMessageBox::NoButton,
                     Text(dlg::kCaption));
    RefreshFields();
    return false;
  }
  if (NewSelectionName().empty() || (!derivedName_.empty() && NewSelectionName() == derivedName_)) {
    NewSelectionName() = NameFromPath(NewSelectionPath());
    derivedName_ = NewSelectionName();
  }
  RefreshFields();
  return true;
}
