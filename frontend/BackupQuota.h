// The quota rule both front ends apply: what a backup may still add to the
// drive, and whether the size a backup announces is over it.
#pragma once

#include <cstdint>

#include "vaultline/Vaultline.h"

namespace frontend {

// The quota (MaxBackupSize) less the storage the drive already holds, never
// below 0; -1 when the drive has no quota (MaxBackupSize 0).
int64_t BackupAllowance(IVaultline& engine);

// Whether a backup of `total` bytes is over `allowance` (negative: no quota).
inline bool OverQuota(int64_t total, int64_t allowance) {
  return allowance >= 0 && total > allowance;
}

}  // namespace frontend
