#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <vector>

#include "TestSupport.h"
#include "blockstore/LookupFile.h"
#include "util/ThreadPlan.h"

namespace vaultline {
namespace {

using Entered = std::set<std::pair<uint32_t, uint32_t>>;  // key and record

Entered Found(const LookupFile& lookup, const Entered& entered) {
  Entered found;
  std::set<uint32_t> keys;
  for (const auto& [key, record] : entered) keys.insert(key);
  for (const uint32_t key : keys) {
    lookup.Table().ForEach(key, [&](const AnchoredBlock& block) {
      found.emplace(block.key, block.record);
      EXPECT_EQ(block.weakChecksum, static_cast<int32_t>(block.record * 7));
      EXPECT_EQ(block.offset, block.record % 8000);
    });
  }
  return found;
}

AnchoredBlock BlockOf(uint32_t key, uint32_t record) {
  return {key, static_cast<int32_t>(record * 7), record, static_cast<uint16_t>(record % 8000)};
}

// The tags of a stored table are read as look-ups reach them or, where
// look-ups are dense, by a helper ahead of them (while the table grows, is
// saved and is replaced under it): the same blocks are found either way.
class LookupFileReading : public ::testing::TestWithParam<bool> {
 protected:
  ThreadPlan* Threads() { return GetParam() ? threads_.get() : nullptr; }
  // Opens the file; read behind, the helper starts at once.
  bool Open(LookupFile& lookup) {
    if (!lookup.Open()) return false;
    lookup.ExpectLookups(UINT32_MAX);
    return true;
  }

 private:
  std::unique_ptr<ThreadPlan> threads_ = std::make_unique<ThreadPlan>(true);
};

INSTANTIATE_TEST_SUITE_P(OnDemandAndBehind, LookupFileReading, ::testing::Bool());

// Every block entered is found under its key after the table grew, however
// the keys fall: spread out, crowded at the table's end (whose probes wrap
// round to its start), many under one key, and entered one by one or
// waiting for the save, across sessions.
TEST_P(LookupFileReading, EveryBlockIsFoundAfterTheTableGrew) {
  test::TempFolder folder;
  const std::wstring path = (folder / "s.lookup").wstring();
  std::mt19937 random(7);
  Entered entered;
  std::vector<uint32_t> keys;
  uint32_t record = 0;
  // Sessions that grow the table, then a few blocks entered in order
  // through a window, then a few one by one.
  const int blocksOf[] = {20000, 40000, 80000, 500, 40};
  for (int session = 0; session < 5; ++session) {
    LookupFile lookup(path, Threads());
    if (session == 0) {
      ASSERT_TRUE(lookup.Create(10));
    } else {
      ASSERT_TRUE(Open(lookup)) << session;
      ASSERT_EQ(lookup.Covered().records, record);
    }
    for (int i = 0; i < blocksOf[session]; ++i, ++record) {
      uint32_t key = random();
      if (i % 50 == 1) key = 0xFFFFFFFFu - random() % (1u << 28);           // near the end: wraps
      if (i % 499 == 2) key = 0x12345678u;                                  // a common phrase
      if (i % 7 == 3 && !keys.empty()) key = keys[random() % keys.size()];  // shared
      keys.push_back(key);
      entered.emplace(key, record);
      if (i % 2 == 0) {
        lookup.AddAnchored(BlockOf(key, record));
      } else {
        lookup.AddStored(BlockOf(key, record));
      }
    }
    ASSERT_TRUE(lookup.Save({record, 0}));
    ASSERT_TRUE(lookup.IsOpen());
    EXPECT_EQ(Found(lookup, entered), entered) << session;
  }
}

// Tags are read as look-ups reach them. A stretch that can no longer be read
// (the file cut short under the open store) answers nothing wrong, and the
// file is given up rather than written back over slots it no longer knows.
TEST_P(LookupFileReading, TagsThatCannotBeReadGiveTheFileUp) {
  test::TempFolder folder;
  const std::wstring path = (folder / "s.lookup").wstring();
  Entered entered;
  {
    LookupFile lookup(path);
    ASSERT_TRUE(lookup.Create(100000));
    for (uint32_t record = 0; record < 100000; ++record) {
      const uint32_t key = record * 2654435761u;
      entered.emplace(key, record);
      lookup.AddStored(BlockOf(key, record));
    }
    ASSERT_TRUE(lookup.Save({100000, 0}));
  }
  LookupFile lookup(path, Threads());
  ASSERT_TRUE(lookup.Open());
  std::filesystem::resize_file(folder / "s.lookup", 4096 + 40000);
  lookup.ExpectLookups(UINT32_MAX);
  const Entered found = Found(lookup, entered);
  EXPECT_TRUE(std::includes(entered.begin(), entered.end(), found.begin(), found.end()));
  EXPECT_LT(found.size(), entered.size());
  lookup.AddAnchored(BlockOf(7, 100000));
  EXPECT_FALSE(lookup.IsOpen());
  EXPECT_FALSE(lookup.Save({100001, 0}));
  EXPECT_FALSE(std::filesystem::exists(folder / "s.lookup"));
}

// A key held by more blocks than a look-up probes slots for: those that find
// no room are listed among the blocks held by weak checksum, under a common
// key, and stay so in the file; none is lost.
TEST(LookupFileTest, BlocksCrowdedOutOfTheTableAreListedUnderACommonKey) {
  test::TempFolder folder;
  const std::wstring path = (folder / "s.lookup").wstring();
  Entered entered;
  std::set<uint32_t> crowded;
  {
    LookupFile lookup(path);
    ASSERT_TRUE(lookup.Create(10));
    for (uint32_t record = 0; record < 5000; ++record) {
      const uint32_t key = record % 500 == 7 ? record : 0xABCDEF;
      entered.emplace(key, record);
      if (record % 3 == 0) {
        lookup.AddAnchored(BlockOf(key, record));
      } else {
        lookup.AddStored(BlockOf(key, record));
      }
      if (record % 1000 == 999) {
        ASSERT_TRUE(lookup.Save({record + 1, 0}));
        for (const uint32_t taken : lookup.TakeCrowded()) crowded.insert(taken);
      }
    }
    lookup.AddCommonKey(77);
    ASSERT_TRUE(lookup.Save({5000, 0}));
  }
  LookupFile lookup(path);
  ASSERT_TRUE(lookup.Open());
  EXPECT_GT(crowded.size(), 500u);
  EXPECT_EQ(std::set<uint32_t>(lookup.Anchorless().begin(), lookup.Anchorless().end()), crowded);
  EXPECT_TRUE(lookup.CommonKeys().Contains(0xABCDEF));
  EXPECT_TRUE(lookup.CommonKeys().Contains(77));
  EXPECT_FALSE(lookup.CommonKeys().Contains(7));
  Entered found = Found(lookup, entered);
  for (const uint32_t record : crowded) found.emplace(0xABCDEF, record);
  EXPECT_EQ(found, entered);
}

}  // namespace
}  // namespace vaultline
