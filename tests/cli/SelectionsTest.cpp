// Backup Selections through the exported interface, as the command line and
// the desktop program see them: stamps, stable indices, rename and delete,
// and everything found again by a new engine.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "ConsoleStatus.h"
#include "EnglishResources.h"
#include "vaultline/Path.h"
#include "vaultline/Text.h"
#include "vaultline/Vaultline.h"

namespace vaultline::cli {
namespace {

namespace fs = std::filesystem;

std::wstring Wide(const fs::path& path) {
  return platform::DecodeName(path.native());
}

class Selections : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("vaultline-selections-" + std::to_string(std::random_device{}()));
    fs::create_directories(root_ / "drive");
    fs::create_directories(root_ / "src" / "inner");
    std::ofstream(root_ / "src" / "inner" / "file.txt") << "contents\n";
    platform::SetProgramFolderOverride(Wide(root_ / "drive"));
  }
  void TearDown() override {
    Cleanup(engine_);
    platform::SetProgramFolderOverride(L"");
    fs::remove_all(root_);
  }

  void Start() {
    Cleanup(engine_);
    engine_ = InitializeT(&resources_, Wide(root_).c_str(), 1, 0, 2);
    ASSERT_NE(nullptr, engine_);
  }

  std::vector<std::wstring> Take(StringList list) {
    std::vector<std::wstring> items;
    for (int i = 0; i < engine_->GetListCount(list); ++i)
      items.emplace_back(engine_->GetListItem(list, i));
    engine_->ReleaseList(list);
    return items;
  }

  std::wstring Location(int index) { return Take(engine_->GetProfileLocation(index)).at(0); }

  // The creation stamp: the folder below BackupStorage/ that holds "Dir/file".
  std::wstring StampOf(int index) {
    const std::wstring location = Location(index);
    const std::wstring storage = Wide(root_ / "drive" / "BackupStorage") + platform::kSeparator;
    EXPECT_EQ(0u, location.rfind(storage, 0)) << platform::ToDisplayUtf8(location);
    const std::wstring rest = location.substr(storage.size());
    EXPECT_EQ(Wide(fs::path(rest).filename()), L"file");
    EXPECT_EQ(Wide(fs::path(rest).parent_path().filename()), L"Dir");
    return rest.substr(0, rest.find(platform::kSeparator));
  }

  fs::path root_;
  EnglishResources resources_;
  IVaultline* engine_ = nullptr;
};

TEST_F(Selections, KeepTheirIndicesThroughDeleteAndRenameAndSurviveARestart) {
  Start();
  const std::wstring source = Wide(root_ / "src");
  const wchar_t* contents[] = {source.c_str()};
  int first = -1, second = -1;
  std::wstring firstStamp, secondStamp;
  // Two selections made within one second differ by an "x"; a second that
  // ticks over between them gives a fresh stamp, so try again.
  for (int attempt = 0; attempt < 5 && secondStamp != firstStamp + L"x"; ++attempt) {
    if (attempt > 0) {
      engine_->DeleteProfile(first);
      engine_->DeleteProfile(second);
    }
    ASSERT_TRUE(engine_->CreateProfile(L"stamp", contents, 1, &first));
    ASSERT_TRUE(engine_->CreateProfile(L"stamp x", contents, 1, &second));
    firstStamp = StampOf(first);
    secondStamp = StampOf(second);
  }
  ASSERT_EQ(firstStamp + L"x", secondStamp);
  EXPECT_EQ(14u, firstStamp.size());
  const fs::path storage = root_ / "drive" / "BackupStorage";

  ASSERT_TRUE(engine_->DeleteProfile(first));
  EXPECT_FALSE(fs::exists(storage / platform::EncodeName(firstStamp)));
  auto names = Take(engine_->GetProfileNames());
  EXPECT_EQ(L"", names.at(first));
  EXPECT_EQ(L"stamp x", names.at(second));
  EXPECT_FALSE(engine_->RenameProfile(first, L"ghost"));
  EXPECT_EQ(0, engine_->GetListCount(engine_->GetProfileContents(first)));

  ConsoleStatus status(0, false);
  engine_->SetStatusCallback(&status);
  ASSERT_TRUE(engine_->BackUp(second));  // by its index from before the delete
  engine_->SetStatusCallback(nullptr);
  EXPECT_EQ(0u, status.errors());
  EXPECT_TRUE(engine_->RefreshSnapshots(second));
  ASSERT_TRUE(engine_->RenameProfile(second, L"renamed; \"quoted\""));
  const std::wstring location = Location(second);

  Start();
  names = Take(engine_->GetProfileNames());
  ASSERT_EQ(std::vector<std::wstring>{L"renamed; \"quoted\""}, names);
  EXPECT_EQ(location, Location(0));
  EXPECT_EQ(std::vector<std::wstring>{source}, Take(engine_->GetProfileContents(0)));
  ASSERT_EQ(1u, Take(engine_->GetSnapshots(0)).size());
  const fs::path out = root_ / "out";
  fs::create_directories(out);
  EXPECT_TRUE(engine_->Restore(0, 0, L"", Wide(out).c_str()));
  std::ifstream restored(out / "src" / "inner" / "file.txt");
  std::string text;
  std::getline(restored, text);
  EXPECT_EQ("contents", text);
}

}  // namespace
}  // namespace vaultline::cli
