#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "TempFolder.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace vaultline::platform {
namespace {

namespace fs = std::filesystem;

void WriteBytes(const fs::path& path, size_t count) {
  std::ofstream(path, std::ios::binary) << std::string(count, 'x');
}

std::vector<std::string> EncodedNames(const std::vector<FindData>& entries) {
  std::vector<std::string> names;
  for (const auto& entry : entries) names.push_back(EncodeName(entry.name));
  return names;
}

TEST(ListFolder, SortsByNameBytesAndKeepsArbitraryBytes) {
  testing::TempFolder folder;
  const std::vector<std::string> names = {
      "b", "B", "a\xFF", "\xC3\xA9t\xC3\xA9", ".hidden", "\x01\x80\xFE", "Z", "a"};
  for (const auto& name : names) {
    // Created through the layer from the decoded name, as a restore would.
    const int fd = OpenFile(JoinPath(folder.Wide(), DecodeName(name)), OpenMode::kCreateTruncate);
    ASSERT_GE(fd, 0) << name;
    CloseFile(fd);
  }
  std::vector<FindData> entries;
  ASSERT_TRUE(ListFolder(folder.Wide(), &entries));
  // Bytes compare unsigned: the UTF-8 name comes after every ASCII one.
  EXPECT_EQ(EncodedNames(entries),
            (std::vector<std::string>{"\x01\x80\xFE", ".hidden", "B", "Z", "a", "a\xFF", "b",
                                      "\xC3\xA9t\xC3\xA9"}));
  for (const auto& entry : entries) {
    EXPECT_TRUE(PathExists(JoinPath(folder.Wide(), entry.name))) << EncodeName(entry.name);
  }
}

TEST(OpenRegularFile, NeverWaitsOnWhatCannotBeRead) {
  // A file that became a fifo after it was listed has no writer: an open
  // that waited for one would hang the backup.
  testing::TempFolder folder;
  ASSERT_EQ(::mkfifo((folder.path() / "fifo").c_str(), 0600), 0);
  int64_t size = -1;
  EXPECT_EQ(OpenRegularFile(folder.Wide("fifo"), &size), -1);
  EXPECT_EQ(OpenRegularFile(folder.Wide("missing"), &size), -1);
  EXPECT_EQ(OpenRegularFile(folder.Wide(), &size), -1);
  WriteBytes(folder.path() / "file", 5000);
  const int fd = OpenRegularFile(folder.Wide("file"), &size);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(size, 5000);
  char bytes[6000];
  EXPECT_EQ(ReadFile(fd, bytes, sizeof bytes), 5000);
  EXPECT_TRUE(CloseFile(fd));
}

TEST(ListFolder, DescribesEveryEntryAsItIsWithoutFollowingLinks) {
  testing::TempFolder folder;
  const fs::path& root = folder.path();
  WriteBytes(root / "file", 5);
  WriteBytes(root / "target", 300);
  fs::create_directory(root / "sub");
  fs::create_symlink(root / "target", root / "link-to-file");
  fs::create_symlink(root / "sub", root / "link-to-folder");
  fs::create_symlink(root / "gone", root / "dangling");
  ASSERT_EQ(::mkfifo((root / "fifo").c_str(), 0600), 0);

  std::vector<FindData> entries = {FindData{}};  // a stale entry must not survive
  ASSERT_TRUE(ListFolder(folder.Wide(), &entries));
  ASSERT_EQ(EncodedNames(entries),
            (std::vector<std::string>{"dangling", "fifo", "file", "link-to-file", "link-to-folder",
                                      "sub", "target"}));
  EXPECT_EQ(entries[0].kind, ItemKind::kSymbolicLink);
  EXPECT_EQ(entries[1].kind, ItemKind::kFifo);
  EXPECT_EQ(entries[1].size, 0u);
  EXPECT_EQ(entries[2].size, 5u);
  EXPECT_EQ(entries[2].attributes, 0u);
  EXPECT_EQ(entries[2].kind, ItemKind::kPlain);
  // A link is described as a link: the length of its target, never a folder.
  EXPECT_EQ(entries[3].size, (root / "target").string().size());
  EXPECT_EQ(entries[4].kind, ItemKind::kSymbolicLink);
  EXPECT_EQ(entries[4].attributes & kAttributeFolder, 0u);
  EXPECT_EQ(entries[5].attributes, kAttributeFolder);
  EXPECT_EQ(entries[5].size, 0u);

  EXPECT_FALSE(ListFolder(folder.Wide("file"), &entries));
  EXPECT_FALSE(ListFolder(folder.Wide("missing"), &entries));
  EXPECT_TRUE(entries.empty());

  // A selection's own source may be a link; it is followed.
  FindData data;
  ASSERT_TRUE(DescribePath(folder.Wide("link-to-folder/"), &data));
  EXPECT_EQ(data.name, L"link-to-folder");
  EXPECT_EQ(data.attributes, kAttributeFolder);
  ASSERT_TRUE(DescribePath(folder.Wide("fifo"), &data));
  EXPECT_EQ(data.kind, ItemKind::kFifo);
  EXPECT_FALSE(DescribePath(folder.Wide("dangling"), &data));
  EXPECT_EQ(LastError(), ENOENT);
  EXPECT_TRUE(IsSymbolicLink(folder.Wide("dangling")));
  EXPECT_FALSE(IsSymbolicLink(folder.Wide("sub")));
}

TEST(Attributes, ReadOnlyHiddenAndTimesAreSetAndRead) {
  testing::TempFolder folder;
  WriteBytes(folder.path() / ".config", 1);
  const std::wstring path = folder.Wide(".config");
  for (int32_t time : {0, -86400, 315626635, INT32_MAX}) {
    ASSERT_TRUE(SetFileTime(path, time));
    FindData data;
    ASSERT_TRUE(DescribePath(path, &data));
    EXPECT_EQ(data.lastWriteTime, time);
  }
  uint32_t attributes = 0;
  ASSERT_TRUE(GetAttributes(path, &attributes));
  EXPECT_EQ(attributes, kAttributeHidden);
  ASSERT_TRUE(SetReadOnly(path, true));
  ASSERT_TRUE(GetAttributes(path, &attributes));
  EXPECT_EQ(attributes, kAttributeHidden | kAttributeReadOnly);
  EXPECT_EQ(fs::status(folder.path() / ".config").permissions() & fs::perms::owner_write,
            fs::perms::none);

  // Deleting a read-only file fails even for a privileged user, as on Windows.
  int error = 0;
  EXPECT_FALSE(DeleteFile(path, &error));
  EXPECT_TRUE(PathExists(path));
  ASSERT_TRUE(SetReadOnly(path, false));
  ASSERT_TRUE(GetAttributes(path, &attributes));
  EXPECT_EQ(attributes, kAttributeHidden);
  EXPECT_TRUE(DeleteFile(path, &error));
  EXPECT_FALSE(GetAttributes(path, &attributes));
}

TEST(Attributes, ChangesNeverGoThroughALink) {
  testing::TempFolder folder;
  WriteBytes(folder.path() / "target", 1);
  fs::create_symlink(folder.path() / "target", folder.path() / "link");
  EXPECT_FALSE(SetReadOnly(folder.Wide("link"), true));
  uint32_t attributes = 99;
  ASSERT_TRUE(GetAttributes(folder.Wide("target"), &attributes));
  EXPECT_EQ(attributes, 0u);
  ASSERT_TRUE(SetFileTime(folder.Wide("link"), 1000));
  FindData data;
  ASSERT_TRUE(DescribePath(folder.Wide("target"), &data));
  EXPECT_NE(data.lastWriteTime, 1000);
}

// Set through a descriptor, times, modes and the read-only state land on the
// file that was opened, even once its path names another.
TEST(Attributes, ThoseOfAnOpenFileGoToThatFile) {
  testing::TempFolder folder;
  WriteBytes(folder.path() / "written", 1);
  const int fd = OpenFile(folder.Wide("written"), OpenMode::kReadWriteStore);
  ASSERT_GE(fd, 0);
  fs::rename(folder.path() / "written", folder.path() / "moved");
  WriteBytes(folder.path() / "written", 1);
  const auto before = fs::status(folder.path() / "written").permissions();

  ASSERT_TRUE(SetOpenFileTime(fd, 315626635, 123456789));
  ASSERT_TRUE(SetOpenFileMode(fd, 0640));
  struct stat info;
  ASSERT_EQ(::stat((folder.path() / "moved").c_str(), &info), 0);
  EXPECT_EQ(info.st_mtim.tv_sec, 315626635);
  EXPECT_EQ(info.st_mtim.tv_nsec, 123456789);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  ASSERT_TRUE(SetOpenFileReadOnly(fd, true));
  ASSERT_EQ(::stat((folder.path() / "moved").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0440u);

  ASSERT_EQ(::stat((folder.path() / "written").c_str(), &info), 0);
  EXPECT_NE(info.st_mtim.tv_sec, 315626635);
  EXPECT_EQ(fs::status(folder.path() / "written").permissions(), before);
  EXPECT_TRUE(CloseFile(fd));
}

TEST(CopyFile, KeepsAnExistingTargetWhenAskedAndNeverCopiesOntoItself) {
  testing::TempFolder folder;
  WriteBytes(folder.path() / "a", 70000);
  WriteBytes(folder.path() / "b", 3);
  EXPECT_FALSE(CopyFile(folder.Wide("a"), folder.Wide("b"), true));
  uint64_t size = 0;
  ASSERT_TRUE(GetFileSize64(folder.Wide("b"), &size));
  EXPECT_EQ(size, 3u);
  EXPECT_TRUE(CopyFile(folder.Wide("a"), folder.Wide("b"), false));
  ASSERT_TRUE(GetFileSize64(folder.Wide("b"), &size));
  EXPECT_EQ(size, 70000u);
  EXPECT_FALSE(CopyFile(folder.Wide("a"), folder.Wide("a"), false));
  ASSERT_TRUE(GetFileSize64(folder.Wide("a"), &size));
  EXPECT_EQ(size, 70000u);
  EXPECT_FALSE(CopyFile(folder.Wide("missing"), folder.Wide("c"), true));
  EXPECT_FALSE(PathExists(folder.Wide("c")));
}

TEST(Folders, CreateRemoveAndSync) {
  testing::TempFolder folder;
  int error = 0;
  ASSERT_TRUE(CreateFolder(folder.Wide("store"), true, &error));
  EXPECT_EQ(fs::status(folder.path() / "store").permissions(), fs::perms::owner_all);
  EXPECT_FALSE(CreateFolder(folder.Wide("store"), true, &error));
  EXPECT_EQ(error, EEXIST);
  EXPECT_TRUE(IsFolder(folder.Wide("store")));
  EXPECT_TRUE(SyncFolder(folder.Wide("store")));
  EXPECT_FALSE(SyncFolder(folder.Wide("missing")));
  EXPECT_FALSE(DeleteFile(folder.Wide("store"), &error));
  EXPECT_TRUE(RemoveEmptyFolder(folder.Wide("store")));
  EXPECT_FALSE(PathExists(folder.Wide("store")));
}

}  // namespace
}  // namespace vaultline::platform
