#include "history/StoredFileContents.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "AppStrings.h"
#include "CollectedMessages.h"
#include "progress/FileViewer.h"
#include "vaultline/Path.h"

bool ReadStoredFile(IVaultline* engine, unsigned profile, unsigned snapshot,
                    const QString& treePath, QByteArray* contents, QString* problem) {
  const QString folder = FileViewer::PrivateTemporaryFolder();
  if (engine == nullptr || folder.isEmpty()) return false;
  const QChar separator(vaultline::platform::kSeparator);
  // A folder of its own: nothing already there is overwritten or read.
  QTemporaryDir copy(folder + separator + QStringLiteral("compare-XXXXXX"));
  if (!copy.isValid()) return false;
  const int first = treePath.indexOf(separator);
  const std::wstring item = FromQString(first < 0 ? QString() : treePath.mid(first + 1));
  const std::wstring destination = FromQString(copy.path() + separator);
  // A damaged block is reported while the copy is written: then no copy counts.
  CollectedMessages messages;
  IBackupRestoreStatus* previous = engine->SetStatusCallback(&messages);
  const bool restoreRan =
      engine->Restore(profile, static_cast<int>(snapshot), item.c_str(), destination.c_str());
  engine->SetStatusCallback(previous);
  if (!restoreRan || messages.HasAny()) {
    *problem = messages.Text();
    return false;
  }
  const QString target =
      copy.path() + separator + treePath.mid(treePath.lastIndexOf(separator) + 1);
  const QFileInfo restored(target);
  if (!restored.isFile() || restored.isSymLink()) return false;
  QFile file(target);
  if (!file.open(QIODevice::ReadOnly)) return false;
  *contents = file.readAll();
  // A read-only copy must become writable again for the folder to go.
  QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
  return true;
}
