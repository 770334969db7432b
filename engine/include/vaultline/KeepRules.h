// A Backup Selection's keep rules: the command line's forget policy (keep the
// last N, and the newest snapshot of each of the newest N days, weeks and
// months) with a switch, kept with the selection on the drive. The desktop
// program applies them after each backup that succeeded; the log of what
// they forgot lies beside config.ini.
#pragma once

#include <cstdint>

#include "vaultline/Vaultline.h"

struct KeepRules {
  bool enabled = false;
  int last = 0;
  int daily = 0;
  int weekly = 0;
  int monthly = 0;
};

// The selection's rules; off and all zero when it has none, or they cannot
// be read.
VAULTLINE_API KeepRules GetKeepRules(IVaultline* engine, unsigned profile);
// Stores them with the selection; false (reported to the status sink, when
// one is set) when they could not be written.
VAULTLINE_API bool SetKeepRules(IVaultline* engine, unsigned profile, const KeepRules& rules);

// What the rules forget after the next backup: the snapshots (indices as
// GetSnapshots lists them) that GetSnapshotsToForget with the same rules
// names once one more snapshot, taken now, is listed. Null when none.
VAULTLINE_API StringList GetSnapshotsToForgetAfterBackup(IVaultline* engine, unsigned profile,
                                                         const KeepRules& rules);

// A compaction of the selection, run only when it is worth it: when it gives
// back at least kCompactionWorthBytes and at least kCompactionWorthPercent of
// the bytes of the selection's files. Rewriting the kept data costs about as
// much as the data kept, so below a tenth the rewrite wears the drive for
// little; what is not given back now stays counted and is given back by a
// later compaction. The bytes given back; 0 when it was not worth it; -1
// when it failed or was cancelled (reported to the status sink).
inline constexpr int64_t kCompactionWorthBytes = int64_t{1} << 20;
inline constexpr int kCompactionWorthPercent = 10;
VAULTLINE_API int64_t CompactProfileWhenWorthIt(IVaultline* engine, unsigned profile);

// The forget log: "forget.log" in the storage folder, one line for each
// automatic forget and compaction, stamped with the local time. The front
// end writes its lines in its own language. False when it cannot be written.
VAULTLINE_API bool AppendForgetLog(IVaultline* engine, const wchar_t* line);
// Its lines, oldest first; null when there is no log yet.
VAULTLINE_API StringList ReadForgetLog(IVaultline* engine);
