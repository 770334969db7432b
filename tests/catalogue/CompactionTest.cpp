// Forgetting snapshots and compacting a selection: over generated histories,
// every kept snapshot restores as it was taken, and the compacted store holds
// nothing its snapshots do not reference. Also the switch's recovery from
// each point at which a compaction can be interrupted.
#include <cstring>

#include "CatalogueFixture.h"
#include "catalogue/CatalogueCompaction.h"
#include "catalogue/CompactionSwitch.h"
#include "catalogue/RetentionPolicy.h"

namespace vaultline::test {
namespace {

class Compaction : public CatalogueFixture {
 protected:
  bool Compact() {
    manager_.reset();
    CatalogueCompaction compaction(W(Location()), &status_);
    return compaction.Plan() && compaction.Run();
  }

  // What a compaction of the selection now would give back.
  int64_t Unreferenced() {
    manager_.reset();
    CatalogueCompaction compaction(W(Location()), nullptr);
    EXPECT_TRUE(compaction.Plan());
    return compaction.CurrentBytes() - compaction.KeptBytes();
  }

  void ExpectRestores(const std::vector<TreeImage>& images) {
    SnapshotManager& manager = Open();
    ASSERT_EQ(manager.ListSnapshots().size(), images.size());
    for (size_t i = 0; i < images.size(); ++i) {
      const fs::path target = Out() / std::to_string(i);
      fs::remove_all(target);
      fs::create_directories(target);
      ASSERT_TRUE(manager.RestoreItemUnder(static_cast<int>(i), W(Src()), L"", W(target), true))
          << i;
      EXPECT_EQ(Image(target / "src"), images[i]) << "snapshot " << i;
    }
  }
};

TEST_F(Compaction, KeptSnapshotsRestoreWholeAndNothingUnreferencedStays) {
  for (unsigned seed = 1; seed <= 4; ++seed) {
    std::mt19937 random(seed);
    fs::remove_all(root_ / "drive");
    fs::remove_all(Src());
    fs::create_directories(root_ / "drive");
    Write(Src() / "d0" / "base.txt", "base");
    std::vector<TreeImage> images;
    for (int round = 0; round < 8; ++round) {
      Change(random, round);
      ASSERT_TRUE(Backup()) << seed << "/" << round;
      images.push_back(Image(Src()));
    }
    // Forget a random half, never all.
    std::vector<size_t> forget;
    for (size_t i = 0; i + 1 < images.size(); ++i) {
      if (random() % 2 == 0) forget.push_back(i);
    }
    ASSERT_TRUE(Open().ForgetSnapshots(forget));
    for (auto i = forget.rbegin(); i != forget.rend(); ++i) images.erase(images.begin() + *i);
    ExpectRestores(images);

    const int64_t before = Unreferenced();
    ASSERT_TRUE(Compact()) << seed;
    EXPECT_TRUE(status_.problems.empty());
    EXPECT_EQ(Unreferenced(), 0) << "seed " << seed << ", " << before << " bytes were free";
    EXPECT_FALSE(fs::exists(root_ / "drive" / "compact-new"));
    ExpectRestores(images);

    // The compacted selection takes further snapshots as before.
    Change(random, 9);
    ASSERT_TRUE(Backup());
    images.push_back(Image(Src()));
    ExpectRestores(images);
  }
}

TEST_F(Compaction, ForgettingEverySnapshotLeavesEmptyFiles) {
  Write(Src() / "a.txt", std::string(20000, 'x'));
  ASSERT_TRUE(Backup());
  ASSERT_TRUE(Backup());
  ASSERT_TRUE(Open().ForgetSnapshots({0, 1}));
  ASSERT_TRUE(Compact());
  for (const char* extension : {"", ".ind", ".fp", ".dir", ".snp"}) {
    EXPECT_EQ(fs::file_size(CatalogueFile(extension)), 0u) << extension;
  }
  ASSERT_TRUE(Backup());
  ExpectRestores({Image(Src())});
}

// Unchanged snapshots point at the listings the first one wrote. Once that
// one is forgotten and compacted away, its listings must still be known by
// key, or the next backup would store the whole tree again.
TEST_F(Compaction, ListingsOfForgottenSnapshotsStayKnownToTheNextBackup) {
  for (const char* folder : {"a", "a/deep", "b"}) {
    for (int i = 0; i < 3; ++i) {
      const fs::path file = Src() / folder / std::string("f").append(std::to_string(i));
      Write(file, std::string(9000 + static_cast<size_t>(i), folder[0]));
      SetTime(file, 1000);
    }
  }
  for (const char* folder : {"a/deep", "a", "b"}) SetTime(Src() / folder, 1000);
  ASSERT_TRUE(Backup());
  Write(Src() / "b" / "f0", std::string(9000, 'B'));  // the second snapshot lists b anew
  SetTime(Src() / "b" / "f0", 2000);
  SetTime(Src() / "b", 2000);
  ASSERT_TRUE(Backup());
  ASSERT_TRUE(Backup());
  ASSERT_TRUE(Open().ForgetSnapshots({0, 1}));
  ASSERT_TRUE(Compact());
  EXPECT_EQ(Unreferenced(), 0);

  const auto content = fs::file_size(CatalogueFile(".fp"));
  const auto records = fs::file_size(CatalogueFile(".dir"));
  ASSERT_TRUE(Backup());
  EXPECT_EQ(fs::file_size(CatalogueFile(".fp")), content);
  EXPECT_EQ(fs::file_size(CatalogueFile(".dir")), records + 1072);  // the root alone
  ExpectRestores({Image(Src()), Image(Src())});
}

TEST_F(Compaction, ForgettingAnIndexOutOfRangeChangesNothing) {
  Write(Src() / "a.txt", "a");
  ASSERT_TRUE(Backup());
  const auto before = fs::file_size(CatalogueFile(".snp"));
  EXPECT_FALSE(Open().ForgetSnapshots({0, 1}));
  EXPECT_EQ(fs::file_size(CatalogueFile(".snp")), before);
  EXPECT_EQ(Open().ListSnapshots().size(), 1u);
}

TEST_F(Compaction, DamageInAKeptTreeRefusesAndChangesNothing) {
  Write(Src() / "a" / "one.txt", "one");
  Write(Src() / "a" / "two.txt", "two");
  ASSERT_TRUE(Backup());
  // Break the magic of the second record (a's first child).
  {
    std::fstream dir(CatalogueFile(".dir"), std::ios::in | std::ios::out | std::ios::binary);
    dir.seekp(1072);
    dir.write("\0\0", 2);
  }
  const auto before = fs::file_size(CatalogueFile(".dir"));
  EXPECT_FALSE(Compact());
  ASSERT_FALSE(status_.problems.empty());
  EXPECT_NE(status_.problems.back().find(L"damaged"), std::wstring::npos);
  EXPECT_EQ(fs::file_size(CatalogueFile(".dir")), before);
  EXPECT_FALSE(fs::exists(root_ / "drive" / "compact-new"));
}

// Damage in what a kept snapshot's files name: the header of a block, or a
// content record. Copied on, it would leave a compacted store that cannot
// restore them; compaction refuses, names it, and leaves every file as it was.
TEST_F(Compaction, DamagedBlockOrContentRefusesAndChangesNothing) {
  struct Damage {
    const char* file;  // the extension of the selection's file
    const wchar_t* named;
  };
  for (const Damage& damage :
       {Damage{"", L"the stored block at offset 0"}, Damage{".fp", L"the stored contents"}}) {
    SCOPED_TRACE(damage.file);
    manager_.reset();
    fs::remove_all(root_ / "drive");
    fs::create_directories(root_ / "drive");
    std::string bytes(1000, 'x');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i * 7 % 26);
    Write(Src() / "big.txt", bytes);
    ASSERT_TRUE(Backup());
    // Both files begin with a record the snapshot names.
    {
      std::fstream file(CatalogueFile(damage.file),
                        std::ios::in | std::ios::out | std::ios::binary);
      file.write("\xFF\xFF", 2);  // the magic
    }
    auto files = [&] {
      std::vector<std::string> contents;
      for (const char* extension : {"", ".ind", ".fp", ".dir", ".snp"}) {
        std::ifstream in(CatalogueFile(extension), std::ios::binary);
        contents.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      }
      return contents;
    };
    const std::vector<std::string> before = files();
    status_ = RecordingStatus();
    EXPECT_FALSE(Compact());
    ASSERT_FALSE(status_.problems.empty());
    EXPECT_NE(status_.problems.back().find(damage.named), std::wstring::npos)
        << fs::path(status_.problems.back()).string();
    EXPECT_TRUE(files() == before);
    EXPECT_FALSE(fs::exists(root_ / "drive" / "compact-new"));
  }
}

// The switch interrupted at each of its steps: the old set, or the new one.
class InterruptedSwitch : public CatalogueFixture {
 protected:
  void SetUp() override {
    CatalogueFixture::SetUp();
    switch_ = CompactionSwitch(W(Location()));
    for (const std::wstring& file : switch_.Files()) Write(file, "old");
    ASSERT_TRUE(switch_.PrepareStaging());
    for (const std::wstring& file : switch_.Files()) Write(switch_.StagedPath(file), "new");
  }
  std::string Read(const std::wstring& file) {
    std::ifstream in(fs::path(file), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void ExpectAll(const std::string& contents) {
    for (const std::wstring& file : switch_.Files()) EXPECT_EQ(Read(file), contents);
    EXPECT_FALSE(fs::exists(root_ / "drive" / "compact-new"));
    EXPECT_FALSE(fs::exists(root_ / "drive" / "compact-commit"));
  }
  CompactionSwitch switch_{L""};
};

TEST_F(InterruptedSwitch, StagedSetWithoutTheMarkerIsRolledBack) {
  ASSERT_TRUE(CompactionSwitch::Recover(W(Location())));
  ExpectAll("old");
}

// Stopped while a staged file was being replaced: its ".new" goes too, or
// the staging folder would stay for good.
TEST_F(InterruptedSwitch, AStagedFileHalfReplacedIsRolledBackToo) {
  Write(switch_.StagedPath(switch_.Files().back()) + L".new", "half");
  ASSERT_TRUE(CompactionSwitch::Recover(W(Location())));
  ExpectAll("old");
}

TEST_F(InterruptedSwitch, MarkedSetIsFinishedWhereverTheRenamesStopped) {
  for (size_t moved = 0; moved <= switch_.Files().size(); ++moved) {
    for (const std::wstring& file : switch_.Files()) Write(file, "old");
    ASSERT_TRUE(switch_.PrepareStaging());
    for (const std::wstring& file : switch_.Files()) Write(switch_.StagedPath(file), "new");
    Write(root_ / "drive" / "compact-commit", "");
    for (size_t i = 0; i < moved; ++i) {
      fs::rename(fs::path(switch_.StagedPath(switch_.Files()[i])), fs::path(switch_.Files()[i]));
    }
    ASSERT_TRUE(CompactionSwitch::Recover(W(Location()))) << moved;
    ExpectAll("new");
  }
}

TEST_F(InterruptedSwitch, CommitDropsTheSidecarsDerivedFromOldOffsets) {
  Write(CatalogueFile(".keys"), "stale");
  ASSERT_TRUE(switch_.Commit());
  ExpectAll("new");
  EXPECT_FALSE(fs::exists(CatalogueFile(".keys")));
}

// Local noon of a day, `days` after 2026-03-02 (a Monday).
int32_t Noon(int days) {
  std::tm local{};
  local.tm_year = 126;
  local.tm_mon = 2;
  local.tm_mday = 2 + days;
  local.tm_hour = 12;
  local.tm_isdst = -1;
  return static_cast<int32_t>(std::mktime(&local));
}

TEST(RetentionPolicyRule, KeepsTheNewestOfEachPeriodAndAlwaysTheNewest) {
  // Two snapshots a day for 70 days, oldest first.
  std::vector<int32_t> times;
  for (int day = 0; day < 70; ++day) {
    times.push_back(Noon(day) - 3600);
    times.push_back(Noon(day));
  }
  auto keptIndices = [&](RetentionPolicy policy) {
    std::vector<size_t> kept;
    const std::vector<bool> keeps = policy.Keeps(times);
    for (size_t i = 0; i < keeps.size(); ++i) {
      if (keeps[i]) kept.push_back(i);
    }
    return kept;
  };
  const size_t last = times.size() - 1;
  struct Case {
    RetentionPolicy policy;
    std::vector<size_t> kept;
  };
  const Case cases[] = {
      {{0, 0, 0, 0}, {last}},
      {{3, 0, 0, 0}, {last - 2, last - 1, last}},
      {{0, 3, 0, 0}, {last - 4, last - 2, last}},
      // Day 69 is a Sunday of week 9; weeks end with the Sundays 62 and 55.
      {{0, 0, 3, 0}, {2 * 55 + 1, 2 * 62 + 1, last}},
      // Months end on March 31 (day 29) and April 30 (day 59); day 69 is in May.
      {{0, 0, 0, 3}, {2 * 29 + 1, 2 * 59 + 1, last}},
      {{1, 2, 0, 0}, {last - 2, last}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(keptIndices(c.policy), c.kept) << c.policy.last << " " << c.policy.daily << " "
                                             << c.policy.weekly << " " << c.policy.monthly;
  }
}

}  // namespace
}  // namespace vaultline::test

namespace vaultline::test {
namespace {

// Every content header of the file at `path`: its extension flags and
// whether a raw one keeps its digest, walked as a restore reads them.
std::vector<std::string> Headers(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes(std::istreambuf_iterator<char>(in), {});
  std::vector<std::string> headers;
  for (size_t at = 0; at + 2072 <= bytes.size();) {
    uint16_t extension = 0, layout = 0;
    int64_t size = 0;
    std::memcpy(&extension, bytes.data() + at + 2, 2);
    std::memcpy(&size, bytes.data() + at + 1032, 8);
    std::memcpy(&layout, bytes.data() + at + 1040, 2);
    const bool digest = bytes.substr(at + 1056, 16) != std::string(16, '\0');
    headers.push_back(std::to_string(extension) + (digest ? " digest" : ""));
    at += 2072;
    for (int64_t covered = 0; layout == 1 && covered < size; at += 40) {
      int32_t length = 0;
      std::memcpy(&length, bytes.data() + at + 20, 4);
      covered += length;
    }
    if (layout == 0) at += static_cast<size_t>(size);
  }
  return headers;
}

TEST_F(Compaction, EveryHeaderKeepsItsExtensionsAndDigest) {
  Write(Src() / "small.txt", "small");
  Write(Src() / "large.bin", std::string(20000, 'l'));
  fs::create_symlink("small.txt", Src() / "link");
  ASSERT_TRUE(Backup());
  Write(Src() / "gone.txt", "forgotten");
  ASSERT_TRUE(Backup());
  const std::vector<std::string> before = Headers(CatalogueFile(".fp"));
  ASSERT_TRUE(Open().ForgetSnapshots({1}));
  manager_.reset();
  CatalogueCompaction compaction(W(Location()), &status_);
  ASSERT_TRUE(compaction.Plan() && compaction.Run());
  const std::vector<std::string> after = Headers(CatalogueFile(".fp"));
  // What snapshot 0 holds comes first and unchanged, byte for byte in its
  // extension fields.
  ASSERT_LT(after.size(), before.size());
  EXPECT_EQ(after, std::vector<std::string>(before.begin(), before.begin() + after.size()));
  EXPECT_NE(std::count(after.begin(), after.end(), "49152 digest"), 0);
}

}  // namespace
}  // namespace vaultline::test
