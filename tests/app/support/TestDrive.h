// A temporary drive folder for GUI tests, prepared through the engine: the
// program folder points at it, and selections with snapshots are made by an
// engine of its own before the window under test opens it.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <string>
#include <vector>

// Test paths are written with '|' standing for the platform separator.
std::wstring Sep(std::wstring path);
QString QSep(QString path);

class TestDrive {
 public:
  // The drive's folder is made below `parent` (a small file system, say);
  // empty: the system's temporary folder.
  explicit TestDrive(const QString& parent = QString());
  ~TestDrive();

  QString Folder() const { return dir_.path() + QSep(QStringLiteral("|")); }
  // Writes `files` (relative paths; written with '|', a trailing one makes a folder) under a
  // new source folder named `sourceName`, creates a selection `name` for it
  // and takes `snapshots` snapshots. Returns false when the engine failed.
  bool AddSelection(const std::wstring& name, const QString& sourceName,
                    const std::vector<QString>& files, int snapshots);
  // Writes `files` into the source folder `sourceName` of selection `index`
  // and takes one more snapshot of it.
  bool AddSnapshot(int index, const QString& sourceName, const std::vector<QString>& files);
  QString SourceRoot() const { return sources_.path() + QSep(QStringLiteral("|")); }

 private:
  bool WriteFiles(const QString& sourceName, const std::vector<QString>& files) const;

  QTemporaryDir dir_;
  QTemporaryDir sources_;
};

// Writes a PNG of `widget` into $MARROWBY_SCREENSHOTS, when that is set.
void SaveScreenshot(class QWidget* widget, const QString& name);
