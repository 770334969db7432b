#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include "TempFolder.h"
#include "platform/Path.h"
#include "platform/Text.h"

namespace vaultline::platform {
namespace {

TEST(FullPath, FoldsLexicallyAndKeepsTrailingSeparator) {
  const struct {
    const wchar_t* in;
    const wchar_t* out;
  } cases[] = {
      {L"/a/./b//c/../d", L"/a/b/d"},
      {L"/a/b/", L"/a/b/"},
      {L"/a/b/./", L"/a/b/"},
      {L"/a/b/..", L"/a"},
      {L"/a/b/../", L"/a/"},
      {L"/..", L"/"},
      {L"/../../x", L"/x"},
      {L"//", L"/"},
      {L"/", L"/"},
      {L"/a:b/c", L"/a:b/c"},
      {L"/a/...", L"/a/..."},
  };
  for (const auto& c : cases) EXPECT_EQ(FullPath(c.in), c.out) << c.in;
}

TEST(FullPath, RelativePathsStartAtTheCurrentDirectory) {
  const std::wstring cwd = CurrentDirectory();
  ASSERT_FALSE(cwd.empty());
  EXPECT_EQ(FullPath(L""), cwd);
  EXPECT_EQ(FullPath(L"x/../y"), JoinPath(cwd, L"y"));
  EXPECT_EQ(FullPath(L"./z/"), JoinPath(cwd, L"z/"));
}

TEST(JoinPath, DropsTheLeadingSeparatorOfTheSecondPath) {
  EXPECT_EQ(JoinPath(L"/restore/", L"/data/a.txt"), L"/restore/data/a.txt");
  EXPECT_EQ(JoinPath(L"/restore", L"/data/a.txt"), L"/restore/data/a.txt");
  EXPECT_EQ(JoinPath(L"/restore", L"a"), L"/restore/a");
  EXPECT_EQ(JoinPath(L"/restore/", L""), L"/restore/");
}

TEST(ProgramFolder, TheOverrideElseTheProgramsOwn) {
  testing::TempFolder drive;
  const std::wstring fromProgram = ProgramFolder();
  ASSERT_FALSE(fromProgram.empty());
  EXPECT_EQ(fromProgram.back(), kSeparator);

  SetProgramFolderOverride(drive.Wide("sub") + L"/..");
  EXPECT_EQ(ProgramFolder(), drive.Wide() + L"/");
  SetProgramFolderOverride(L"");
  EXPECT_EQ(ProgramFolder(), fromProgram);
}

TEST(DeviceRootOf, StopsWhereTheFileSystemChanges) {
  EXPECT_EQ(DeviceRootOf(L"/proc/self/fd"), L"/proc/");
  EXPECT_EQ(DeviceRootOf(L"/"), L"/");
  testing::TempFolder folder;
  const std::wstring root = DeviceRootOf(folder.Wide());
  ASSERT_FALSE(root.empty());
  EXPECT_EQ(root.back(), kSeparator);
  EXPECT_EQ(folder.Wide().rfind(root, 0), 0u) << root;
  // A path that does not exist yet belongs to the device of its ancestor.
  EXPECT_EQ(DeviceRootOf(folder.Wide("not/yet/there")), root);
}

TEST(DiskSpace, AsksTheNearestExistingAncestor) {
  testing::TempFolder folder;
  uint64_t freeBytes = 0, totalBytes = 0;
  int error = 0;
  ASSERT_TRUE(DiskSpace(folder.Wide("missing/deeper"), &freeBytes, &totalBytes, &error));
  EXPECT_GT(totalBytes, 0u);
  EXPECT_LE(freeBytes, totalBytes);
}

}  // namespace
}  // namespace vaultline::platform
