// The bodies of the backup and restore worker threads. Each frames one engine
// operation: the sink is installed, the operation runs, the sink hears
// OnFinished, and the sink is removed again before the thread ends.
//
// The caller reads the selection on the user-interface thread and passes it
// in; a routine touches no widget and calls only the engine and the sink.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "vaultline/Vaultline.h"

struct BackupJob {
  IVaultline* engine = nullptr;
  IBackupRestoreStatus* sink = nullptr;
  std::optional<unsigned> profile;  // empty: no selection row was selected
  // A backup's: the selection's name, and where the line of what its keep
  // rules did goes (read after the worker ended).
  QString name;
  QStringList* keepRulesNotes = nullptr;
};

struct RestoreJob {
  IVaultline* engine = nullptr;
  IBackupRestoreStatus* sink = nullptr;
  std::optional<unsigned> profile;
  std::optional<int> snapshot;
  std::wstring item;  // relative to the selection's source; empty = whole snapshot
  std::wstring destination;
};

void RunBackupRoutine(const BackupJob& job);
// Verify of the job's selection, data included.
void RunVerifyRoutine(const BackupJob& job);
// Compaction of the job's selection: its files rewritten to hold what its
// listed snapshots reference.
void RunCompactRoutine(const BackupJob& job);
void RunRestoreRoutine(const RestoreJob& job);
