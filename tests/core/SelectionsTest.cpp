#include <gtest/gtest.h>

#include "TestDrive.h"

namespace vaultline::testing {
namespace {

class SelectionsTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    source_ = drive_ / "source";
    WriteBytes(source_ / "a.txt", "alpha");
    WriteBytes(source_ / "docs" / "b.txt", "beta");
  }

  static std::wstring StampOf(const std::wstring& location) {
    return fs::path(location).parent_path().parent_path().filename().wstring();
  }

  fs::path source_;
};

TEST_F(SelectionsTest, SelectionsOfTheSameSecondGetDistinctStamps) {
  auto engine = StartEngine();
  // Retry in the rare case that the clock's second turned between the two.
  for (int attempt = 0; attempt < 5; ++attempt) {
    int first = Create(*engine, L"first", source_);
    int second = Create(*engine, L"second", source_);
    std::wstring firstStamp = StampOf(Items(*engine, engine->GetProfileLocation(first)).at(0));
    std::wstring secondStamp = StampOf(Items(*engine, engine->GetProfileLocation(second)).at(0));
    if (secondStamp.substr(0, 14) != firstStamp.substr(0, 14)) continue;
    EXPECT_EQ(secondStamp, firstStamp + L"x");
    EXPECT_EQ(firstStamp.find_first_not_of(L"0123456789x"), std::wstring::npos);
    EXPECT_TRUE(fs::is_directory(Storage() / firstStamp / "Dir"));
    EXPECT_TRUE(fs::is_directory(Storage() / secondStamp / "Dir"));
    return;
  }
  FAIL() << "no two selections were created within one second";
}

TEST_F(SelectionsTest, DeletedSelectionsKeepTheirSlots) {
  auto engine = StartEngine();
  for (const wchar_t* name : {L"zero", L"one", L"two"}) Create(*engine, name, source_);
  std::wstring location = Items(*engine, engine->GetProfileLocation(0)).at(0);
  fs::path folder = fs::path(location).parent_path().parent_path();
  ASSERT_TRUE(fs::is_directory(folder));

  EXPECT_TRUE(engine->DeleteProfile(0));
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_EQ(Items(*engine, engine->GetProfileNames()),
            (std::vector<std::wstring>{L"", L"one", L"two"}));
  EXPECT_EQ(engine->GetProfileContents(0), nullptr);
  EXPECT_EQ(Items(*engine, engine->GetProfileLocation(0)), std::vector<std::wstring>{L""});
  EXPECT_FALSE(engine->RenameProfile(0, L"back"));
  EXPECT_FALSE(engine->BackUp(0));
  EXPECT_EQ(Items(*engine, engine->GetProfileNames()).at(0), L"");

  EXPECT_TRUE(engine->RenameProfile(2, L"renamed"));
  auto restarted = StartEngine();
  EXPECT_EQ(Items(*restarted, restarted->GetProfileNames()),
            (std::vector<std::wstring>{L"one", L"renamed"}));
}

TEST_F(SelectionsTest, StorageRemovalNeverTakesTheStorageRoot) {
  auto engine = StartEngine();
  Create(*engine, L"keep", source_);
  std::wstring root = engine->StorageRoot();
  EXPECT_FALSE(engine->RemoveProfileStorage((fs::path(root) / "Dir" / "file").wstring()));
  EXPECT_FALSE(engine->RemoveProfileStorage(root));
  EXPECT_FALSE(engine->RemoveProfileStorage(std::wstring(platform::kSeparatorText) + L"Dir" +
                                            platform::kSeparator + L"file"));
  EXPECT_TRUE(fs::is_directory(Storage()));

  // Nor anything outside it, whatever a damaged config.ini names.
  WriteBytes(drive_ / "precious" / "data", "keep");
  EXPECT_FALSE(engine->RemoveProfileStorage(
      (fs::path(root) / ".." / "precious" / "Dir" / "file").wstring()));
  EXPECT_FALSE(engine->RemoveProfileStorage((drive_ / "precious").wstring()));
  EXPECT_TRUE(fs::exists(drive_ / "precious" / "data"));

  // A location without the usual tail names its folder itself.
  WriteBytes(Storage() / "odd" / "data", "x");
  EXPECT_TRUE(engine->RemoveProfileStorage(root + L"odd"));
  EXPECT_FALSE(fs::exists(Storage() / "odd"));
  EXPECT_TRUE(fs::exists(Storage() / "config.ini"));
}

TEST_F(SelectionsTest, ALocationOutsideTheStorageIsNeverTouched) {
  fs::create_directories(drive_ / "outside" / "Dir");
  WriteBytes(Storage() / "config.ini",
             "\"MaxFileSize\";\"0\"\r\n"
             "\"evil\";\"" +
                 (fs::path("BackupStorage") / ".." / "outside" / "Dir" / "file").string() +
                 "\";\"" + source_.string() + "\"\r\n");
  auto engine = StartEngine();
  ASSERT_EQ(Items(*engine, engine->GetProfileNames()), std::vector<std::wstring>{L"evil"});
  EXPECT_FALSE(engine->BackUp(0));
  engine->DeleteProfile(0);
  EXPECT_TRUE(fs::is_empty(drive_ / "outside" / "Dir"));
}

TEST_F(SelectionsTest, ANewSelectionNeverTakesOverAnOrphanedFolder) {
  auto engine = StartEngine();
  int first = Create(*engine, L"first", source_);
  std::wstring location = Items(*engine, engine->GetProfileLocation(first)).at(0);
  engine.reset();
  // The configuration forgets the selection; its folder stays on the drive.
  fs::remove(Storage() / "config.ini");
  fs::remove(Storage() / "config.bak");
  auto restarted = StartEngine();
  int second = Create(*restarted, L"second", source_);
  EXPECT_NE(Items(*restarted, restarted->GetProfileLocation(second)).at(0), location);
}

}  // namespace
}  // namespace vaultline::testing
