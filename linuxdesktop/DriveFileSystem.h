// The file system that holds the drive folder, as this computer knows it:
// its UUID, where it is mounted now and where the drive folder lies in it.
// A folder on the computer's own disks (the development build's drive) has
// no UUID here: nothing can be bound to it being plugged in.
#pragma once

#include <string>

namespace linuxdesktop {

struct DriveFileSystem {
  std::string uuid;        // empty: no removable file system of its own
  std::string mountPoint;  // where it is mounted, without a trailing separator
  std::string folder;      // the drive folder below the mount point; empty at its root

  bool removable() const { return !uuid.empty(); }
};

DriveFileSystem FindDriveFileSystem(const std::string& driveFolder);

}  // namespace linuxdesktop
