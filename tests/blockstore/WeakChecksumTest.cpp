#include <gtest/gtest.h>

#include <cstring>

#include "TestSupport.h"
#include "blockstore/BlockMap.h"
#include "blockstore/WeakChecksum.h"

namespace vaultline {
namespace {

int32_t ChecksumOf(const char* text, size_t length) {
  return WeakChecksum::Of(reinterpret_cast<const uint8_t*>(text), length).Value();
}

TEST(WeakChecksumTest, KnownValuesAndOneRollingStep) {
  EXPECT_EQ(ChecksumOf("abc", 3), 0x024A0126);
  EXPECT_EQ(static_cast<uint32_t>(ChecksumOf("\x80\x01", 2)), 0xFF01FF81u);
  EXPECT_EQ(ChecksumOf("abcd", 4), 0x03D4018A);
  WeakChecksum sum = WeakChecksum::Of(reinterpret_cast<const uint8_t*>("abcd"), 4);
  sum.Roll('a', 'e', 4);
  EXPECT_EQ(sum.Value(), 0x03DE018E);
  EXPECT_EQ(sum.Value(), ChecksumOf("bcde", 4));
}

TEST(WeakChecksumTest, SummingManyBytesAtOnceEqualsSummingOneAtATime) {
  test::Bytes bytes = test::RandomBytes(9000, 11);
  for (size_t length : {size_t{0}, size_t{1}, size_t{15}, size_t{16}, size_t{17}, size_t{31},
                        size_t{32}, size_t{33}, size_t{48}, size_t{63}, size_t{64}, size_t{100},
                        size_t{8191}, size_t{8192}, size_t{9000}}) {
    uint32_t a = 0, b = 0;
    for (size_t i = 0; i < length; ++i) {
      a += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(bytes[i])));
      b += a;
    }
    EXPECT_EQ(WeakChecksum::Of(bytes.data(), length).Value(), WeakChecksum::Compose(a, b))
        << length;
  }
  // Every byte 0x80 (-128): the sums wrap below zero at once.
  test::Bytes low(8192, 0x80);
  EXPECT_EQ(WeakChecksum::Of(low.data(), low.size()).Value(),
            WeakChecksum::Compose(static_cast<uint32_t>(-128 * 8192),
                                  static_cast<uint32_t>(-128LL * 8192 * 8193 / 2)));
  // Every byte 0x7F: the largest weighted pairs the vector sums meet.
  test::Bytes high(8192, 0x7F);
  EXPECT_EQ(WeakChecksum::Of(high.data(), high.size()).Value(),
            WeakChecksum::Compose(static_cast<uint32_t>(127 * 8192),
                                  static_cast<uint32_t>(127LL * 8192 * 8193 / 2)));
}

TEST(WeakChecksumTest, RollingAroundTheRingEqualsComputingAfresh) {
  // A small ring, so that windows wrap and both halves are crossed often.
  RingBuffer ring(4096);
  test::Bytes bytes = test::RandomBytes(4096, 3);
  std::memcpy(ring.Data(), bytes.data(), bytes.size());
  for (int32_t length : {1, 2, 1000, 4095}) {
    WeakChecksum sum = WeakChecksum::Of(ring, 4000, length);
    for (int32_t start = 4001; start < 4001 + 5000; ++start) {
      sum.Roll(ring.ByteAt(start - 1), ring.ByteAt(static_cast<int64_t>(start) + length - 1),
               length);
      ASSERT_EQ(sum.Value(), WeakChecksum::Of(ring, ring.Wrap(start), length).Value())
          << length << " at " << start;
    }
  }
}

TEST(BlockMapTest, TheFirstPositionOfAPairWinsAndEqualChecksumsShareAList) {
  BlockMap map;
  Md5Digest first{}, second{};
  second[0] = 1;
  EXPECT_TRUE(map.Add(-7, first, 100));
  EXPECT_FALSE(map.Add(-7, first, 200));
  EXPECT_TRUE(map.Add(-7, second, 300));
  std::vector<KnownBlock> list = map.ListOf(-7);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].position, 100);
  EXPECT_EQ(list[1].position, 300);
  EXPECT_EQ(map.First(7), -1);
}

TEST(BlockMapTest, TheFilterNeverHidesAKnownChecksumAsItGrows) {
  BlockMap map;
  const size_t startBits = map.FilterBits();
  Md5Digest digest{};
  // Clustered checksums, as real data gives them: only the high half varies.
  for (int32_t i = 0; i < 200000; ++i) map.Add(i << 16, digest, i);
  EXPECT_GT(map.FilterBits(), startBits);
  EXPECT_LE(map.FilterBits(), size_t{1} << 23);
  for (int32_t i = 0; i < 200000; ++i) ASSERT_TRUE(map.MayContain(i << 16)) << i;
  // Misses are mostly turned away by the filter alone.
  int passed = 0;
  for (int32_t i = 0; i < 100000; ++i) passed += map.MayContain(i * 2 + 1);
  EXPECT_LT(passed, 500);
}

}  // namespace
}  // namespace vaultline
