// Owners, all twelve mode bits, extended attributes (ACLs among them) and
// hard links come back as they were, for the administrator; an ordinary
// user's restore keeps the items as its own, without set-ID bits, and that
// is no error. A change of any of them alone is a new record with the same
// contents.
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>

#include "CatalogueFixture.h"
#include "catalogue/CatalogueCompaction.h"

namespace vaultline::test {
namespace {

constexpr uid_t kOwner = 1234;
constexpr gid_t kGroup = 5678;
constexpr uid_t kNobody = 65534;

struct stat Lstat(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info;
}

// name=value pairs of the extended attributes of `path`, in name order.
std::vector<std::string> Attributes(const fs::path& path) {
  char names[4096];
  const ssize_t length = ::llistxattr(path.c_str(), names, sizeof names);
  std::vector<std::string> found;
  for (ssize_t at = 0; at < length; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
    char value[4096];
    const ssize_t size = ::lgetxattr(path.c_str(), names + at, value, sizeof value);
    found.push_back(std::string(names + at) + "=" +
                    std::string(value, static_cast<size_t>(std::max<ssize_t>(size, 0))));
  }
  std::sort(found.begin(), found.end());
  return found;
}

// A POSIX access ACL as the kernel keeps it: rw for the owner, r for user
// 4321, r for the group, r for the mask, nothing for others.
std::string AccessAcl() {
  struct Entry {
    uint16_t tag, permissions;
    uint32_t id;
  };
  const Entry entries[] = {{0x01, 6, 0xFFFFFFFF},
                           {0x02, 4, 4321},
                           {0x04, 4, 0xFFFFFFFF},
                           {0x10, 4, 0xFFFFFFFF},
                           {0x20, 0, 0xFFFFFFFF}};
  std::string bytes(4, '\0');
  bytes[0] = 2;  // version
  for (const Entry& entry : entries) {
    bytes.append(reinterpret_cast<const char*>(&entry), sizeof entry);
  }
  return bytes;
}

class OwnersAndAttributes : public CatalogueFixture {
 protected:
  bool RestoreAll(int index, const fs::path& target) {
    fs::create_directories(target);
    SnapshotManager& manager = Open();
    manager.ListSnapshots();
    return manager.RestoreItemUnder(index, W(Src()), L"", W(target), true);
  }
  void Settle() {
    for (const auto& entry : fs::recursive_directory_iterator(Src())) SetTime(entry.path(), 1000);
  }
  // Runs `restore` as the ordinary user nobody, on a drive it may use;
  // the exit status of the child.
  int AsNobody(const std::function<bool()>& restore) {
    manager_.reset();
    for (const fs::path& path : {root_, root_ / "drive", Out()}) {
      fs::permissions(path, fs::perms::all);
    }
    for (const auto& entry : fs::directory_iterator(root_ / "drive")) {
      fs::permissions(entry.path(), fs::perms::all);
    }
    const pid_t child = ::fork();
    if (child == 0) {
      if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(2);
      ::_exit(restore() ? 0 : 1);
    }
    int result = 0;
    ::waitpid(child, &result, 0);
    return WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  }
};

TEST_F(OwnersAndAttributes, EveryModeBitComesBack) {
  const std::pair<const char*, mode_t> items[] = {{"setgid-folder/", 02755}, {"shared-tmp/", 01777},
                                                  {"setuid-tool", 04755},    {"setgid-tool", 02711},
                                                  {"plain", 0640},           {"all", 07777}};
  for (const auto& [name, mode] : items) {
    const fs::path path = Src() / name;
    if (path.filename().empty()) {
      fs::create_directories(path);
    } else {
      Write(path, name);
    }
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
  }
  Settle();
  ASSERT_TRUE(Backup());
  ASSERT_TRUE(RestoreAll(0, Out()));
  for (const auto& [name, mode] : items) {
    EXPECT_EQ(Lstat(Out() / "src" / name).st_mode & 07777, mode) << name;
  }
  EXPECT_TRUE(status_.problems.empty());
}

TEST_F(OwnersAndAttributes, OwnersComeBackForTheAdministratorOnly) {
  if (::geteuid() != 0) GTEST_SKIP() << "only the administrator gives items away";
  Write(Src() / "theirs", "someone else's");
  Write(Src() / "tool", "set-user-ID");
  fs::create_directories(Src() / "folder");
  for (const char* name : {"theirs", "tool", "folder"}) {
    ASSERT_EQ(::chown((Src() / name).c_str(), kOwner, kGroup), 0);
  }
  ASSERT_EQ(::chmod((Src() / "tool").c_str(), 06755), 0);
  ASSERT_EQ(::lchown(Src().c_str(), kOwner, kGroup), 0);
  Settle();
  ASSERT_TRUE(Backup());

  ASSERT_TRUE(RestoreAll(0, Out() / "root"));
  for (const char* name : {"theirs", "tool", "folder"}) {
    const struct stat info = Lstat(Out() / "root" / "src" / name);
    EXPECT_EQ(info.st_uid, kOwner) << name;
    EXPECT_EQ(info.st_gid, kGroup) << name;
  }
  EXPECT_EQ(Lstat(Out() / "root" / "src" / "tool").st_mode & 07777, 06755u);

  // Anyone else keeps what it restores, never with a set-ID bit of its own,
  // and says so; no error.
  const int result = AsNobody([&] {
    const bool ran = RestoreAll(0, Out() / "user");
    const struct stat tool = Lstat(Out() / "user" / "src" / "tool");
    bool errors = false;
    bool named = false;
    for (const std::wstring& problem : status_.problems) {
      named = named || problem.find(
                           L"tool was restored without its set-user-ID bit, its "
                           L"set-group-ID bit") != std::wstring::npos;
      errors = errors || problem.find(L"without") == std::wstring::npos;
    }
    return ran && tool.st_uid == kNobody && (tool.st_mode & 07777) == 0755 && named && !errors;
  });
  EXPECT_EQ(result, 0);
}

TEST_F(OwnersAndAttributes, ExtendedAttributesAndAclsComeBack) {
  Write(Src() / "tagged", "x");
  fs::create_directories(Src() / "folder");
  const std::string comment = "a comment \xff with any bytes";
  if (::setxattr((Src() / "tagged").c_str(), "user.comment", comment.data(), comment.size(), 0) !=
      0) {
    GTEST_SKIP() << "this file system keeps no user attributes";
  }
  const std::string acl = AccessAcl();
  const bool acls = ::setxattr((Src() / "folder").c_str(), "system.posix_acl_access", acl.data(),
                               acl.size(), 0) == 0;
  if (acls) {
    ASSERT_EQ(::setxattr((Src() / "folder").c_str(), "system.posix_acl_default", acl.data(),
                         acl.size(), 0),
              0);
  }
  Settle();
  ASSERT_TRUE(Backup());
  ASSERT_TRUE(RestoreAll(0, Out()));
  for (const char* name : {"tagged", "folder"}) {
    EXPECT_EQ(Attributes(Out() / "src" / name), Attributes(Src() / name)) << name;
    EXPECT_EQ(Lstat(Out() / "src" / name).st_mode, Lstat(Src() / name).st_mode) << name;
  }
  EXPECT_EQ(Attributes(Out() / "src" / "tagged").size(), 1u);
  EXPECT_EQ(Attributes(Out() / "src" / "folder").size(), acls ? 2u : 0u);
}

TEST_F(OwnersAndAttributes, AChangeOfOwnerOrAttributeAloneIsANewRecordWithTheSameContents) {
  Write(Src() / "file", std::string(20000, 'f'));
  Settle();
  ASSERT_TRUE(Backup());
  const auto content = fs::file_size(CatalogueFile(".fp"));
  const auto data = fs::file_size(CatalogueFile(""));
  const std::string tag = "v2";
  if (::setxattr((Src() / "file").c_str(), "user.tag", tag.data(), tag.size(), 0) != 0) {
    GTEST_SKIP() << "this file system keeps no user attributes";
  }
  ASSERT_TRUE(Backup());
  EXPECT_EQ(status_.files, 0);  // nothing was read
  EXPECT_EQ(fs::file_size(CatalogueFile("")), data);
  // One new attribute list, and no contents.
  EXPECT_LT(fs::file_size(CatalogueFile(".fp")) - content, 2 * 2072u);
  ASSERT_TRUE(RestoreAll(1, Out() / "1"));
  EXPECT_EQ(Attributes(Out() / "1" / "src" / "file"), std::vector<std::string>{"user.tag=v2"});
  ASSERT_TRUE(RestoreAll(0, Out() / "0"));
  EXPECT_TRUE(Attributes(Out() / "0" / "src" / "file").empty());
}

TEST_F(OwnersAndAttributes, AttributeListsMoveWithACompaction) {
  Write(Src() / "old", "forgotten");
  ASSERT_TRUE(Backup());
  fs::remove(Src() / "old");
  Write(Src() / "kept", "kept");
  const std::string tag = "kept";
  if (::setxattr((Src() / "kept").c_str(), "user.tag", tag.data(), tag.size(), 0) != 0) {
    GTEST_SKIP() << "this file system keeps no user attributes";
  }
  ASSERT_EQ(::chmod((Src() / "kept").c_str(), 01640), 0);
  Settle();
  ASSERT_TRUE(Backup());
  ASSERT_TRUE(Open().ForgetSnapshots({0}));
  manager_.reset();
  CatalogueCompaction compaction(W(Location()), &status_);
  ASSERT_TRUE(compaction.Plan() && compaction.Run());
  ASSERT_TRUE(RestoreAll(0, Out()));
  EXPECT_EQ(Attributes(Out() / "src" / "kept"), std::vector<std::string>{"user.tag=kept"});
  EXPECT_EQ(Lstat(Out() / "src" / "kept").st_mode & 07777, 01640u);
  EXPECT_TRUE(status_.problems.empty());
}

TEST_F(OwnersAndAttributes, HardLinksComeBackAsOneFileWithItsBlocksStoredOnce) {
  std::string bytes(40000, '\0');
  std::mt19937 random(7);
  for (char& byte : bytes) byte = static_cast<char>(random());
  Write(Src() / "a" / "first", bytes);
  fs::create_directories(Src() / "b");
  fs::create_hard_link(Src() / "a" / "first", Src() / "b" / "second");
  fs::create_hard_link(Src() / "a" / "first", Src() / "third");
  Write(Src() / "alone", "one name");
  Settle();
  ASSERT_TRUE(Backup());
  EXPECT_LT(fs::file_size(CatalogueFile("")), bytes.size() + 8192);
  for (int snapshot : {0, 1}) {
    if (snapshot == 1) {
      ASSERT_TRUE(Backup());  // records of an unchanged tree
    }
    const fs::path out = Out() / std::to_string(snapshot);
    ASSERT_TRUE(RestoreAll(snapshot, out));
    const struct stat first = Lstat(out / "src" / "a" / "first");
    EXPECT_EQ(first.st_nlink, 3u);
    EXPECT_EQ(Lstat(out / "src" / "b" / "second").st_ino, first.st_ino);
    EXPECT_EQ(Lstat(out / "src" / "third").st_ino, first.st_ino);
    EXPECT_EQ(Lstat(out / "src" / "alone").st_nlink, 1u);
    EXPECT_EQ(Image(out / "src").at("third"), bytes);
  }
  // One name alone restores as a file of its own.
  fs::create_directories(Out() / "one");
  SnapshotManager& manager = Open();
  manager.ListSnapshots();
  ASSERT_TRUE(manager.RestoreItemUnder(0, W(Src()), L"b/second", W(Out() / "one"), true));
  EXPECT_EQ(Image(Out() / "one").at("second"), bytes);
}

}  // namespace
}  // namespace vaultline::test
