// The store hands new blocks to a helper thread for hashing; what it writes
// must be exactly what it writes on one thread, for every kind of input.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "TestSupport.h"
#include "blockstore/BlockStore.h"
#include "blockstore/Md5.h"
#include "platform/File.h"

namespace vaultline {
namespace {

using test::Bytes;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Repeat(const Bytes& bytes, int times) {
  Bytes all;
  for (int i = 0; i < times; ++i) all.insert(all.end(), bytes.begin(), bytes.end());
  return all;
}

// Inputs meant to catch a window that matches a block still being hashed,
// in every position the matching loop distinguishes.
std::vector<Bytes> Inputs() {
  std::vector<Bytes> inputs;
  uint64_t seed = 100;
  for (size_t size :
       {0, 1, 299, 300, 301, 8191, 8192, 8193, 16383, 16384, 16385, 24575, 24576, 24577, 100000}) {
    inputs.push_back(test::RandomBytes(size, ++seed));
  }
  const Bytes a = test::RandomBytes(8192, ++seed);
  const Bytes b = test::RandomBytes(8192, ++seed);
  // The same weak checksum as `a`: +1, -2, +1 on neighbours keeps both sums.
  Bytes twin = a;
  twin[10] = static_cast<uint8_t>(twin[10] + 1);
  twin[11] = static_cast<uint8_t>(twin[11] - 2);
  twin[12] = static_cast<uint8_t>(twin[12] + 1);
  inputs.push_back(Repeat(a, 6));
  inputs.push_back(Repeat(Concat({a, b}), 5));
  inputs.push_back(Repeat(Concat({b, twin, a}), 4));
  inputs.push_back(Concat({test::RandomBytes(20 * 8192, ++seed), a, twin, a}));
  // A new block followed at once by itself or its twin: the lookup comes
  // while the block is still being hashed, many times over.
  for (int i = 0; i < 30; ++i) {
    Bytes fresh = test::RandomBytes(8192, ++seed);
    Bytes freshTwin = fresh;
    freshTwin[0] = static_cast<uint8_t>(freshTwin[0] + 1);
    freshTwin[1] = static_cast<uint8_t>(freshTwin[1] - 2);
    freshTwin[2] = static_cast<uint8_t>(freshTwin[2] + 1);
    inputs.push_back(i % 2 == 0 ? Repeat(fresh, 2) : Concat({fresh, freshTwin, fresh}));
  }
  const Bytes base = test::RandomBytes(70000, ++seed);
  for (size_t shift : {1, 100, 8191, 8192, 8193, 20000}) {
    inputs.push_back(Concat({test::RandomBytes(shift, ++seed), base}));
    Bytes cut = base;
    cut.erase(cut.begin() + 30000, cut.begin() + static_cast<ptrdiff_t>(30000 + shift));
    inputs.push_back(cut);
  }
  // Past the 1 MiB batch and the hasher's capacity, with pieces of earlier
  // inputs and of itself.
  std::mt19937_64 random(++seed);
  Bytes mixed;
  while (mixed.size() < 1600000) {
    const Bytes& from = inputs[random() % inputs.size()];
    if (from.empty() || random() % 3 == 0) {
      Bytes fresh = test::RandomBytes(1 + random() % 20000, ++seed);
      mixed.insert(mixed.end(), fresh.begin(), fresh.end());
      continue;
    }
    const size_t at = random() % from.size();
    const size_t length = std::min<size_t>(from.size() - at, 1 + random() % 30000);
    mixed.insert(mixed.end(), from.begin() + static_cast<ptrdiff_t>(at),
                 from.begin() + static_cast<ptrdiff_t>(at + length));
  }
  inputs.push_back(mixed);
  inputs.push_back(Repeat(Bytes(mixed.begin(), mixed.begin() + 300000), 3));
  // Long runs of new data are scanned partly on a helper thread, on the
  // guess that each span of a block length ends as a new block. A block
  // copied, or its twin planted, some spans later meets that guess in every
  // position: in the spans the store's thread scans, in those handed over,
  // and at their edges.
  for (int spans : {1, 2, 7, 8, 9, 15, 16, 17, 24}) {
    for (size_t shift : {0, 1, 4000, 8191}) {
      Bytes run = test::RandomBytes(48 * 8192, ++seed);
      const size_t to = (12 + static_cast<size_t>(spans)) * 8192 + shift;
      std::copy(run.begin() + 12 * 8192, run.begin() + 13 * 8192,
                run.begin() + static_cast<ptrdiff_t>(to));
      if (shift == 4000) {
        run[to + 10] = static_cast<uint8_t>(run[to + 10] + 1);
        run[to + 11] = static_cast<uint8_t>(run[to + 11] - 2);
        run[to + 12] = static_cast<uint8_t>(run[to + 12] + 1);
      }
      inputs.push_back(run);
    }
  }
  for (size_t period : {8192 * 3 + 5, 8192 * 9, 8192 * 17 - 1}) {
    inputs.push_back(Repeat(test::RandomBytes(period, ++seed), 5));
  }
  return inputs;
}

std::string HexDigestOf(const Bytes& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t byte : Md5::Of(bytes.data(), bytes.size())) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 15];
  }
  return hex;
}

class StorePipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const Bytes& input : Inputs()) {
      paths_.push_back((sources_.path() / std::to_string(paths_.size())).wstring());
      test::WriteAll(paths_.back(), input);
    }
  }

  // The data, ".ind" and ".fp" files after storing every input twice (the
  // second round matches what the first stored).
  std::vector<Bytes> StoreAll(bool threaded) {
    std::vector<Bytes> files;
    test::TempFolder folder;
    int fd = platform::OpenFile((folder / "s.fp").wstring(), platform::OpenMode::kReadWriteStore);
    {
      BlockStore store((folder / "s").wstring(), 163840, 8192, threaded);
      StoreContext context;
      store.AttachManager(&context);
      for (int round = 0; round < 2; ++round) {
        for (const std::wstring& path : paths_) EXPECT_GE(store.StoreFile(path, fd), 0);
      }
      // Records still waiting for digests are written as the store ends.
    }
    platform::CloseFile(fd);
    for (const char* name : {"s", "s.ind", "s.fp"}) files.push_back(test::ReadAll(folder / name));
    return files;
  }

  // How the blocks stored before a file are found when each file is stored
  // by a store of its own.
  enum class Lookup { kKept, kRemoved, kLeftBehind };

  // As StoreAll, with a store opened for each file, so that every block
  // stored before it is found through the lookup file, through one made
  // again from the index (removed) or one caught up (left behind: an older
  // copy put back).
  std::vector<Bytes> StorePerFile(bool threaded, Lookup lookup) {
    std::vector<Bytes> files;
    test::TempFolder folder;
    const std::filesystem::path lookupPath = folder / "s.lookup";
    int fd = platform::OpenFile((folder / "s.fp").wstring(), platform::OpenMode::kReadWriteStore);
    Bytes older;
    for (int round = 0; round < 2; ++round) {
      for (size_t i = 0; i < paths_.size(); ++i) {
        {
          BlockStore store((folder / "s").wstring(), 163840, 8192, threaded);
          StoreContext context;
          store.AttachManager(&context);
          EXPECT_GE(store.StoreFile(paths_[i], fd), 0);
        }
        if (lookup == Lookup::kRemoved) std::filesystem::remove(lookupPath);
        if (lookup == Lookup::kLeftBehind && i % 7 == 3) older = test::ReadAll(lookupPath);
        if (lookup == Lookup::kLeftBehind && i % 7 == 6) test::WriteAll(lookupPath, older);
      }
    }
    platform::CloseFile(fd);
    for (const char* name : {"s", "s.ind", "s.fp"}) files.push_back(test::ReadAll(folder / name));
    return files;
  }

  test::TempFolder sources_;
  std::vector<std::wstring> paths_;
};

TEST_F(StorePipelineTest, AHelperThreadWritesTheSameBytesAsOneThread) {
  const std::vector<Bytes> expected = StoreAll(false);
  for (const Bytes& file : expected) EXPECT_GT(file.size(), 0u);
  // Which lookups meet a block still being hashed depends on timing, so the
  // threaded store runs a few times against the single-threaded one.
  for (int run = 0; run < 3; ++run) {
    const std::vector<Bytes> files = StoreAll(true);
    for (size_t i = 0; i < files.size(); ++i) EXPECT_TRUE(files[i] == expected[i]) << "file " << i;
  }
}

// What the scan writes, rolling the checksum one window at a time and
// probing the filter once per window. A faster scan (windows computed or
// probed many at a time, on other threads) must find exactly the same
// matches, so it writes the same blocks and index records. (The ".fp" file
// holds the temporary names.)
TEST_F(StorePipelineTest, AnyScanWritesWhatTheRollingScanWrote) {
  const std::vector<Bytes> files = StoreAll(false);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(HexDigestOf(files[0]), "259d8e89319162805661e270bfba6d70");
  EXPECT_EQ(HexDigestOf(files[1]), "a481a21d20f0d77842ebc140f422f7fb");
}

// Blocks stored by earlier backups are found through their anchors, not by
// looking every window up: the bytes written must be those of one store
// that looked every window up among every block, whatever became of the
// sound lookup file in between.
TEST_F(StorePipelineTest, AStoreOpenedForEachFileWritesWhatOneStoreWrote) {
  const std::vector<Bytes> expected = StoreAll(false);
  for (bool threaded : {false, true}) {
    for (Lookup lookup : {Lookup::kKept, Lookup::kRemoved, Lookup::kLeftBehind}) {
      if (threaded && lookup != Lookup::kKept) continue;  // the same paths, timed differently
      const std::vector<Bytes> files = StorePerFile(threaded, lookup);
      for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_TRUE(files[i] == expected[i])
            << "file " << i << (threaded ? " threaded" : "") << " lookup " << int(lookup);
      }
    }
  }
}

}  // namespace
}  // namespace vaultline
