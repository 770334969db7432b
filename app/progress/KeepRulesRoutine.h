// The keep rules of a selection applied on the backup's worker thread, right
// after its backup took a snapshot: the snapshots they do not keep are
// forgotten, the selection is compacted when that is worth it, and both are
// written to the forget log. A failure is told to the progress window as a
// warning: the backup itself stands. Before a backup the quota would stop,
// they make room the same way.
#pragma once

#include <QString>
#include <QStringList>

#include "progress/CBackupProgressDlg.h"
#include "vaultline/Vaultline.h"

// `window`: the progress window, the engine's sink while the backup ran; it
// is the sink again when this returns. Returns the line the status bar shows
// afterwards: what was forgotten and given back; empty when nothing was.
QString ApplyKeepRules(IVaultline& engine, unsigned profile, const QString& name,
                       IBackupRestoreStatus* window);

// The backup of one selection in `window`. When the quota would stop it and
// the keep rules, turned on, would forget snapshots, they forget them first
// (never the newest), the selection is compacted, and the backup runs again
// if that made room; otherwise the quota's refusal is told as usual. What the
// rules did goes to `notes`, how many snapshots they forgot to
// `forgottenFirst` (may be null). The engine's result of the backup that counts.
bool BackUpMakingRoom(IVaultline& engine, unsigned profile, const QString& name,
                      CBackupProgressDlg* window, QStringList* notes, int* forgottenFirst);
