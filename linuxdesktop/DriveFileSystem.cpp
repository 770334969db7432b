#include "linuxdesktop/DriveFileSystem.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace linuxdesktop {

namespace fs = std::filesystem;

namespace {

bool DeviceOf(const fs::path& path, dev_t* device) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  *device = info.st_dev;
  return true;
}

// UUIDs as udev names them; anything else is no name to put in a unit.
bool PlainUuid(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') return false;
  }
  return true;
}

// The name udev gave the block device `device` in /dev/disk/by-uuid.
std::string UuidOf(dev_t device) {
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator("/dev/disk/by-uuid", error)) {
    struct stat info;
    if (stat(entry.path().c_str(), &info) == 0 && S_ISBLK(info.st_mode) && info.st_rdev == device &&
        PlainUuid(entry.path().filename().string())) {
      return entry.path().filename().string();
    }
  }
  return std::string();
}

bool ReadsOne(const fs::path& file) {
  std::ifstream in(file);
  std::string value;
  return std::getline(in, value) && value == "1";
}

// A disk on a USB port (sticks and external disks, which do not all say they
// are removable) or a removable medium; never the computer's own disks.
bool OnRemovableDisk(dev_t device) {
  std::error_code error;
  const fs::path node =
      fs::canonical(fs::path("/sys/dev/block") /
                        (std::to_string(major(device)) + ":" + std::to_string(minor(device))),
                    error);
  if (error) return false;
  if (node.string().find("/usb") != std::string::npos) return true;
  // A partition's own folder has no "removable"; its disk's has.
  return ReadsOne(node / "removable") || ReadsOne(node.parent_path() / "removable");
}

}  // namespace

DriveFileSystem FindDriveFileSystem(const std::string& driveFolder) {
  DriveFileSystem found;
  std::error_code error;
  const fs::path folder = fs::canonical(driveFolder, error);
  dev_t device;
  if (error || !DeviceOf(folder, &device)) return found;
  fs::path mount = folder;
  dev_t above;
  while (mount.has_relative_path() && DeviceOf(mount.parent_path(), &above) && above == device) {
    mount = mount.parent_path();
  }
  found.mountPoint = mount.string();
  found.folder = folder.lexically_relative(mount).string();
  if (found.folder == ".") found.folder.clear();
  if (OnRemovableDisk(device)) found.uuid = UuidOf(device);
  return found;
}

}  // namespace linuxdesktop
