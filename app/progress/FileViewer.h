// View File: restores one stored file into the user's private temporary
// folder and hands it to the desktop's default application. Runs on the
// user-interface thread without a status sink.
#pragma once

#include <QString>

#include "vaultline/Vaultline.h"

class QWidget;

class FileViewer {
 public:
  // $XDG_RUNTIME_DIR/marrowby (or Qt's private runtime folder), created with
  // owner-only access. Empty when it cannot be made or is not private: a
  // viewed file must never land where other users can swap it.
  static QString PrivateTemporaryFolder();

  // `treePath` is the content tree's path of a file: the source's name, then
  // the path inside the snapshot. Failures to open are shown with string 162
  // in a message box owned by `owner`. The copy is
  // handed to ShellOpen (which tests replace).
  static void View(IVaultline* engine, unsigned profile, int snapshot, const QString& treePath,
                   QWidget* owner);
};
