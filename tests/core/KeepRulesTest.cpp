// Keep rules of a selection: stored with it, the preview of the next
// backup's forget, the compaction that follows only when worth it, and the
// forget log.
#include <gtest/gtest.h>

#include <random>

#include "TestDrive.h"
#include "vaultline/KeepRules.h"

namespace vaultline::testing {
namespace {

class KeepRulesTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    source_ = drive_ / "home";
    WriteBytes(source_ / "a.txt", "a");
    engine_ = StartEngine();
    engine_->SetStatusCallback(&status_);
    index_ = Create(*engine_, L"home", source_);
  }

  std::vector<unsigned> Chosen(StringList list) {
    std::vector<unsigned> chosen;
    for (const std::wstring& text : Items(*engine_, list)) chosen.push_back(std::stoul(text));
    return chosen;
  }

  fs::path KeepFile() const {
    const auto location = Items(*engine_, engine_->GetProfileLocation(index_));
    return fs::path(location.at(0)).parent_path() / "keep";
  }

  // Bytes of the selection's files on the drive.
  int64_t SelectionBytes() const {
    int64_t bytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(KeepFile().parent_path())) {
      if (entry.is_regular_file()) bytes += static_cast<int64_t>(entry.file_size());
    }
    return bytes;
  }

  static std::string RandomBytes(size_t size) {
    std::mt19937 random(42);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
  }

  fs::path source_;
  RecordingStatus status_;
  std::unique_ptr<Engine> engine_;
  int index_ = -1;
};

TEST_F(KeepRulesTest, TravelWithTheSelectionAndDamagedFilesReadAsOff) {
  KeepRules rules = GetKeepRules(engine_.get(), index_);
  EXPECT_FALSE(rules.enabled);
  EXPECT_EQ(rules.last + rules.daily + rules.weekly + rules.monthly, 0);

  ASSERT_TRUE(SetKeepRules(engine_.get(), index_, {true, 2, 7, 4, 12}));
  EXPECT_EQ(ReadBytes(KeepFile()), "enabled 1\nlast 2\ndaily 7\nweekly 4\nmonthly 12\n");
  ASSERT_TRUE(engine_->RenameProfile(index_, L"renamed"));
  engine_ = StartEngine();
  rules = GetKeepRules(engine_.get(), index_);
  EXPECT_TRUE(rules.enabled);
  EXPECT_EQ(rules.last, 2);
  EXPECT_EQ(rules.monthly, 12);

  // Damaged lines switch off what they name and nothing else.
  WriteBytes(KeepFile(), "enabled yes\r\nlast -3\r\nweekly 4\r\nmonthly 999999999\r\nnoise\n");
  rules = GetKeepRules(engine_.get(), index_);
  EXPECT_FALSE(rules.enabled);
  EXPECT_EQ(rules.last, 0);
  EXPECT_EQ(rules.weekly, 4);
  EXPECT_EQ(rules.monthly, 0);

  // A file that cannot be read is said, and applies no rule.
  fs::remove(KeepFile());
  fs::create_directory(KeepFile());
  engine_->SetStatusCallback(&status_);
  rules = GetKeepRules(engine_.get(), index_);
  EXPECT_FALSE(rules.enabled);
  EXPECT_EQ(status_.MessagesAt(kMessageError).size(), 1u);
  EXPECT_FALSE(SetKeepRules(engine_.get(), 99, {true, 1, 0, 0, 0}));
}

TEST_F(KeepRulesTest, PreviewIsWhatTheForgetAfterTheNextBackupTakes) {
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(engine_->BackUp(index_));
  const KeepRules rules{true, 2, 1, 0, 0};
  // Today's newest snapshot will be the next backup's: of the four listed
  // only the newest stays, by the count of two.
  const std::vector<unsigned> preview =
      Chosen(GetSnapshotsToForgetAfterBackup(engine_.get(), index_, rules));
  EXPECT_EQ(preview, (std::vector<unsigned>{0, 1, 2}));
  // Asked now, without the next snapshot, the rules would keep one more.
  EXPECT_EQ(Chosen(engine_->GetSnapshotsToForget(index_, 2, 1, 0, 0)),
            (std::vector<unsigned>{0, 1}));

  ASSERT_TRUE(engine_->BackUp(index_));
  EXPECT_EQ(Chosen(engine_->GetSnapshotsToForget(index_, 2, 1, 0, 0)), preview);
  EXPECT_EQ(GetSnapshotsToForgetAfterBackup(engine_.get(), 99, rules), nullptr);
}

TEST_F(KeepRulesTest, CompactionFollowsOnlyWhenItGivesBackEnough) {
  WriteBytes(source_ / "big.bin", RandomBytes(3 << 20));
  ASSERT_TRUE(engine_->BackUp(index_));
  fs::remove(source_ / "big.bin");
  WriteBytes(source_ / "b.txt", "b");
  ASSERT_TRUE(engine_->BackUp(index_));
  WriteBytes(source_ / "c.txt", "c");
  ASSERT_TRUE(engine_->BackUp(index_));

  // The middle snapshot's few bytes are not worth a rewrite.
  const unsigned middle = 1;
  ASSERT_TRUE(engine_->ForgetSnapshots(index_, &middle, 1));
  const int64_t before = SelectionBytes();
  EXPECT_EQ(CompactProfileWhenWorthIt(engine_.get(), index_), 0);
  EXPECT_EQ(SelectionBytes(), before);

  // The first one's 3 MB are.
  const unsigned first = 0;
  ASSERT_TRUE(engine_->ForgetSnapshots(index_, &first, 1));
  const int64_t freed = CompactProfileWhenWorthIt(engine_.get(), index_);
  EXPECT_GT(freed, 3 << 20);
  EXPECT_LT(SelectionBytes(), before - (3 << 20));
  EXPECT_TRUE(status_.MessagesAt(kMessageError).empty());
  EXPECT_EQ(Items(*engine_, engine_->GetSnapshots(index_)).size(), 1u);
}

TEST_F(KeepRulesTest, ForgetLogKeepsOneLineAnEntryAndItsNewestLines) {
  EXPECT_EQ(ReadForgetLog(engine_.get()), nullptr);
  ASSERT_TRUE(AppendForgetLog(engine_.get(), L"home: forgot\n2 snapshots"));
  std::vector<std::wstring> lines = Items(*engine_, ReadForgetLog(engine_.get()));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].ends_with(L"  home: forgot 2 snapshots")) << lines[0];
  EXPECT_TRUE(lines[0].starts_with(L"20")) << lines[0];  // the local time, ISO 8601

  const std::wstring filler(1000, L'x');
  for (int i = 0; i < 400; ++i) {
    ASSERT_TRUE(AppendForgetLog(engine_.get(), (std::to_wstring(i) + L" " + filler).c_str()));
  }
  EXPECT_LT(fs::file_size(Storage() / "forget.log"), 300u * 1024);
  lines = Items(*engine_, ReadForgetLog(engine_.get()));
  EXPECT_TRUE(lines.back().find(L"  399 x") != std::wstring::npos);
  for (const std::wstring& line : lines) {
    EXPECT_TRUE(line.starts_with(L"20") && line.ends_with(L"x")) << line.substr(0, 40);
  }
  EXPECT_GT(lines.size(), 100u);
  EXPECT_LT(lines.size(), 300u);
}

}  // namespace
}  // namespace vaultline::testing
