#include "dialogs/PictureFrame.h"

#include <QPixmap>

PictureFrame::PictureFrame(Picture picture, QWidget* parent) : QLabel(parent) {
  setObjectName(QStringLiteral("pictureFrame"));
  setAlignment(Qt::AlignCenter);
  const bool welcome = picture == Picture::kWelcome;
  const QPixmap pixmap(welcome ? QStringLiteral(":/dialogs/welcome.svg")
                               : QStringLiteral(":/dialogs/selection.svg"));
  setPixmap(pixmap.scaled(welcome ? QSize(150, 300) : QSize(96, 96), Qt::KeepAspectRatio,
                          Qt::SmoothTransformation));
  setFixedSize(welcome ? QSize(164, 300) : QSize(110, 110));
}
