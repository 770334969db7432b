#include "dialogs/CSelectContent.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "AppStrings.h"
#include "MessageBox.h"
#include "dialogs/SourcePath.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

namespace {

QString Text(unsigned control) {
  return DialogString(dlg::kSelectContent, control);
}

void HideChild(QWidget* dialog, const char* name) {
  if (auto* child = dialog->findChild<QWidget*>(QString::fromLatin1(name))) child->hide();
}

}  // namespace

CSelectContent::CSelectContent(QWidget* owner) : QFileDialog(owner) {
  setObjectName(QStringLiteral("selectContentDialog"));
  setOption(QFileDialog::DontUseNativeDialog);
  setOption(QFileDialog::ReadOnly);
  setFileMode(QFileDialog::ExistingFile);
  setNameFilter(LoadString(ids::kAllFiles) + QStringLiteral(" (*)"));
  setWindowTitle(LoadString(ids::kCreateSelectionCaption));

  // The stock controls give way to the selection's own fields.
  for (const char* name : {"buttonBox", "fileNameEdit", "fileNameLabel", "fileTypeCombo",
                           "fileTypeLabel", "lookInLabel"}) {
    HideChild(this, name);
  }

  auto* createButton = new QPushButton(Text(select_content_dlg::kCreateButton));
  createButton->setObjectName(QStringLiteral("createSelectionButton"));
  createButton->setDefault(true);
  auto* cancelButton = new QPushButton(Text(select_content_dlg::kCancelButton));
  cancelButton->setObjectName(QStringLiteral("cancelButton"));

  auto* extra = new QWidget;
  extra->setObjectName(QStringLiteral("selectionFields"));
  auto* grid = new QGridLayout(extra);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(new QLabel(Text(select_content_dlg::kPathLabel)), 0, 0);
  grid->addWidget(fields_.path, 0, 1, 1, 3);
  grid->addWidget(new QLabel(Text(select_content_dlg::kNameLabel)), 1, 0);
  grid->addWidget(fields_.name, 1, 1, 1, 3);
  grid->addWidget(createButton, 2, 2);
  grid->addWidget(cancelButton, 2, 3);
  grid->setColumnStretch(1, 1);
  if (auto* dialogLayout = qobject_cast<QGridLayout*>(layout())) {
    dialogLayout->addWidget(extra, dialogLayout->rowCount(), 0, 1, dialogLayout->columnCount());
  }

  connect(this, &QFileDialog::currentChanged, this, &CSelectContent::OnCurrentChanged);
  connect(createButton, &QPushButton::clicked, this, [this] {
    if (Validate()) QDialog::accept();
  });
  connect(cancelButton, &QPushButton::clicked, this, [this] {
    path_.clear();
    QDialog::reject();
  });
}

bool CSelectContent::Run() {
  path_.clear();
  RefreshFields();
  return exec() == QDialog::Accepted && !path_.isEmpty();
}

void CSelectContent::ReadFields() {
  path_ = fields_.path->text();
  name_ = fields_.name->text();
}

void CSelectContent::RefreshFields() {
  fields_.Show(path_, name_);
}

void CSelectContent::OnCurrentChanged(const QString& path) {
  ReadFields();
  path_ = path;
  RefreshFields();
  fields_.path->selectAll();
}

bool CSelectContent::Validate() {
  ReadFields();
  const QString caption = windowTitle();
  if (name_.isEmpty()) {
    MessageBox::Show(this, LoadString(ids::kSpecifyName), QMessageBox::Warning, QMessageBox::Ok,
                     QMessageBox::NoButton, caption);
    return false;
  }
  if (path_.isEmpty()) {
    MessageBox::Show(this, LoadString(ids::kSelectBackupPath), QMessageBox::Warning,
                     QMessageBox::Ok, QMessageBox::NoButton, caption);
    return false;
  }
  const std::wstring path = WithoutTrailingSeparator(FromQString(path_));
  path_ = QString::fromStdWString(path);
  RefreshFields();
  if (!SourceExists(path)) {
    MessageBox::Show(this, FormatString(ids::kVerifyPath, path.c_str()), QMessageBox::Warning,
                     QMessageBox::Ok, QMessageBox::NoButton, caption);
    return false;
  }
  return true;
}

void CSelectContent::accept() {
  if (Validate()) QDialog::accept();
}
