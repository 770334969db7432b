// Installs a status sink on the engine for the length of one operation and
// tells the sink when the operation is over, as the desktop's worker does.
#pragma once

#include "vaultline/Vaultline.h"

namespace vaultline::cli {

class StatusScope {
 public:
  StatusScope(IVaultline& engine, IBackupRestoreStatus& status) : engine_(engine), status_(status) {
    engine_.SetStatusCallback(&status_);
  }
  ~StatusScope() {
    status_.OnFinished(L"");
    engine_.SetStatusCallback(nullptr);
  }
  StatusScope(const StatusScope&) = delete;
  StatusScope& operator=(const StatusScope&) = delete;

 private:
  IVaultline& engine_;
  IBackupRestoreStatus& status_;
};

}  // namespace vaultline::cli
