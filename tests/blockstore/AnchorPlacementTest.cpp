// The scan asks the filter only about windows that no anchor places: those
// without an anchor, and those whose first anchor has a common key. Blocks
// of just those kinds, copied among new data, must be found exactly where a
// store that looks every window up finds them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "blockstore/BlockAnchor.h"
#include "blockstore/BlockStore.h"
#include "blockstore/LookupFile.h"
#include "blockstore/Md5.h"
#include "platform/File.h"

namespace vaultline {
namespace {

using test::Bytes;
constexpr int32_t kBlock = 8192;

void Append(Bytes* to, const Bytes& bytes) {
  to->insert(to->end(), bytes.begin(), bytes.end());
}

// `length` bytes repeating a random pattern of `period` bytes, chosen so
// that a block of them has no anchor.
Bytes Periodic(size_t period, size_t length, uint64_t seed = 1) {
  for (;; ++seed) {
    const Bytes pattern = test::RandomBytes(period, seed * 31 + period);
    Bytes bytes(std::max<size_t>(length, kBlock));
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = pattern[i % period];
    int32_t offset;
    uint32_t key;
    if (!block_anchor::FindInBlock(bytes.data(), kBlock, &offset, &key)) {
      bytes.resize(length);
      return bytes;
    }
  }
}

class AnchorPlacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const Bytes filler = Periodic(31, 4 * kBlock);
    const Bytes plain = Periodic(29, kBlock);  // a block without an anchor
    // A phrase with an anchor, at many offsets in blocks of filler: one key
    // for all of them, too common to place them by.
    Bytes phrase;
    for (uint64_t seed = 1; phrase.empty(); ++seed) {
      Bytes candidate = test::RandomBytes(1024, seed);
      int32_t offset;
      if (block_anchor::FindInBlock(candidate.data(), 1024, &offset, &key_) && offset > 100) {
        phrase = candidate;
      }
    }
    // Each its own filler, the same bytes before the phrase: every block
    // has the phrase's anchor first, and none is a window of another.
    const Bytes lead = Periodic(31, 100);
    std::vector<Bytes> common;
    for (size_t i = 0; i < 12; ++i) {
      for (uint64_t seed = 1;; ++seed) {
        const size_t before = 100 + 397 * i;
        const Bytes own = Periodic(37 + 2 * i, kBlock, seed);
        Bytes block(own.begin(), own.begin() + static_cast<ptrdiff_t>(before - lead.size()));
        Append(&block, lead);
        Append(&block, phrase);
        block.insert(block.end(), own.begin(), own.begin() + (kBlock - block.size()));
        int32_t offset;
        uint32_t key;
        if (block_anchor::FindInBlock(block.data(), kBlock, &offset, &key) && key == key_) {
          common.push_back(block);
          break;
        }
      }
    }
    Bytes first;
    for (const Bytes& block : common) Append(&first, block);
    Append(&first, plain);
    Append(&first, test::RandomBytes(30000, 1000));
    // Copies among new data with anchors, among filler without, at odd
    // offsets, and a phrase block's twin shifted by a byte.
    uint64_t seed = 2000;
    Bytes second = test::RandomBytes(5000, ++seed);
    Append(&second, common[10]);
    Append(&second, test::RandomBytes(3001, ++seed));
    Append(&second, plain);
    Append(&second, Bytes(filler.begin(), filler.begin() + 20000));
    Append(&second, common[3]);
    Append(&second, test::RandomBytes(777, ++seed));
    Append(&second, Bytes(common[5].begin() + 1, common[5].end()));
    Append(&second, test::RandomBytes(20000, ++seed));
    Bytes third = Bytes(filler.begin(), filler.begin() + 12345);
    Append(&third, plain);
    Append(&third, common[0]);
    Append(&third, Bytes(plain.begin(), plain.begin() + 5000));
    Append(&third, test::RandomBytes(9000, ++seed));
    Append(&third, common[11]);
    for (const Bytes& input : {first, second, third, second}) {
      paths_.push_back((sources_ / std::to_string(paths_.size())).wstring());
      test::WriteAll(paths_.back(), input);
    }
    copies_ = {common[10], plain, common[3]};
  }

  // The data, index and content files after storing the inputs, with one
  // store for all of them or one for each; `lookup` false: the store cannot
  // make its lookup file and looks every window up in memory.
  std::vector<Bytes> Store(bool oneStore, bool threaded, bool lookup) {
    test::TempFolder folder;
    if (!lookup) std::filesystem::create_directory(folder / "s.lookup");
    int fd = platform::OpenFile((folder / "s.fp").wstring(), platform::OpenMode::kReadWriteStore);
    {
      std::unique_ptr<BlockStore> store;
      StoreContext context;
      for (const std::wstring& path : paths_) {
        if (store == nullptr || !oneStore) {
          store.reset();
          store = std::make_unique<BlockStore>((folder / "s").wstring(), 163840, kBlock, threaded);
          store->AttachManager(&context);
        }
        EXPECT_GE(store->StoreFile(path, fd), 0);
      }
    }
    platform::CloseFile(fd);
    if (lookup && !oneStore) {
      LookupFile file((folder / "s.lookup").wstring());
      EXPECT_TRUE(file.Open());
      EXPECT_TRUE(file.CommonKeys().Contains(key_));
    }
    std::vector<Bytes> files;
    for (const char* name : {"s", "s.ind", "s.fp"}) files.push_back(test::ReadAll(folder / name));
    return files;
  }

  test::TempFolder sources_;
  std::vector<std::wstring> paths_;
  std::vector<Bytes> copies_;
  uint32_t key_ = 0;
};

TEST_F(AnchorPlacementTest, BlocksTheFilterHoldsAreFoundWhereEveryWindowIsLookedUp) {
  const std::vector<Bytes> expected = Store(true, false, false);
  // Each copied block is in the content records where it was stored and
  // again where a copy was matched.
  for (const Bytes& block : copies_) {
    const Md5Digest digest = Md5::Of(block.data(), block.size());
    int found = 0;
    for (auto at = expected[2].begin(); (at = std::search(at, expected[2].end(), digest.begin(),
                                                          digest.end())) != expected[2].end();
         ++at) {
      ++found;
    }
    EXPECT_GE(found, 2);
  }
  for (bool oneStore : {true, false}) {
    for (bool threaded : {false, true}) {
      const std::vector<Bytes> files = Store(oneStore, threaded, true);
      for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_TRUE(files[i] == expected[i])
            << "file " << i << (oneStore ? " one store" : " a store each")
            << (threaded ? " threaded" : "");
      }
    }
  }
}

}  // namespace
}  // namespace vaultline
