#include "dialogs/PictureFrame.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

PictureFrame::PictureFrame(Picture picture, QWidget* parent) : QLabel(parent) {
  setObjectName(QStringLiteral("pictureFrame"));
  setAlignment(Qt::AlignCenter);
  const bool welcome = picture == Picture::kWelcome;
  // Drawn at its final size: no scaling pass, no blur.
  QSvgRenderer renderer(welcome ? QStringLiteral(":/dialogs/welcome.svg")
                                : QStringLiteral(":/dialogs/selection.svg"));
  QPixmap pixmap(welcome ? QSize(150, 300) : QSize(96, 96));
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  painter.end();
  setPixmap(pixmap);
  setFixedSize(welcome ? QSize(164, 300) : QSize(110, 110));
}
