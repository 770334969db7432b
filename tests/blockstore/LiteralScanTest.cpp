#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "TestSupport.h"
#include "blockstore/LiteralScan.h"

namespace vaultline {
namespace {

// A map whose filter knows the checksums of `every`-th window of `bytes`,
// and some unrelated ones, so that scans stop at known places and at false
// hits alike.
BlockMap MapKnowing(const test::Bytes& bytes, int32_t length, int every, uint64_t seed) {
  BlockMap map;
  std::mt19937_64 random(seed);
  Md5Digest digest{};
  WeakChecksum sum = WeakChecksum::Of(bytes.data(), static_cast<size_t>(length));
  for (size_t start = 1; start + static_cast<size_t>(length) <= bytes.size(); ++start) {
    sum.Roll(static_cast<int8_t>(bytes[start - 1]),
             static_cast<int8_t>(bytes[start + static_cast<size_t>(length) - 1]), length);
    if (random() % static_cast<uint64_t>(every) == 0) map.Add(sum.Value(), digest, 0);
  }
  for (int i = 0; i < 20000; ++i) map.Add(static_cast<int32_t>(random()), digest, 0);
  return map;
}

TEST(LiteralScanTest, EveryScanStopsWhereTheSimpleOneStops) {
  // Text-like bytes (high bit clear) and random ones, whose signed values
  // exercise the sums' sign extension.
  for (bool text : {false, true}) {
    test::Bytes bytes = test::RandomBytes(200000, text ? 5 : 6);
    if (text) {
      for (uint8_t& byte : bytes) byte = static_cast<uint8_t>('a' + byte % 26);
    }
    for (int32_t length : {8192, 300, 17}) {
      for (int every : {400, 5000}) {
        const BlockMap map =
            MapKnowing(bytes, length, every, static_cast<uint64_t>(every + length));
        for (LiteralRunScan scan : LiteralRunScans()) {
          const WeakChecksum first = WeakChecksum::Of(bytes.data(), static_cast<size_t>(length));
          uint32_t simpleA = first.A(), simpleB = first.B();
          uint32_t fastA = simpleA, fastB = simpleB;
          // Runs of every length around the sixteen or thirty-two windows taken
          // at once.
          std::mt19937 random(static_cast<uint32_t>(length));
          size_t entering = static_cast<size_t>(length);
          int stops = 0;
          while (entering < bytes.size()) {
            const int32_t count = static_cast<int32_t>(std::min<size_t>(
                random() % 70 + (random() % 4 == 0 ? 3000 : 0), bytes.size() - entering));
            const int8_t* in = reinterpret_cast<const int8_t*>(bytes.data() + entering);
            const int8_t* out = in - length;
            const int32_t simple = ScanLiteralRun(
                map, in, out, count, static_cast<uint32_t>(length), &simpleA, &simpleB);
            const int32_t fast =
                scan(map, in, out, count, static_cast<uint32_t>(length), &fastA, &fastB);
            ASSERT_EQ(fast, simple) << "at " << entering << ", length " << length;
            ASSERT_EQ(WeakChecksum::Compose(fastA, fastB), WeakChecksum::Compose(simpleA, simpleB))
                << "at " << entering << ", length " << length;
            stops += simple < count;
            entering += static_cast<size_t>(simple < count ? simple + 1 : count);
            if (simple < count) {
              // The caller rolls on from the window returned.
              fastA = simpleA;
              fastB = simpleB;
            }
          }
          EXPECT_GT(stops, 10) << length << " " << every;
        }
      }
    }
  }
}

TEST(LiteralScanTest, PassingLiteralsAroundTheRingAgreesWithRollingByteByByte) {
  RingBuffer ring(4096);
  test::Bytes bytes = test::RandomBytes(4096, 9);
  std::memcpy(ring.Data(), bytes.data(), bytes.size());
  const int32_t length = 1000;
  BlockMap map;
  Md5Digest digest{};
  // A window that wraps: the pass must stop at it.
  const int32_t target = 3500;
  map.Add(WeakChecksum::Of(ring, target, length).Value(), digest, 0);
  for (int32_t start : {10, 3000, 3400}) {
    WeakChecksum sum = WeakChecksum::Of(ring, ring.Wrap(start - 1), length);
    WeakChecksum rolled = sum;
    bool hit = false;
    const int64_t passed = PassLiterals(map, ring, start, length, 4000, &sum, &hit);
    int64_t expected = 0;
    for (; expected < 4000; ++expected) {
      const int64_t at = start + expected;
      rolled.Roll(ring.ByteAt(at - 1), ring.ByteAt(at + length - 1), length);
      if (map.MayContain(rolled.Value())) break;
    }
    EXPECT_EQ(passed, expected) << start;
    EXPECT_EQ(hit, expected < 4000) << start;
    EXPECT_EQ(sum.Value(), rolled.Value()) << start;
    if (ring.Wrap(start + passed) == target) {
      EXPECT_TRUE(hit);
    }
  }
}

}  // namespace
}  // namespace vaultline
