// The keep rules of a selection applied on the backup's worker thread, right
// after its backup took a snapshot: the snapshots they do not keep are
// forgotten, the selection is compacted when that is worth it, and both are
// written to the forget log. A failure is told to the progress window as a
// warning: the backup itself stands.
#pragma once

#include <QString>

#include "vaultline/Vaultline.h"

// `window`: the progress window, the engine's sink while the backup ran; it
// is the sink again when this returns. Returns the line the status bar shows
// afterwards: what was forgotten and given back; empty when nothing was.
QString ApplyKeepRules(IVaultline& engine, unsigned profile, const QString& name,
                       IBackupRestoreStatus* window);
