#include "CAboutDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "AppStrings.h"
#include "CommandIcons.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("aboutDialog"));
  setWindowTitle(DialogString(dlg::kAbout, dlg::kCaption));

  auto* picture = new QLabel(this);
  picture->setPixmap(SelectionIcon().pixmap(48, 48));
  auto* product = new QLabel(DialogString(dlg::kAbout, about_dlg::kProductName), this);
  product->setObjectName(QStringLiteral("productNameLabel"));
  QFont title = product->font();
  title.setBold(true);
  title.setPointSizeF(title.pointSizeF() * 1.4);
  product->setFont(title);
  auto* version = new QLabel(
      DialogString(dlg::kAbout, about_dlg::kVersionLine) + QStringLiteral(MARROWBY_VERSION), this);
  version->setObjectName(QStringLiteral("versionLabel"));
  auto* description = new QLabel(DialogString(dlg::kAbout, about_dlg::kDescription), this);
  description->setWordWrap(true);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setText(DialogString(dlg::kAbout, dlg::kOk));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QGridLayout(this);
  layout->addWidget(picture, 0, 0, 3, 1, Qt::AlignTop);
  layout->addWidget(product, 0, 1);
  layout->addWidget(version, 1, 1);
  layout->addWidget(description, 2, 1);
  layout->addWidget(buttons, 3, 0, 1, 2);
  layout->setColumnStretch(1, 1);
  setMinimumWidth(360);
}
