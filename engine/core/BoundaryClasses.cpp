// Out-of-line members of the boundary classes, so that their type information
// and virtual tables live in (and are exported from) the engine library.
#include "vaultline/Vaultline.h"

IBackupRestoreStatus::IBackupRestoreStatus() = default;
IBackupRestoreStatus::~IBackupRestoreStatus() = default;
IResourceProvider::IResourceProvider() = default;
IResourceProvider::~IResourceProvider() = default;
IVaultline::IVaultline() = default;
IVaultline::~IVaultline() = default;

#include "vaultline/SnapshotFiles.h"

ISnapshotFiles::ISnapshotFiles() = default;
ISnapshotFiles::~ISnapshotFiles() = default;
