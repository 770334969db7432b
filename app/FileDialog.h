// Every file and folder dialog of the program goes through here, so that
// tests can answer them without a window.
#pragma once

#include <QString>

class QWidget;

class FileDialog {
 public:
  // A folder, or empty when cancelled.
  static QString GetExistingDirectory(QWidget* parent, const QString& caption,
                                      const QString& start);
  // A file or folder, or empty when cancelled.
  static QString GetOpenPath(QWidget* parent, const QString& caption, const QString& start,
                             const QString& filter);
  // The next dialog answers `path` at once (empty: as if cancelled).
  static void SetNextAnswer(const QString& path);
};
