#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "util/Crc32.h"

namespace vaultline {
namespace {

uint32_t BitwiseCrc32(const uint8_t* p, size_t length) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < length; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc & 1) != 0 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return crc ^ 0xFFFFFFFFu;
}

TEST(Crc32, MatchesTheStandardCheckValue) {
  EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32("", 0), 0u);
}

// Every length and alignment around the eight-byte steps, and the field
// taken as zero anywhere in the record.
TEST(Crc32, AgreesWithABitwiseCrcAtEveryLengthAndAlignment) {
  std::mt19937 random(7);
  std::vector<uint8_t> bytes(1100);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  for (size_t start = 0; start < 8; ++start) {
    // Past 64 bytes the CRC is folded 16 bytes at a time where the
    // processor multiplies without carries.
    for (size_t length = 0; length < 300; ++length) {
      ASSERT_EQ(Crc32(bytes.data() + start, length), BitwiseCrc32(bytes.data() + start, length))
          << start << " " << length;
    }
  }
  for (size_t length : {size_t{1023}, size_t{1024}, size_t{1090}}) {
    ASSERT_EQ(Crc32(bytes.data() + 3, length), BitwiseCrc32(bytes.data() + 3, length)) << length;
  }
  std::vector<uint8_t> record(bytes.begin(), bytes.begin() + 1072);
  for (size_t field : {size_t{0}, size_t{3}, size_t{28}, size_t{1060}, size_t{1068}}) {
    std::vector<uint8_t> zeroed = record;
    std::fill_n(zeroed.begin() + static_cast<std::ptrdiff_t>(field), 4, 0);
    EXPECT_EQ(Crc32Without(record.data(), record.size(), field),
              BitwiseCrc32(zeroed.data(), zeroed.size()))
        << field;
  }
}

}  // namespace
}  // namespace vaultline
