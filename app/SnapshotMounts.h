// The selections whose snapshots are open in the file manager: each mounted
// by the command line's `vaultline mount` beside this program, in a private
// folder, once, and unmounted when this object goes (the program ends) or
// when this program itself needs the selection.
#pragma once

#include <QString>
#include <functional>
#include <map>
#include <memory>

class QProcess;
class QTemporaryDir;

class SnapshotMounts {
 public:
  SnapshotMounts();
  ~SnapshotMounts();
  SnapshotMounts(const SnapshotMounts&) = delete;
  SnapshotMounts& operator=(const SnapshotMounts&) = delete;

  // The folder that shows snapshot `snapshot` (an index of the engine's
  // list) of selection `selection`, mounting the selection first when it is
  // not yet; empty with `error` (the command line's own words) when it
  // could not be mounted.
  QString FolderOf(int selection, int snapshot, QString* error);

  // Ends the mount of `selection`, of every selection for -1. A mount holds
  // its selection, and while it does this program cannot read or back it up.
  void End(int selection);

  // Where the command line is; tests name the one they built.
  static void SetProgram(const QString& path);

 private:
  struct Mount {
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<QProcess> process;
    std::map<int, QString> snapshots;  // engine index -> folder name
  };
  // Starts the mount of `selection` and waits until it shows the snapshots;
  // null with `error` when it did not.
  std::unique_ptr<Mount> Start(int selection, QString* error) const;
  static void Stop(Mount& mount);

  std::map<int, std::unique_ptr<Mount>> mounts_;
};
