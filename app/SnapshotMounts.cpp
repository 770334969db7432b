#include "SnapshotMounts.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "AppStrings.h"
#include "vaultline/Path.h"

namespace {

// Reading a large snapshot's list of entries, or waking a sleeping drive.
constexpr int kMountWaitMs = 30000;

QString& ProgramOverride() {
  static QString path;
  return path;
}

// The command line on the drive: beside this program, else in the program
// folder (a program run from elsewhere on the drive's files).
QString Program() {
  if (!ProgramOverride().isEmpty()) return ProgramOverride();
  const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/vaultline");
  if (QFileInfo(beside).isExecutable()) return beside;
  return ToQString(vaultline::platform::ProgramFolder()) + QStringLiteral("vaultline");
}

}  // namespace

SnapshotMounts::SnapshotMounts() = default;

SnapshotMounts::~SnapshotMounts() {
  for (auto& [selection, mount] : mounts_) Stop(*mount);
}

void SnapshotMounts::End(int selection) {
  for (auto mount = mounts_.begin(); mount != mounts_.end();) {
    if (selection >= 0 && mount->first != selection) {
      ++mount;
      continue;
    }
    Stop(*mount->second);
    mount = mounts_.erase(mount);
  }
}

void SnapshotMounts::SetProgram(const QString& path) {
  ProgramOverride() = path;
}

QString SnapshotMounts::FolderOf(int selection, int snapshot, QString* error) {
  auto found = mounts_.find(selection);
  // A mount that ended (unmounted from outside) is started again.
  if (found != mounts_.end() && found->second->process->state() != QProcess::Running) {
    End(selection);
    found = mounts_.end();
  }
  if (found == mounts_.end()) {
    std::unique_ptr<Mount> mount = Start(selection, error);
    if (mount == nullptr) return QString();
    found = mounts_.emplace(selection, std::move(mount)).first;
  }
  const Mount& mount = *found->second;
  auto folder = mount.snapshots.find(snapshot);
  if (folder == mount.snapshots.end()) {
    *error = QStringLiteral("snapshot %1 cannot be read").arg(snapshot);
    return QString();
  }
  return mount.folder->path() + QLatin1Char('/') + folder->second;
}

std::unique_ptr<SnapshotMounts::Mount> SnapshotMounts::Start(int selection, QString* error) const {
  auto mount = std::make_unique<Mount>();
  mount->folder = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                  QStringLiteral("/brindle-snapshots-XXXXXX"));
  mount->process = std::make_unique<QProcess>();
  QProcess& process = *mount->process;
  process.start(Program(),
                {QStringLiteral("--drive"), ToQString(vaultline::platform::ProgramFolder()),
                 QStringLiteral("--json"), QStringLiteral("mount"), QString::number(selection),
                 mount->folder->path()});
  // The document comes once the folder shows the snapshots.
  QByteArray output;
  QJsonDocument document;
  QDeadlineTimer deadline(kMountWaitMs);
  while (document.isNull() &&
         process.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
    output += process.readAllStandardOutput();
    document = QJsonDocument::fromJson(output);
  }
  if (document.isNull()) {
    process.waitForFinished(1000);
    const QString said = QString::fromUtf8(process.readAllStandardError()).trimmed();
    *error = said.isEmpty() ? process.errorString() : said;
    Stop(*mount);
    return nullptr;
  }
  for (const QJsonValue& snapshot :
       document.object().value(QStringLiteral("snapshots")).toArray()) {
    const QJsonObject object = snapshot.toObject();
    mount->snapshots[object.value(QStringLiteral("index")).toInt()] =
        object.value(QStringLiteral("folder")).toString();
  }
  return mount;
}

void SnapshotMounts::Stop(Mount& mount) {
  QProcess& process = *mount.process;
  if (process.state() != QProcess::NotRunning) {
    // The command line unmounts on SIGTERM; should it hang, the folder is
    // let go of lazily before the process goes.
    process.terminate();
    if (!process.waitForFinished(10000)) {
      QProcess::execute(QStringLiteral("fusermount3"),
                        {QStringLiteral("-u"), QStringLiteral("-z"), mount.folder->path()});
      process.kill();
      process.waitForFinished(5000);
    }
  }
}
