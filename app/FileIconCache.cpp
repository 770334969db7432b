#include "FileIconCache.h"

#include <QApplication>
#include <QFileInfo>
#include <QStyle>

namespace {
const QString kEmptyExtension = QStringLiteral("EmptyExtension");

QIcon WithSelectedVariant(const QIcon& normal, const QIcon& selected) {
  QIcon icon;
  for (const QSize& size : normal.availableSizes()) {
    icon.addPixmap(normal.pixmap(size), QIcon::Normal);
    icon.addPixmap(selected.pixmap(size), QIcon::Selected);
  }
  return icon.isNull() ? normal : icon;
}
}  // namespace

FileIconCache::FileIconCache() {
  QStyle* style = QApplication::style();
  QIcon closed = provider_.icon(QFileIconProvider::Folder);
  if (closed.isNull()) closed = style->standardIcon(QStyle::SP_DirClosedIcon);
  folderIcon_ = WithSelectedVariant(closed, style->standardIcon(QStyle::SP_DirOpenIcon));
}

QIcon FileIconCache::FileIcon(const QString& name) {
  QString suffix = QFileInfo(name).suffix().toLower();
  const QString& key = suffix.isEmpty() ? kEmptyExtension : suffix;
  auto found = fileIcons_.constFind(key);
  if (found != fileIcons_.constEnd()) return *found;
  // Asked by name only: the stored file is not on this disk.
  QIcon icon = provider_.icon(QFileInfo(QStringLiteral("file.") + suffix));
  if (icon.isNull()) icon = provider_.icon(QFileIconProvider::File);
  if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
  fileIcons_.insert(key, icon);
  return icon;
}
