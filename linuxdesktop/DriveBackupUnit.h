// The user's service that backs the drive up when it is plugged into this
// computer: a systemd user unit, wanted by the device of the drive's file
// system (by UUID), that waits for the desktop to mount it and then runs the
// drive's own command line, "backup --all --notify", from wherever it is
// mounted. The device, not a mount point, is what it binds to: the desktop
// mounts a drive under its label, which changes with the label and with a
// second drive of the same label.
//
// Files, below $XDG_CONFIG_HOME (default ~/.config):
//   systemd/user/brindle-backup-UUID.service
//   systemd/user/dev-disk-by\x2duuid-UUID.device.wants/brindle-backup-UUID.service,
//     a link to the unit (what "systemctl --user enable" makes)
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace linuxdesktop {

// A path as systemd names units for it (systemd-escape --path).
std::string EscapedUnitPath(std::string_view path);

class DriveBackupUnit {
 public:
  explicit DriveBackupUnit(std::string uuid);

  // $XDG_CONFIG_HOME/systemd/user.
  static std::filesystem::path UnitFolder();
  std::string UnitName() const;
  std::string DeviceUnitName() const;
  std::filesystem::path UnitFile() const;
  std::filesystem::path WantsLink() const;

  bool Installed() const;
  // The unit for a drive folder `folder` below the file system's mount point
  // (empty: its root). An empty result is success; otherwise it says why not.
  std::string Install(const std::string& folder) const;
  std::string Remove() const;
  std::string UnitText(const std::string& folder) const;

 private:
  std::string uuid_;
};

// Tells the user's service manager that its units changed; nothing where
// there is none (no systemd, no session).
void ReloadUserServiceManager();

}  // namespace linuxdesktop
