// Icons of the content tree: the desktop's folder icon (closed, and open when
// selected) and file icons by extension, looked up once per extension.
#pragma once

#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QString>

class FileIconCache {
 public:
  FileIconCache();
  QIcon FolderIcon() const { return folderIcon_; }
  // The icon of a file of that name; names without extension share one entry.
  QIcon FileIcon(const QString& name);
  int CachedExtensions() const { return static_cast<int>(fileIcons_.size()); }

 private:
  QFileIconProvider provider_;
  QIcon folderIcon_;
  QHash<QString, QIcon> fileIcons_;
};
