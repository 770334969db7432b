#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "blockstore/Crc32.h"

namespace vaultline {
namespace {

uint32_t BitByBit(const uint8_t* p, size_t length) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < length; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc & 1) != 0 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return crc ^ 0xFFFFFFFFu;
}

TEST(Crc32Test, MatchesTheBitwiseDefinitionAtEveryLengthAndAlignment) {
  EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32("", 0), 0u);
  std::mt19937 random(7);
  std::vector<uint8_t> bytes(3000);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  for (size_t start = 0; start < 8; ++start) {
    for (size_t length : {1, 3, 7, 8, 9, 15, 16, 17, 63, 2072, 2991}) {
      ASSERT_EQ(Crc32(&bytes[start], length), BitByBit(&bytes[start], length))
          << start << " " << length;
    }
  }
}

TEST(Crc32Test, TheFieldLeftOutCountsAsZeroWhereverItIs) {
  std::vector<uint8_t> bytes(2072);
  std::mt19937 random(11);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  for (size_t field : {size_t{0}, size_t{5}, size_t{8}, size_t{1001}, bytes.size() - 4}) {
    std::vector<uint8_t> zeroed = bytes;
    std::fill_n(zeroed.begin() + static_cast<std::ptrdiff_t>(field), 4, 0);
    EXPECT_EQ(Crc32Without(bytes.data(), bytes.size(), field),
              BitByBit(zeroed.data(), zeroed.size()))
        << field;
  }
}

}  // namespace
}  // namespace vaultline
