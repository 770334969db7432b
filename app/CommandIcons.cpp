#include "CommandIcons.h"

#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <algorithm>

#include "resources/ResourceIds.h"

namespace {

struct Artwork {
  unsigned command;
  const char* name;  // of the files in :/icons/
};

constexpr Artwork kArtwork[] = {
    {marrowby::cmd::kNewSelection, "new"},     {marrowby::cmd::kBackup, "backup"},
    {marrowby::cmd::kBackupAll, "backup-all"}, {marrowby::cmd::kRestore, "restore"},
    {marrowby::cmd::kViewFile, "view"},        {marrowby::cmd::kHelpContents, "help"},
};

QString ArtworkName(unsigned command) {
  for (const Artwork& artwork : kArtwork) {
    if (artwork.command == command) return QString::fromLatin1(artwork.name);
  }
  return QString();
}

}  // namespace

QIcon CommandIcon(unsigned command) {
  QString name = ArtworkName(command);
  if (name.isEmpty()) return QIcon();
  const QString base = QStringLiteral(":/icons/") + name;
  QIcon icon;
  for (QSize size : {QSize(16, 16), QSize(32, 32)}) {
    icon.addFile(base + QStringLiteral(".svg"), size, QIcon::Normal);
    icon.addFile(base + QStringLiteral("-disabled.svg"), size, QIcon::Disabled);
    icon.addFile(base + QStringLiteral("-hot.svg"), size, QIcon::Active);
  }
  return icon;
}

QIcon SelectionIcon() {
  return QIcon(QStringLiteral(":/icons/selection.svg"));
}

QIcon OverdueSelectionIcon() {
  return QIcon(QStringLiteral(":/icons/selection-overdue.svg"));
}

QPixmap SvgPicture(const QString& resource, const QSize& logicalSize, qreal devicePixelRatio) {
  QSvgRenderer renderer(resource);
  const qreal ratio = std::max<qreal>(1.0, devicePixelRatio);
  QPixmap picture(logicalSize * ratio);
  picture.setDevicePixelRatio(ratio);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  // Drawn at its final size: no scaling pass, no blur.
  renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(logicalSize)));
  return picture;
}
