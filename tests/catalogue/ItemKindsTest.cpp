// Every kind of item a home folder holds comes back as what it was: links as
// links with their targets, fifos, sockets and devices as nodes of their
// kind, compared with the source by lstat. Nothing outside the source is
// read, and what cannot be kept is named.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "CatalogueFixture.h"

namespace vaultline::test {
namespace {

struct Made {
  const char* name;
  std::function<bool(const fs::path&)> make;  // false: this user cannot make it
};

bool MakeSocket(const fs::path& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  ::close(fd);
  return bound;
}

bool MakeNode(const fs::path& path, mode_t type, dev_t device) {
  return ::mknod(path.c_str(), type | 0640, device) == 0;
}

// One of each kind, each with a time of its own (a link's too).
const Made kKinds[] = {
    {"relative-link", [](const fs::path& p) { return ::symlink("file.txt", p.c_str()) == 0; }},
    {"absolute-link", [](const fs::path& p) { return ::symlink("/etc/hostname", p.c_str()) == 0; }},
    {"folder-link", [](const fs::path& p) { return ::symlink("folder", p.c_str()) == 0; }},
    {"dangling-link",
     [](const fs::path& p) { return ::symlink("../gone/nowhere", p.c_str()) == 0; }},
    {"fifo", [](const fs::path& p) { return ::mkfifo(p.c_str(), 0620) == 0; }},
    {"socket", MakeSocket},
    {"char-device", [](const fs::path& p) { return MakeNode(p, S_IFCHR, makedev(1, 3)); }},
    {"block-device", [](const fs::path& p) { return MakeNode(p, S_IFBLK, makedev(7, 200)); }},
};

void SetLinkTime(const fs::path& path, int64_t seconds, long nanoseconds) {
  timespec times[2];
  times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(seconds);
  times[0].tv_nsec = times[1].tv_nsec = nanoseconds;
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// What lstat and readlink say of an item, in one comparable text.
std::string Describe(const fs::path& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return "missing";
  std::string text = std::to_string(info.st_mode & S_IFMT) + " ";
  if (!S_ISLNK(info.st_mode)) text += std::to_string(info.st_mode & 07777) + " ";
  text += std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
    text +=
        " dev " + std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev));
  }
  if (S_ISREG(info.st_mode)) text += " size " + std::to_string(info.st_size);
  if (S_ISLNK(info.st_mode)) text += " -> " + fs::read_symlink(path).string();
  return text;
}

