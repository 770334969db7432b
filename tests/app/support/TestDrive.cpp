#include "support/TestDrive.h"

#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QWidget>

#include "CMarrowbyApp.h"
#include "vaultline/Path.h"
#include "vaultline/Vaultline.h"

namespace platform = vaultline::platform;

TestDrive::TestDrive(const QString& parent)
    : dir_((parent.isEmpty() ? QDir::tempPath() : parent) + QStringLiteral("/drive-XXXXXX")) {
  UseProgramFolder(Folder().toStdWString());
}

TestDrive::~TestDrive() = default;

bool TestDrive::WriteFiles(const QString& sourceName, const std::vector<QString>& files) const {
  QString source = SourceRoot() + sourceName;
  QDir().mkpath(source);
  for (const QString& file : files) {
    QString path = source + QSep(QStringLiteral("|") + file);
    if (file.endsWith(QLatin1Char('|'))) {
      QDir().mkpath(path);
      continue;
    }
    QDir().mkpath(QFileInfo(path).path());
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly)) return false;
    out.write("contents of " + file.toUtf8());
  }
  return true;
}

bool TestDrive::AddSnapshot(int index, const QString& sourceName,
                            const std::vector<QString>& files) {
  if (!WriteFiles(sourceName, files)) return false;
  std::wstring root = platform::DeviceRootOf(Folder().toStdWString());
  IVaultline* engine = InitializeT(nullptr, root.c_str(), 1, 0, 2);
  if (engine == nullptr) return false;
  bool ok = engine->BackUp(static_cast<unsigned>(index));
  Cleanup(engine);
  return ok;
}

bool TestDrive::AddSelection(const std::wstring& name, const QString& sourceName,
                             const std::vector<QString>& files, int snapshots) {
  if (!WriteFiles(sourceName, files)) return false;
  QString source = SourceRoot() + sourceName;
  std::wstring root = platform::DeviceRootOf(Folder().toStdWString());
  IVaultline* engine = InitializeT(nullptr, root.c_str(), 1, 0, 2);
  if (engine == nullptr) return false;
  engine->SetMaxBackupSize(int64_t{1} << 30);
  std::wstring sourcePath = source.toStdWString();
  const wchar_t* contents[] = {sourcePath.c_str()};
  int index = -1;
  bool ok = engine->CreateProfile(name.c_str(), contents, 1, &index);
  for (int i = 0; ok && i < snapshots; ++i) ok = engine->BackUp(index);
  Cleanup(engine);
  return ok;
}

std::wstring Sep(std::wstring path) {
  for (wchar_t& c : path) {
    if (c == L'|') c = platform::kSeparator;
  }
  return path;
}

QString QSep(QString path) {
  return path.replace(u'|', QChar(platform::kSeparator));
}

void SaveScreenshot(QWidget* widget, const QString& name) {
  QString folder = qEnvironmentVariable("MARROWBY_SCREENSHOTS");
  if (folder.isEmpty() || widget == nullptr) return;
  QDir().mkpath(folder);
  widget->grab().save(folder + QSep(QStringLiteral("|")) + name + QStringLiteral(".png"));
}
