// backup --notify: the outcome also goes to the desktop's notification area,
// so that a backup nobody watches (the drive plugged in) still tells its user
// how it went. Quietly nothing where the desktop has no notification service.
#pragma once

#include <string>
#include <vector>

namespace vaultline::cli {

// One line for each selection (or the reason nothing ran).
void NotifyBackupOutcome(int exitCode, const std::vector<std::wstring>& lines);

}  // namespace vaultline::cli
