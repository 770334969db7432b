#include "linuxdesktop/DriveBackupUnit.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <system_error>

extern char** environ;

namespace linuxdesktop {

namespace fs = std::filesystem;

namespace {

// Waits for the desktop to mount the file system (it does so a moment after
// the device appears; never, when the user unplugs it first), then starts the
// drive's command line from there. $1: the UUID, $2: the drive folder below
// the mount point.
constexpr std::string_view kRunScript =
    "uuid=\"$1\"; folder=\"$2\"; n=0; "
    "while :; do "
    "mount=$(findmnt -n -l -o TARGET --source \"UUID=$uuid\" | head -n 1); "
    "[ -n \"$mount\" ] && break; "
    "n=$((n+1)); [ \"$n\" -ge 120 ] && exit 0; sleep 1; "
    "done; "
    "drive=\"${mount%/}/$folder\"; "
    "exec \"$drive/vaultline\" --drive \"$drive\" backup --all --notify";

// One argument of an Exec line in double quotes: the unit file's own escapes
// for backslash and quote, $$ for a dollar sign, %% for a percent sign.
std::string ExecQuoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '$':
        out += "$$";
        break;
      case '%':
        out += "%%";
        break;
      default:
        out += c;
    }
  }
  return out + "\"";
}

bool HasControlCharacter(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  }
  return false;
}

std::string ErrorText(const std::error_code& error, const fs::path& path) {
  return path.string() + ": " + error.message();
}

}  // namespace

std::string EscapedUnitPath(std::string_view path) {
  while (path.size() > 1 && path.front() == '/') path.remove_prefix(1);
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  if (path == "/" || path.empty()) return "-";
  std::string out;
  static const char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < path.size(); ++i) {
    const auto c = static_cast<unsigned char>(path[i]);
    if (c == '/') {
      out += '-';
    } else if (std::isalnum(c) || c == '_' || c == ':' || (c == '.' && i > 0)) {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

DriveBackupUnit::DriveBackupUnit(std::string uuid) : uuid_(std::move(uuid)) {}

fs::path DriveBackupUnit::UnitFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && *config == '/') return fs::path(config) / "systemd" / "user";
  const char* home = std::getenv("HOME");
  return fs::path(home != nullptr ? home : "") / ".config" / "systemd" / "user";
}

std::string DriveBackupUnit::UnitName() const {
  return "brindle-backup-" + uuid_ + ".service";
}

std::string DriveBackupUnit::DeviceUnitName() const {
  return EscapedUnitPath("/dev/disk/by-uuid/" + uuid_) + ".device";
}

fs::path DriveBackupUnit::UnitFile() const {
  return UnitFolder() / UnitName();
}

fs::path DriveBackupUnit::WantsLink() const {
  return UnitFolder() / (DeviceUnitName() + ".wants") / UnitName();
}

bool DriveBackupUnit::Installed() const {
  std::error_code error;
  return fs::exists(UnitFile(), error) && fs::is_symlink(WantsLink(), error);
}

std::string DriveBackupUnit::UnitText(const std::string& folder) const {
  return "# Written by Marrowby (Brindle+): backs up the drive whose file system has the\n"
         "# UUID " +
         uuid_ +
         " when it is plugged into this computer. Turn \"Back up when this\n"
         "# drive is plugged into this computer\" off in Marrowby's Preferences to remove it.\n"
         "[Unit]\n"
         "Description=Brindle+ backup when the drive " +
         uuid_ +
         " is plugged in\n"
         "After=" +
         DeviceUnitName() +
         "\n\n"
         "[Service]\n"
         "Type=oneshot\n"
         "TimeoutStartSec=infinity\n"
         "ExecStart=/bin/sh -c " +
         ExecQuoted(kRunScript) + " brindle-backup " + ExecQuoted(uuid_) + " " +
         ExecQuoted(folder) +
         "\n\n"
         "[Install]\n"
         "WantedBy=" +
         DeviceUnitName() + "\n";
}

std::string DriveBackupUnit::Install(const std::string& folder) const {
  if (uuid_.empty()) return "no file system UUID";
  if (HasControlCharacter(folder)) return "the drive's folder name holds control characters";
  std::error_code error;
  const fs::path link = WantsLink();
  fs::create_directories(link.parent_path(), error);
  if (error) return ErrorText(error, link.parent_path());
  const fs::path file = UnitFile();
  const fs::path written = file.string() + ".new";
  {
    std::ofstream out(written, std::ios::trunc);
    out << UnitText(folder);
    out.close();
    if (!out) return written.string() + ": could not be written";
  }
  fs::rename(written, file, error);
  if (error) {
    fs::remove(written, error);
    return ErrorText(error, file);
  }
  fs::remove(link, error);
  fs::create_symlink(fs::path("..") / UnitName(), link, error);
  return error ? ErrorText(error, link) : std::string();
}

std::string DriveBackupUnit::Remove() const {
  std::error_code error;
  const fs::path link = WantsLink();
  fs::remove(link, error);
  if (error) return ErrorText(error, link);
  // The folder of wanted units goes when it is ours alone.
  fs::remove(link.parent_path(), error);  // fails, harmlessly, when not empty
  fs::remove(UnitFile(), error);
  return error ? ErrorText(error, UnitFile()) : std::string();
}

void ReloadUserServiceManager() {
  const char* argv[] = {"systemctl", "--user", "--no-ask-password", "daemon-reload", nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child;
  if (posix_spawnp(&child, "systemctl", &actions, nullptr, const_cast<char**>(argv), environ) ==
      0) {
    int status;
    waitpid(child, &status, 0);
  }
  posix_spawn_file_actions_destroy(&actions);
}

}  // namespace linuxdesktop
