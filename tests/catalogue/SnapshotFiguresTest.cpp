// The figures of each snapshot: what its backup recorded in the sidecar,
// what a snapshot without them (taken before, or its record lost) is counted
// as, and how forgetting and compacting keep them with their snapshots.
#include "CatalogueFixture.h"
#include "catalogue/CatalogueCompaction.h"

namespace vaultline::test {
namespace {

class SnapshotFiguresTest : public CatalogueFixture {
 protected:
  void SetUp() override {
    CatalogueFixture::SetUp();
    for (int i = 0; i < 4; ++i)
      Write(Src() / ("f" + std::to_string(i)), std::string(3000, 'a' + i));
    Write(Src() / "deep" / "g", std::string(20000, 'g'));
    Write(Src() / "huge", std::string(90000, 'h'));
    // Settled times, so that unchanged files are known as such at once.
    for (const char* name : {"f0", "f1", "f2", "f3", "deep/g", "huge", "deep"}) {
      SetTime(Src() / name, 1000000);
    }
  }

  std::vector<std::optional<SnapshotFigures>> Figures() {
    SnapshotManager& manager = Open();
    manager.ListSnapshots();
    return manager.ListFigures();
  }

  int64_t StoreBytes() const {
    int64_t total = 0;
    for (const char* extension : {"", ".ind", ".fp", ".dir", ".snp"}) {
      total += static_cast<int64_t>(fs::file_size(CatalogueFile(extension)));
    }
    return total;
  }

  static constexpr int64_t kLimit = 50000;  // leaves "huge" out
  static constexpr int64_t kHeld = 4 * 3000 + 20000;
};

TEST_F(SnapshotFiguresTest, EachBackupRecordsWhatItHoldsStoresAndLeavesOut) {
  ASSERT_TRUE(Backup({W(Src())}, kLimit));
  const int64_t afterFirst = StoreBytes();
  Write(Src() / "f1", std::string(3000, 'z'));
  SetTime(Src() / "f1", 1000100);
  ASSERT_TRUE(Backup({W(Src())}, kLimit));

  const auto figures = Figures();
  ASSERT_EQ(figures.size(), 2u);
  for (const auto& snapshot : figures) {
    ASSERT_TRUE(snapshot && snapshot->recorded);
    EXPECT_EQ(snapshot->files, 5u);
    EXPECT_EQ(snapshot->bytes, kHeld);
    EXPECT_EQ(snapshot->oversize, 1u);
    EXPECT_EQ(snapshot->pathTooLong + snapshot->unreadable + snapshot->unreadFolders, 0u);
  }
  EXPECT_EQ(figures[0]->changedFiles, 5u);
  EXPECT_EQ(figures[0]->newBytes, afterFirst);
  // One file changed: the second snapshot stored it and records around it.
  EXPECT_EQ(figures[1]->changedFiles, 1u);
  EXPECT_EQ(figures[1]->newBytes, StoreBytes() - afterFirst);
  EXPECT_LT(figures[1]->newBytes, afterFirst / 2);
}

TEST_F(SnapshotFiguresTest, SnapshotsWithoutRecordedFiguresAreCountedFromTheirRecords) {
  ASSERT_TRUE(Backup({W(Src())}, kLimit));
  ASSERT_TRUE(Backup({W(Src())}, kLimit));
  const auto recorded = Figures();

  // Lost: both are counted, and the counts are kept for the next reader.
  manager_.reset();
  fs::remove(CatalogueFile(".figures"));
  auto counted = Figures();
  ASSERT_EQ(counted.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    ASSERT_TRUE(counted[i]);
    EXPECT_FALSE(counted[i]->recorded);
    EXPECT_EQ(counted[i]->files, recorded[i]->files);
    EXPECT_EQ(counted[i]->bytes, recorded[i]->bytes);
  }
  EXPECT_EQ(fs::file_size(CatalogueFile(".figures")), 2 * SnapshotFiguresFile::kRecordSize);

  // A damaged record and a torn one behind it: the damaged one is counted
  // again, the next backup's record is found whole behind the torn bytes.
  manager_.reset();
  {
    std::fstream file(CatalogueFile(".figures"), std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(12);
    file.put('\x7f');
  }
  std::ofstream(CatalogueFile(".figures"), std::ios::binary | std::ios::app) << "torn";
  ASSERT_TRUE(Backup({W(Src())}, kLimit));
  counted = Figures();
  ASSERT_EQ(counted.size(), 3u);
  EXPECT_EQ(counted[0]->files, 5u);
  EXPECT_FALSE(counted[0]->recorded);
  EXPECT_TRUE(counted[2]->recorded);
  EXPECT_EQ(counted[2]->oversize, 1u);
}

TEST_F(SnapshotFiguresTest, ForgettingAndCompactingKeepEachSnapshotsFigures) {
  std::vector<SnapshotFigures> taken;
  for (int round = 0; round < 4; ++round) {
    Write(Src() / "f0", std::string(3000 + round * 5000, 'r'));
    SetTime(Src() / "f0", 1000200 + round);
    ASSERT_TRUE(Backup({W(Src())}, kLimit));
  }
  for (const auto& figures : Figures()) taken.push_back(*figures);

  auto expectKept = [&](const std::vector<size_t>& kept, const char* step) {
    const auto now = Figures();
    ASSERT_EQ(now.size(), kept.size()) << step;
    for (size_t i = 0; i < kept.size(); ++i) {
      const SnapshotFigures& before = taken[kept[i]];
      ASSERT_TRUE(now[i] && now[i]->recorded) << step << " " << i;
      EXPECT_EQ(now[i]->snapshotTime, before.snapshotTime) << step;
      EXPECT_EQ(now[i]->bytes, before.bytes) << step;
      EXPECT_EQ(now[i]->newBytes, before.newBytes) << step;
      EXPECT_EQ(now[i]->changedFiles, before.changedFiles) << step;
    }
  };
  ASSERT_TRUE(Open().ForgetSnapshots({0, 2}));
  expectKept({1, 3}, "forget");
  EXPECT_EQ(fs::file_size(CatalogueFile(".figures")), 2 * SnapshotFiguresFile::kRecordSize);

  manager_.reset();
  CatalogueCompaction compaction(W(Location()), &status_);
  ASSERT_TRUE(compaction.Plan() && compaction.Run());
  expectKept({1, 3}, "compact");
  const auto compacted = Figures();
  EXPECT_EQ(compacted[0]->rootOffset, 0);
}

}  // namespace
}  // namespace vaultline::test
