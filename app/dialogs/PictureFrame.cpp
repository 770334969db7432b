#include "dialogs/PictureFrame.h"

#include <QApplication>

#include "CommandIcons.h"
#include "ScreenScale.h"

PictureFrame::PictureFrame(Picture picture, QWidget* parent) : QLabel(parent) {
  setObjectName(QStringLiteral("pictureFrame"));
  setAlignment(Qt::AlignCenter);
  const bool welcome = picture == Picture::kWelcome;
  const QSize size = Scaled(this, welcome ? QSize(150, 300) : QSize(96, 96));
  setPixmap(SvgPicture(
      welcome ? QStringLiteral(":/dialogs/welcome.svg") : QStringLiteral(":/dialogs/selection.svg"),
      size, qApp->devicePixelRatio()));
  setFixedSize(Scaled(this, welcome ? QSize(164, 300) : QSize(110, 110)));
}
