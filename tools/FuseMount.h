// Serves a SnapshotFileSystem to the kernel through FUSE (libfuse3's
// low-level interface), mounted read-only at a folder.
#pragma once

#include <functional>
#include <string>

#include "SnapshotFileSystem.h"

namespace vaultline::cli {

// Mounts `fileSystem` at `folder` and answers the kernel until the folder is
// unmounted (fusermount3 -u) or the program is asked to end (Ctrl-C,
// SIGTERM, SIGHUP), then unmounts it. `mounted` is called once the folder
// shows the snapshots. False with `error` when it could not be mounted.
bool ServeMount(SnapshotFileSystem& fileSystem, const std::string& folder,
                const std::function<void()>& mounted, std::wstring* error);

}  // namespace vaultline::cli
