#include "dialogs/CProfileProperties.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "AppStrings.h"
#include "MessageBox.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

CProfileProperties::CProfileProperties(const QString& name, const QString& description,
                                       const QString& caption, QWidget* owner, Mode mode)
    : QDialog(owner), name_(name) {
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

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  buttons->button(QDialogButtonBox::Ok)->setText(DialogString(dlg::kProperties, dlg::kOk));
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(DialogString(dlg::kProperties, properties_dlg::kNameLabel)));
  layout->addWidget(nameEdit_);
  layout->addWidget(new QLabel(DialogString(dlg::kProperties, properties_dlg::kDescriptionLabel)));
  layout->addWidget(descriptionEdit_);
  layout->addWidget(buttons);
  setMinimumWidth(400);

  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    name_ = nameEdit_->text();
    accept();
  });
}
