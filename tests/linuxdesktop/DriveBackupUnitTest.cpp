// The user unit that backs the drive up when it is plugged in: written into
// and removed from the user's configuration, named as systemd names the
// drive's device, and its command line, run by hand as the service manager
// would run it, backs up every selection of a drive mounted under an awkward
// name.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "linuxdesktop/DriveBackupUnit.h"
#include "linuxdesktop/DriveFileSystem.h"

namespace linuxdesktop {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs argv, waits, and returns the exit status; its output goes to `log`.
int RunProgram(const std::vector<std::string>& argv, const fs::path& log) {
  const pid_t child = fork();
  if (child == 0) {
    FILE* out = std::fopen(log.c_str(), "a");
    if (out != nullptr) {
      dup2(fileno(out), 1);
      dup2(fileno(out), 2);
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The words of an Exec line as the service manager reads them: quoted words
// with the unit file's backslash escapes, "$$" and "%%" for "$" and "%".
std::vector<std::string> ExecWords(const std::string& line) {
  std::vector<std::string> words;
  size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && line[at] == ' ') ++at;
    if (at == line.size()) break;
    std::string word;
    const bool quoted = line[at] == '"';
    if (quoted) ++at;
    while (at < line.size() && (quoted ? line[at] != '"' : line[at] != ' ')) {
      if (line[at] == '\\' && at + 1 < line.size())
        ++at;
      else if ((line[at] == '$' || line[at] == '%') && at + 1 < line.size() &&
               line[at + 1] == line[at])
        ++at;
      word += line[at++];
    }
    if (quoted) ++at;
    words.push_back(word);
  }
  return words;
}

class DriveBackupUnitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/brindle-unit-XXXXXX";
    root_ = mkdtemp(pattern);
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(root_);
  }
  fs::path root_;
};

TEST_F(DriveBackupUnitTest, WrittenWhereTheUserManagerLooksAndRemovedAgain) {
  const DriveBackupUnit unit("1234-ABCD");
  EXPECT_EQ("dev-disk-by\\x2duuid-1234\\x2dABCD.device", unit.DeviceUnitName());
  EXPECT_EQ(root_ / "config/systemd/user/brindle-backup-1234-ABCD.service", unit.UnitFile());
  EXPECT_FALSE(unit.Installed());
  ASSERT_EQ("", unit.Install("Brindle+"));
  EXPECT_TRUE(unit.Installed());
  const std::string text = ReadFile(unit.UnitFile());
  EXPECT_NE(std::string::npos, text.find("\nType=oneshot\n"));
  EXPECT_NE(std::string::npos, text.find("\nWantedBy=dev-disk-by\\x2duuid-1234\\x2dABCD.device\n"));
  // What "systemctl --user enable" would have made: a relative link.
  const fs::path link = root_ /
                        "config/systemd/user/dev-disk-by\\x2duuid-1234\\x2dABCD.device.wants" /
                        "brindle-backup-1234-ABCD.service";
  EXPECT_EQ(link, unit.WantsLink());
  EXPECT_EQ(fs::path("../brindle-backup-1234-ABCD.service"), fs::read_symlink(link));
  EXPECT_EQ(fs::canonical(unit.UnitFile()), fs::canonical(link));
  // Installed twice: one unit, one link.
  ASSERT_EQ("", unit.Install("Brindle+"));
  ASSERT_EQ("", unit.Remove());
  EXPECT_FALSE(unit.Installed());
  EXPECT_FALSE(fs::exists(unit.UnitFile()));
  EXPECT_FALSE(fs::exists(link.parent_path()));
  // Another unit of the user's in the same folder stays.
  fs::create_directories(link.parent_path());
  std::ofstream(link.parent_path() / "other.service") << "";
  ASSERT_EQ("", unit.Install(""));
  ASSERT_EQ("", unit.Remove());
  EXPECT_TRUE(fs::exists(link.parent_path() / "other.service"));
}

TEST_F(DriveBackupUnitTest, AFolderNameThatCannotBeWrittenInAUnitIsRefused) {
  const DriveBackupUnit unit("1234-ABCD");
  EXPECT_NE("", unit.Install("line\nbreak"));
  EXPECT_FALSE(unit.Installed());
  EXPECT_NE("", DriveBackupUnit("").Install("x"));
}