class ItemKinds : public CatalogueFixture {
 protected:
  // src/{file.txt, folder/inner.txt} and every kind this user can make.
  std::vector<std::string> MakeEveryKind() {
    Write(Src() / "file.txt", "file contents");
    Write(Src() / "folder" / "inner.txt", "inner");
    std::vector<std::string> made;
    long nanoseconds = 1000;
    for (const Made& kind : kKinds) {
      const fs::path path = Src() / kind.name;
      if (!kind.make(path)) continue;
      SetLinkTime(path, 1'600'000'000, nanoseconds += 7777);
      made.push_back(kind.name);
    }
    for (const char* name : {"file.txt", "folder/inner.txt", "folder"}) {
      SetLinkTime(Src() / name, 1'500'000'000, 0);
    }
    return made;
  }
  bool RestoreAll(int index) {
    fs::remove_all(Out());
    fs::create_directories(Out());
    SnapshotManager& manager = Open();
    manager.ListSnapshots();
    return manager.RestoreItemUnder(index, W(Src()), L"", W(Out()), true);
  }
  std::vector<std::wstring> Entries(int index) {
    SnapshotManager& manager = Open();
    manager.ListSnapshots();
    return manager.ListEntries(index, W(Src()));
  }
  std::string StoreBytes() const {
    std::string bytes;
    for (const char* extension : {"", ".fp"}) {
      std::ifstream in(CatalogueFile(extension), std::ios::binary);
      bytes += std::string(std::istreambuf_iterator<char>(in), {});
    }
    return bytes;
  }
};

TEST_F(ItemKinds, EachKindIsRestoredAsItWasAndAnUnchangedBackupStoresNothing) {
  const std::vector<std::string> made = MakeEveryKind();
  ASSERT_GE(made.size(), 6u);  // every user makes links, fifos and sockets
  ASSERT_TRUE(Backup());
  EXPECT_TRUE(status_.problems.empty()) << (status_.problems.empty() ? "" : "");
  const auto content = fs::file_size(CatalogueFile(".fp"));
  ASSERT_TRUE(Backup());
  EXPECT_EQ(status_.files, 0);  // nothing is read or stored again
  EXPECT_EQ(fs::file_size(CatalogueFile(".fp")), content);

  for (int snapshot = 0; snapshot < 2; ++snapshot) {
    ASSERT_TRUE(RestoreAll(snapshot)) << snapshot;
    for (const std::string& name : made) {
      EXPECT_EQ(Describe(Out() / "src" / name), Describe(Src() / name)) << name;
    }
    EXPECT_EQ(Describe(Out() / "src" / "folder" / "inner.txt"),
              Describe(Src() / "folder" / "inner.txt"));
  }
  const std::vector<std::wstring> entries = Entries(1);
  EXPECT_EQ(std::count(entries.begin(), entries.end(), L"relative-link"), 1);
  EXPECT_EQ(std::count(entries.begin(), entries.end(), L"folder-link/"), 0);
}

TEST_F(ItemKinds, RestoreReplacesWhatIsInTheWayButNeverWritesThroughALink) {
  MakeEveryKind();
  ASSERT_TRUE(Backup());
  // An earlier restore left other things in the items' places.
  fs::create_directories(Out() / "src");
  Write(Out() / "src" / "relative-link", "a file in the link's place");
  SetReadOnly(Out() / "src" / "relative-link");
  ASSERT_EQ(::symlink((root_ / "victim").c_str(), (Out() / "src" / "fifo").c_str()), 0);
  SnapshotManager& manager = Open();
  manager.ListSnapshots();
  ASSERT_TRUE(manager.RestoreItemUnder(0, W(Src()), L"", W(Out()), true));
  EXPECT_EQ(Describe(Out() / "src" / "relative-link"), Describe(Src() / "relative-link"));
  EXPECT_EQ(Describe(Out() / "src" / "fifo"), Describe(Src() / "fifo"));
  EXPECT_FALSE(fs::exists(root_ / "victim"));
}

TEST_F(ItemKinds, ALinkLeadingOutOfTheSourceReadsNothingThere) {
  const fs::path outside = root_ / "outside";
  std::string secret(20000, '\0');
  std::mt19937 random(34);
  for (char& byte : secret) byte = static_cast<char>(random());
  Write(outside / "secret.bin", secret);
  Write(outside / "dir" / "hidden.txt", "never backed up");
  ASSERT_EQ(::mkfifo((outside / "pipe").c_str(), 0600), 0);
  for (const char* name : {"secret.bin", "dir", "pipe"}) {
    fs::create_symlink(outside / name, Src() / (std::string("to-") + name));
  }
  ASSERT_TRUE(Backup());
  EXPECT_TRUE(status_.problems.empty());
  EXPECT_EQ(StoreBytes().find(secret.substr(5000, 64)), std::string::npos);
  for (const std::wstring& entry : Entries(0)) {
    EXPECT_EQ(entry.find(L"hidden"), std::wstring::npos) << entry;
  }
  ASSERT_TRUE(RestoreAll(0));
  EXPECT_EQ(fs::read_symlink(Out() / "src" / "to-secret.bin"), outside / "secret.bin");
}

TEST_F(ItemKinds, ASourceThatIsALinkIsFollowedOnce) {
  Write(root_ / "real" / "a.txt", "a");
  fs::create_symlink("a.txt", root_ / "real" / "b-link");
  fs::create_symlink(root_ / "real", root_ / "chosen");
  ASSERT_TRUE(Backup({W(root_ / "chosen")}));
  SnapshotManager& manager = Open();
  manager.ListSnapshots();
  ASSERT_TRUE(manager.RestoreItemUnder(0, W(root_ / "chosen"), L"", W(Out()), true));
  EXPECT_TRUE(fs::is_directory(fs::symlink_status(Out() / "chosen")));
  EXPECT_EQ(fs::read_symlink(Out() / "chosen" / "b-link"), "a.txt");
}

TEST_F(ItemKinds, ANewLinkTargetIsANewRecordWithItsOwnContents) {
  Write(Src() / "one", "1");
  fs::create_symlink("one", Src() / "link");
  SetLinkTime(Src() / "link", 1'600'000'000, 0);
  SetLinkTime(Src(), 1'600'000'000, 0);
  ASSERT_TRUE(Backup());
  fs::remove(Src() / "link");
  fs::create_symlink("two", Src() / "link");
  SetLinkTime(Src() / "link", 1'600'000'001, 0);
  SetLinkTime(Src(), 1'600'000'000, 0);
  ASSERT_TRUE(Backup());
  ASSERT_TRUE(RestoreAll(0));
  EXPECT_EQ(fs::read_symlink(Out() / "src" / "link"), "one");
  ASSERT_TRUE(RestoreAll(1));
  EXPECT_EQ(fs::read_symlink(Out() / "src" / "link"), "two");
}

TEST_F(ItemKinds, AnItemThatCannotBeDescribedIsNamedInEveryBackup) {
  if (::geteuid() == 0) GTEST_SKIP() << "the administrator describes every item";
  Write(Src() / "closed" / "inside.txt", "x");
  fs::permissions(Src() / "closed", fs::perms::owner_read);  // listed, not searched
  for (int snapshot = 0; snapshot < 2; ++snapshot) {
    ASSERT_TRUE(Backup());
    ASSERT_EQ(status_.problems.size(), 1u) << snapshot;
    EXPECT_NE(status_.problems[0].find(W(Src() / "closed" / "inside.txt")), std::wstring::npos);
  }
  fs::permissions(Src() / "closed", fs::perms::owner_all);
}

TEST_F(ItemKinds, DevicesAreAWarningForARestoreThatCannotMakeThem) {
  if (::geteuid() != 0) GTEST_SKIP() << "only the administrator makes the device to back up";
  MakeEveryKind();
  ASSERT_TRUE(Backup());
  // A restore without the privilege, as an ordinary user runs it, on a drive
  // that user may use.
  manager_.reset();
  for (const fs::path& path : {root_ / "drive", Out()}) {
    fs::permissions(path, fs::perms::all);
    for (const auto& entry : fs::directory_iterator(path))
      fs::permissions(entry.path(), fs::perms::all);
  }
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    fs::create_directories(Out() / "user");
    SnapshotManager& manager = Open();
    manager.ListSnapshots();
    manager.RestoreItemUnder(0, W(Src()), L"", W(Out() / "user"), true);
    // Names in order: the block device first.
    const bool named = status_.problems.size() == 2 &&
                       status_.problems[0].find(L"block-device") != std::wstring::npos &&
                       status_.problems[1].find(L"char-device") != std::wstring::npos;
    ::_exit(named && fs::is_fifo(Out() / "user" / "src" / "fifo") ? 0 : 1);
  }
  int result = 0;
  ASSERT_EQ(::waitpid(child, &result, 0), child);
  EXPECT_TRUE(WIFEXITED(result) && WEXITSTATUS(result) == 0) << result;
}

}  // namespace
}  // namespace vaultline::test
