// What the block store uses of the snapshot manager that drives it: the
// status sink, the cancel flag and the byte totals of the running operation.
#pragma once

#include <cstdint>

class IBackupRestoreStatus;

namespace vaultline {

struct StoreContext {
  IBackupRestoreStatus* status = nullptr;  // not owned; null means no reports
  // Set by the store on errors and to the answer of every OnProgress it makes;
  // the manager ends the operation when it is true.
  bool cancelled = false;
  int64_t bytesDone = 0;      // bytes of earlier files already stored
  int64_t restoredBytes = 0;  // bytes of earlier files already restored
};

}  // namespace vaultline
