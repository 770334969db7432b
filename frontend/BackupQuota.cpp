#include "frontend/BackupQuota.h"

#include <algorithm>

namespace frontend {

int64_t BackupAllowance(IVaultline& engine) {
  const int64_t quota = engine.GetMaxBackupSize();
  return quota > 0 ? std::max<int64_t>(quota - engine.GetStorageUsed(), 0) : -1;
}

}  // namespace frontend
