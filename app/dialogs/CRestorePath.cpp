#include "dialogs/CRestorePath.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "AppStrings.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "ScreenScale.h"
#include "dialogs/PictureFrame.h"
#include "dialogs/SharedPaths.h"
#include "resources/ResourceIds.h"
#include "vaultline/RestoreConflict.h"

using namespace marrowby;

namespace {

QString Text(unsigned control) {
  return DialogString(dlg::kRestorePath, control);
}

}  // namespace

CRestorePath::CRestorePath(QWidget* owner, const Request& request)
    : QDialog(owner), request_(request) {
  setObjectName(QStringLiteral("restorePathDialog"));
  setWindowTitle(Text(dlg::kCaption));
  DefaultRestoreDestination().clear();

  auto* what = new QLabel(FormatString(ids::kRestoreWhat, FromQString(request.item).c_str(),
                                       FromQString(request.snapshot).c_str()));
  what->setObjectName(QStringLiteral("restoreWhatLabel"));
  what->setWordWrap(true);
  originalButton_ =
      new QRadioButton(FormatString(ids::kRestoreToOriginal, request.originalFolder.c_str()));
  originalButton_->setObjectName(QStringLiteral("originalFolderRadioButton"));
  otherButton_ = new QRadioButton(Text(restore_path_dlg::kDestinationLabel));
  otherButton_->setObjectName(QStringLiteral("otherFolderRadioButton"));
  otherButton_->setChecked(true);
  // Without a known origin there is only the other folder.
  originalButton_->setVisible(!request.originalFolder.empty());
  destinationEdit_ = new QLineEdit(QString::fromStdWString(request.otherFolder));
  destinationEdit_->setObjectName(QStringLiteral("destinationLineEdit"));
  destinationEdit_->setMinimumWidth(Scaled(this, 320));
  browseButton_ = new QPushButton(Text(restore_path_dlg::kBrowseButton));
  browseButton_->setObjectName(QStringLiteral("browseButton"));
  browseButton_->setAutoDefault(false);
  conflictCombo_ = new QComboBox;
  conflictCombo_->setObjectName(QStringLiteral("conflictComboBox"));
  conflictCombo_->addItem(LoadString(ids::kConflictKeepNewer), kKeepNewerLocalFile);
  conflictCombo_->addItem(LoadString(ids::kConflictReplace), kReplaceLocalFile);
  conflictCombo_->addItem(LoadString(ids::kConflictKeepBoth), kKeepBothFiles);

  auto* fields = new QGridLayout;
  fields->addWidget(what, 0, 0, 1, 2);
  fields->addWidget(originalButton_, 1, 0, 1, 2);
  fields->addWidget(otherButton_, 2, 0, 1, 2);
  fields->addWidget(destinationEdit_, 3, 0);
  fields->addWidget(browseButton_, 3, 1);
  fields->addWidget(new QLabel(LoadString(ids::kConflictQuestion)), 4, 0, 1, 2);
  fields->addWidget(conflictCombo_, 5, 0, 1, 2);
  fields->setRowStretch(6, 1);
  auto* body = new QHBoxLayout;
  body->addWidget(new PictureFrame(PictureFrame::Picture::kSelection), 0, Qt::AlignTop);
  body->addLayout(fields, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  okButton_ = buttons->button(QDialogButtonBox::Ok);
  okButton_->setText(Text(dlg::kOk));
  okButton_->setObjectName(QStringLiteral("okButton"));
  buttons->button(QDialogButtonBox::Cancel)->setText(Text(dlg::kCancel));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body, 1);
  layout->addWidget(buttons);

  connect(destinationEdit_, &QLineEdit::textChanged, this, [this] { UpdateChoice(); });
  connect(originalButton_, &QRadioButton::toggled, this, [this] { UpdateChoice(); });
  connect(browseButton_, &QPushButton::clicked, this, &CRestorePath::Browse);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    ReadField();
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

bool CRestorePath::Run() {
  UpdateChoice();
  return exec() == QDialog::Accepted && !DefaultRestoreDestination().empty();
}

int CRestorePath::ConflictRule() const {
  return conflictCombo_->currentData().toInt();
}

void CRestorePath::ReadField() {
  DefaultRestoreDestination() = originalButton_->isChecked()
                                    ? request_.originalFolder
                                    : FromQString(destinationEdit_->text());
}

void CRestorePath::RefreshField() {
  destinationEdit_->setText(QString::fromStdWString(DefaultRestoreDestination()));
}

void CRestorePath::UpdateChoice() {
  const bool other = otherButton_->isChecked();
  destinationEdit_->setEnabled(other);
  browseButton_->setEnabled(other);
  ReadField();
  okButton_->setEnabled(!DefaultRestoreDestination().empty());
}

void CRestorePath::Browse() {
  ReadField();
  const QString chosen =
      FileDialog::GetExistingDirectory(this, LoadString(ids::kRestoreBrowseTitle),
                                       QString::fromStdWString(DefaultRestoreDestination()));
  if (chosen.isEmpty()) return;
  DefaultRestoreDestination() = FromQString(chosen);
  RefreshField();
  otherButton_->setChecked(true);
}
