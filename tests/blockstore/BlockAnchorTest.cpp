// Anchors decide which stored blocks a backup can find again: the finder
// fed in any pieces must find what the rule gives, and a block's anchor
// must be found wherever the block occurs.
#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"
#include "blockstore/BlockAnchor.h"
#include "util/ByteOrder.h"

namespace vaultline {
namespace {

using test::Bytes;

// The rule, one position at a time.
std::vector<Anchor> AnchorsByRule(const Bytes& data) {
  std::vector<Anchor> anchors;
  int64_t lastPass = -100;
  for (size_t r = 0; r + block_anchor::kKeyed <= data.size(); ++r) {
    const uint32_t mixed =
        LoadLe32(&data[r]) * 0x9E3779B1u + LoadLe32(&data[r + 4]) * 0x85EBCA77u + 0x165667B1u;
    if ((mixed >> 23) != 0) continue;
    const auto position = static_cast<int64_t>(r);
    if (position >= 63 && position - lastPass > 63) {
      anchors.push_back({position, block_anchor::KeyAt(&data[r])});
    }
    lastPass = position;
  }
  return anchors;
}

std::vector<Anchor> FedInPieces(const Bytes& data, uint64_t seed) {
  AnchorFinder finder;
  std::mt19937_64 random(seed);
  for (size_t at = 0; at < data.size();) {
    const size_t piece =
        std::min<size_t>(data.size() - at, random() % 3 == 0 ? random() % 70 : random() % 40000);
    finder.Feed(data.data() + at, piece);
    at += piece;
  }
  std::vector<Anchor> anchors;
  finder.Take(&anchors);
  return anchors;
}

TEST(BlockAnchorTest, TheFinderFindsWhatTheRuleGivesHoweverTheDataIsFed) {
  // Random data; runs of one byte and of a short pattern, where every
  // position passes or none does; the edges of pieces.
  std::vector<Bytes> inputs = {test::RandomBytes(300000, 1), Bytes(5000, 0), Bytes(200, 7)};
  Bytes mixed = test::RandomBytes(50000, 2);
  for (int i = 0; i < 20; ++i) {
    Bytes run(1000 + 97 * static_cast<size_t>(i), static_cast<uint8_t>(i * 13));
    mixed.insert(mixed.end(), run.begin(), run.end());
    Bytes more = test::RandomBytes(3000, 3 + static_cast<uint64_t>(i));
    mixed.insert(mixed.end(), more.begin(), more.end());
  }
  inputs.push_back(mixed);
  for (const Bytes& input : inputs) {
    const std::vector<Anchor> expected = AnchorsByRule(input);
    for (uint64_t seed : {1, 2, 3}) EXPECT_EQ(FedInPieces(input, seed), expected);
  }
  // About one position in 512 passes on random data.
  const size_t found = AnchorsByRule(inputs[0]).size();
  EXPECT_GT(found, 300000u / 700);
  EXPECT_LT(found, 300000u / 400);
}

TEST(BlockAnchorTest, ABlockHasItsAnchorWhereverItOccurs) {
  std::mt19937_64 random(5);
  int anchored = 0;
  for (int i = 0; i < 200; ++i) {
    const size_t length = i % 4 == 0 ? 100 + random() % 600 : 8192;
    const Bytes block = test::RandomBytes(length, 100 + static_cast<uint64_t>(i));
    int32_t offset;
    uint32_t key;
    if (!block_anchor::FindInBlock(block.data(), static_cast<int32_t>(length), &offset, &key)) {
      continue;
    }
    ++anchored;
    EXPECT_GE(offset, 63);
    EXPECT_LE(static_cast<size_t>(offset) + 64, length);
    // The block after any bytes at all, and followed by others.
    Bytes data = test::RandomBytes(random() % 20000, 1000 + static_cast<uint64_t>(i));
    const auto at = static_cast<int64_t>(data.size());
    data.insert(data.end(), block.begin(), block.end());
    const Bytes after = test::RandomBytes(random() % 100, 2000 + static_cast<uint64_t>(i));
    data.insert(data.end(), after.begin(), after.end());
    const std::vector<Anchor> anchors = FedInPieces(data, static_cast<uint64_t>(i));
    EXPECT_NE(std::find(anchors.begin(), anchors.end(), Anchor{at + offset, key}), anchors.end())
        << "block " << i;
  }
  EXPECT_GT(anchored, 140);  // nearly every block of 8192 bytes has one
  // Blocks too short, and blocks of one repeated byte, have none.
  int32_t offset;
  uint32_t key;
  EXPECT_FALSE(block_anchor::FindInBlock(Bytes(126, 1).data(), 126, &offset, &key));
  for (int value : {0, 1, 0x20, 0xFF}) {
    const Bytes same(8192, static_cast<uint8_t>(value));
    EXPECT_FALSE(block_anchor::FindInBlock(same.data(), 8192, &offset, &key));
  }
}

}  // namespace
}  // namespace vaultline
