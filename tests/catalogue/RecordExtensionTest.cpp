// The exact time and permission bits a directory record carries beside the
// plain layout's 32-bit seconds.
#include <gtest/gtest.h>

#include "catalogue/RecordExtension.h"

namespace vaultline {
namespace {

DirEntry Recorded(uint16_t permissions, ExactTime time) {
  const RecordExtension extension = EncodeExtension(permissions, time);
  DirEntry entry;
  entry.extension = extension.extension | kDirExtended;
  entry.timeExtra = extension.timeExtra;
  entry.modifyTime = LowSeconds(RecordableTime(time).seconds);
  return entry;
}

TEST(RecordExtensionTest, TimesComeBackExactlyAcrossEras) {
  const struct {
    const char* what;
    int64_t seconds;
    uint32_t nanoseconds;
  } cases[] = {
      {"1970", 0, 0},
      {"nanoseconds", 1'700'000'000, 123'456'789},
      {"last second of 2038's range", INT32_MAX, 999'999'999},
      {"first second after it", int64_t{INT32_MAX} + 1, 0},
      {"2040", 2'208'988'800, 1},
      {"1960", -315'619'200, 500'000'000},
      {"1901", INT32_MIN, 0},
      {"1900", -2'208'988'800, 7},
      {"1630, earliest", -2 * (int64_t{1} << 32) + INT32_MIN, 0},
      {"2174, latest", (int64_t{1} << 32) + INT32_MAX, 999'999'999},
  };
  for (const auto& c : cases) {
    const DirEntry entry = Recorded(0640, ExactTime{c.seconds, c.nanoseconds});
    const ExactTime back = DecodeTime(entry);
    EXPECT_EQ(back.seconds, c.seconds) << c.what;
    EXPECT_EQ(back.nanoseconds, c.nanoseconds) << c.what;
    // A reader of the plain layout still finds the low 32 bits.
    EXPECT_EQ(entry.modifyTime, static_cast<int32_t>(static_cast<uint32_t>(c.seconds))) << c.what;
    EXPECT_EQ(entry.timeExtra & 0x3FFFFFFF, c.nanoseconds) << c.what;
  }
}

TEST(RecordExtensionTest, TimesOutsideTheErasBecomeTheNearestEnd) {
  const ExactTime late = DecodeTime(Recorded(0, ExactTime{int64_t{1} << 40, 5}));
  EXPECT_EQ(late.seconds, (int64_t{1} << 32) + INT32_MAX);
  EXPECT_EQ(late.nanoseconds, 999'999'999u);
  const ExactTime early = DecodeTime(Recorded(0, ExactTime{-(int64_t{1} << 40), 5}));
  EXPECT_EQ(early.seconds, -2 * (int64_t{1} << 32) + INT32_MIN);
  EXPECT_EQ(early.nanoseconds, 0u);
}

TEST(RecordExtensionTest, PermissionBitsAndPlainRecords) {
  const DirEntry entry = Recorded(0755, ExactTime{1, 0});
  EXPECT_TRUE(HasPermissions(entry));
  EXPECT_EQ(PermissionsOf(entry), 0755);
  EXPECT_EQ(entry.extension & 0x1E00, 0);  // bits 9-12 stay zero
  EXPECT_EQ(PermissionsOf(Recorded(04777, ExactTime{})), 0777);

  DirEntry plain;
  plain.modifyTime = -5;
  plain.timeExtra = 0xFFFFFFFF;  // ignored without the flag
  EXPECT_FALSE(HasPermissions(plain));
  EXPECT_EQ(DecodeTime(plain).seconds, -5);
  EXPECT_EQ(DecodeTime(plain).nanoseconds, 0u);

  // The checksum flag is no part of an item's state; mode and time are.
  RecordExtension a = EncodeExtension(0600, ExactTime{10, 1});
  RecordExtension b = a;
  b.extension |= kDirExtended;
  EXPECT_TRUE(a.SameState(b));
  EXPECT_FALSE(a.SameState(EncodeExtension(0644, ExactTime{10, 1})));
  EXPECT_FALSE(a.SameState(EncodeExtension(0600, ExactTime{10, 2})));
  EXPECT_FALSE(a.SameState(EncodeExtension(0600, ExactTime{10 + (int64_t{1} << 32), 1})));
}

}  // namespace
}  // namespace vaultline
