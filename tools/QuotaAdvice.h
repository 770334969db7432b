// What the command line tells about the backup quota (max-backup-size): the
// quota in force after `create`, and the ways out when a backup does not fit.
#pragma once

#include <cstdint>
#include <string>

#include "EngineSession.h"

namespace vaultline::cli {

// "16777216 bytes (16.0 MiB)".
std::wstring SizeText(int64_t bytes);

// The quota in force and the command that changes it, on standard error.
void PrintQuotaInForce(IVaultline& engine);

// After a backup of `needed` bytes was refused, by the quota or by the
// engine: what is free and which commands make room (raising the quota,
// forgetting snapshots). Says nothing when neither the quota nor the drive's
// free space is short of `needed`.
void PrintWayOutOfFullQuota(EngineSession& session, const std::wstring& selection, int64_t needed,
                            bool byQuota);

}  // namespace vaultline::cli
