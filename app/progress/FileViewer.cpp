#include "progress/FileViewer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "AppStrings.h"
#include "MessageBox.h"
#include "ShellOpen.h"
#include "resources/ResourceIds.h"
#include "vaultline/Path.h"

namespace {

constexpr QFile::Permissions kPrivateFolder = QFile::ReadOwner | QFile::WriteOwner |
                                              QFile::ExeOwner | QFile::ReadUser | QFile::WriteUser |
                                              QFile::ExeUser;
// Readable, never writable or executable: opening a stored script shows it.
constexpr QFile::Permissions kViewedCopy = QFile::ReadOwner | QFile::ReadUser;

QString Separator() {
  return QString(QChar(vaultline::platform::kSeparator));
}

}  // namespace

QString FileViewer::PrivateTemporaryFolder() {
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (runtime.isEmpty()) return QString();
  const QString folder = runtime + Separator() + QStringLiteral("marrowby");
  QFileInfo info(folder);
  if (!info.exists() && !QDir().mkdir(folder, kPrivateFolder)) return QString();
  info.refresh();
  const QFileInfo parent(runtime);
  const bool privateFolder = info.isDir() && !info.isSymLink() &&
                             info.ownerId() == parent.ownerId() &&
                             (info.permissions() & ~kPrivateFolder) == 0;
  return privateFolder ? folder : QString();
}

void FileViewer::View(IVaultline* engine, unsigned profile, int snapshot, const QString& treePath,
                      QWidget* owner) {
  if (engine == nullptr || treePath.isEmpty()) return;
  const QString folder = PrivateTemporaryFolder();
  if (folder.isEmpty() || folder.size() >= 260) return;

  const QString separator = Separator();
  const QString name = treePath.mid(treePath.lastIndexOf(separator) + 1);
  const int first = treePath.indexOf(separator);
  const QString item = first < 0 ? QString() : treePath.mid(first + 1);
  const QString target = folder + separator + name;

  // An earlier viewed copy is read-only; remove it so the restore can write.
  if (QFileInfo(target).isFile() && !QFileInfo(target).isSymLink()) {
    QFile::setPermissions(target, kViewedCopy | QFile::WriteOwner | QFile::WriteUser);
    QFile::remove(target);
  }
  const std::wstring wideItem = FromQString(item);
  const std::wstring destination = FromQString(folder + separator);
  if (!engine->Restore(profile, snapshot, wideItem.c_str(), destination.c_str())) return;

  unsigned reason = 0;
  const QFileInfo restored(target);
  if (!restored.isFile() || restored.isSymLink()) {
    reason = marrowby::ids::kViewNotRestored;
  } else if (!QFile::setPermissions(target, kViewedCopy)) {
    reason = marrowby::ids::kViewNotReadOnly;
  } else if (!ShellOpen(target)) {
    reason = marrowby::ids::kViewNoApplication;
  }
  if (reason != 0) {
    const std::wstring why = FromQString(LoadString(reason));
    MessageBox::Show(owner, FormatString(marrowby::ids::kViewFileError,
                                         FromQString(treePath).c_str(), why.c_str()));
  }
}
