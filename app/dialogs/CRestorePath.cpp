#include "dialogs/CRestorePath.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "AppStrings.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "dialogs/PictureFrame.h"
#include "dialogs/SharedPaths.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

namespace {

QString Text(unsigned control) {
  return DialogString(dlg::kRestorePath, control);
}

}  // namespace

CRestorePath::CRestorePath(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("restorePathDialog"));
  setWindowTitle(Text(dlg::kCaption));
  DefaultRestoreDestination().clear();

  destinationEdit_ = new QLineEdit;
  destinationEdit_->setObjectName(QStringLiteral("destinationLineEdit"));
  destinationEdit_->setMinimumWidth(320);
  auto* browseButton = new QPushButton(Text(restore_path_dlg::kBrowseButton));
  browseButton->setObjectName(QStringLiteral("browseButton"));
  browseButton->setAutoDefault(false);

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel(Text(restore_path_dlg::kDestinationLabel)), 0, 0, 1, 2);
  fields->addWidget(destinationEdit_, 1, 0);
  fields->addWidget(browseButton, 1, 1);
  fields->setRowStretch(2, 1);
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

  connect(destinationEdit_, &QLineEdit::textChanged, this, [this] {
    ReadField();
    okButton_->setEnabled(!DefaultRestoreDestination().empty());
  });
  connect(browseButton, &QPushButton::clicked, this, &CRestorePath::Browse);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    ReadField();
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

bool CRestorePath::Run() {
  RefreshField();
  okButton_->setEnabled(!DefaultRestoreDestination().empty());
  return exec() == QDialog::Accepted && !DefaultRestoreDestination().empty();
}

void CRestorePath::ReadField() {
  DefaultRestoreDestination() = FromQString(destinationEdit_->text());
}

void CRestorePath::RefreshField() {
  destinationEdit_->setText(QString::fromStdWString(DefaultRestoreDestination()));
}

void CRestorePath::Browse() {
  ReadField();
  const QString chosen =
      FileDialog::GetExistingDirectory(this, LoadString(ids::kRestoreBrowseTitle),
                                       QString::fromStdWString(DefaultRestoreDestination()));
  if (chosen.isEmpty()) return;
  DefaultRestoreDestination() = FromQString(chosen);
  RefreshField();
}
