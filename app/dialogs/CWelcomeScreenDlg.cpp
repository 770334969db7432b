#include "dialogs/CWelcomeScreenDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "AppStrings.h"
#include "dialogs/PictureFrame.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

CWelcomeScreenDlg::CWelcomeScreenDlg(QWidget* parent) : QWizardPage(parent) {
  setObjectName(QStringLiteral("welcomePage"));
  auto* title = new QLabel(DialogString(dlg::kWelcome, welcome_dlg::kTitle));
  title->setObjectName(QStringLiteral("titleLabel"));
  QFont font = title->font();
  font.setPointSizeF(font.pointSizeF() * 1.6);
  font.setBold(true);
  title->setFont(font);
  title->setWordWrap(true);
  auto* body = new QLabel(DialogString(dlg::kWelcome, welcome_dlg::kBody));
  body->setObjectName(QStringLiteral("bodyLabel"));
  body->setWordWrap(true);

  auto* text = new QVBoxLayout;
  text->addWidget(title);
  text->addSpacing(12);
  text->addWidget(body);
  text->addStretch(1);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(new PictureFrame(PictureFrame::Picture::kWelcome), 0, Qt::AlignTop);
  layout->addLayout(text, 1);
}