TEST_F(DriveBackupUnitTest, NamesAsSystemdEscapesThem) {
  EXPECT_EQ("dev-disk-by\\x2duuid-5E2A\\x2d11F0", EscapedUnitPath("/dev/disk/by-uuid/5E2A-11F0"));
  EXPECT_EQ("media-u-My\\x20Stick", EscapedUnitPath("/media/u/My Stick/"));
  EXPECT_EQ("\\x2ehidden-a.b", EscapedUnitPath("/.hidden/a.b"));
  EXPECT_EQ("-", EscapedUnitPath("/"));
  const std::string tool = "/usr/bin/systemd-escape";
  if (access(tool.c_str(), X_OK) != 0) GTEST_SKIP() << "systemd-escape is not installed";
  for (const std::string path :
       {"/dev/disk/by-uuid/5E2A-11F0", "/media/u/Ünï côde+x", "/a_b:c/.d"}) {
    const fs::path out = root_ / "escaped";
    fs::remove(out);
    ASSERT_EQ(0, RunProgram({tool, "--path", path}, out));
    EXPECT_EQ(ReadFile(out), EscapedUnitPath(path) + "\n") << path;
  }
}

TEST_F(DriveBackupUnitTest, AFolderOfTheComputersOwnDiskIsNoDriveToBindTo) {
  fs::create_directories(root_ / "drive");
  const DriveFileSystem found = FindDriveFileSystem((root_ / "drive").string());
  EXPECT_FALSE(found.removable());
  EXPECT_EQ((fs::path(found.mountPoint) / found.folder).string(),
            fs::canonical(root_ / "drive").string());
  EXPECT_FALSE(FindDriveFileSystem((root_ / "missing").string()).removable());
}

TEST_F(DriveBackupUnitTest, ItsCommandBacksUpTheDriveWhereverItIsMounted) {
  // The drive's file system "mounted" at a name with a space, its drive
  // folder named with the characters a unit file and a shell treat specially.
  const fs::path mount = root_ / "media/u/My Stick";
  const std::string folder = "Brindle+ $HOME \"quoted\" 100% `x`";
  const fs::path drive = mount / folder;
  fs::create_directories(drive);
  fs::copy_file(VAULTLINE_PROGRAM, drive / "vaultline");
  // A build whose command line is not linked statically (the sanitizers')
  // finds the engine beside it, as on the drive.
  const fs::path engine = fs::path(VAULTLINE_PROGRAM).parent_path() / "libvaultline.so";
  if (fs::exists(engine)) fs::copy_file(engine, drive / "libvaultline.so");
  fs::create_directories(root_ / "source");
  std::ofstream(root_ / "source/notes.txt") << "notes";
  const fs::path log = root_ / "log";
  ASSERT_EQ(0, RunProgram({(drive / "vaultline").string(), "--drive", drive.string(), "create",
                           "notes", (root_ / "source").string()},
                          log))
      << ReadFile(log);
  // findmnt, as the service finds it in PATH, answers for the drive's UUID.
  const fs::path bin = root_ / "bin";
  fs::create_directories(bin);
  std::ofstream(bin / "findmnt") << "#!/bin/sh\n"
                                    "printf '%s\\n' \"$*\" >> '"
                                 << (root_ / "findmnt-args").string()
                                 << "'\n"
                                    "echo '"
                                 << mount.string() << "'\n";
  fs::permissions(bin / "findmnt", fs::perms::owner_all);

  const DriveBackupUnit unit("5E2A-11F0");
  ASSERT_EQ("", unit.Install(folder));
  const std::string text = ReadFile(unit.UnitFile());
  const size_t at = text.find("\nExecStart=");
  ASSERT_NE(std::string::npos, at);
  const std::string line = text.substr(at + 11, text.find('\n', at + 1) - at - 11);
  const std::vector<std::string> words = ExecWords(line);
  ASSERT_EQ(6u, words.size()) << line;
  EXPECT_EQ("/bin/sh", words[0]);
  EXPECT_EQ("5E2A-11F0", words[4]);
  EXPECT_EQ(folder, words[5]);

  const std::string path = bin.string() + ":" + getenv("PATH");
  setenv("PATH", path.c_str(), 1);
  // No session bus: the notice is left out without a word.
  setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
  EXPECT_EQ(0, RunProgram(words, log)) << ReadFile(log);
  EXPECT_EQ("-n -l -o TARGET --source UUID=5E2A-11F0\n", ReadFile(root_ / "findmnt-args"));
  const fs::path listing = root_ / "listing";
  ASSERT_EQ(0, RunProgram({(drive / "vaultline").string(), "--drive", drive.string(), "snapshots",
                           "notes"},
                          listing));
  EXPECT_NE(std::string::npos, ReadFile(listing).find("0\t")) << ReadFile(listing);
  EXPECT_NE(std::string::npos, ReadFile(log).find("0\tnotes\tsnapshot 0")) << ReadFile(log);
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}  // namespace
}  // namespace linuxdesktop
