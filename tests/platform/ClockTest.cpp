#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/Clock.h"

namespace vaultline::platform {
namespace {

class CtimeTextInUtc : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* zone = std::getenv("TZ")) saved_ = zone;
    ::setenv("TZ", "UTC", 1);
  }
  void TearDown() override {
    if (saved_.empty()) {
      ::unsetenv("TZ");
    } else {
      ::setenv("TZ", saved_.c_str(), 1);
    }
  }

 private:
  std::string saved_;
};

TEST_F(CtimeTextInUtc, DayIsZeroPadded) {
  EXPECT_EQ(CtimeText(315626635), L"Wed Jan 02 02:03:55 1980\n");
  EXPECT_EQ(CtimeText(0), L"Thu Jan 01 00:00:00 1970\n");
  EXPECT_EQ(CtimeText(INT32_MAX), L"Tue Jan 19 03:14:07 2038\n");
  EXPECT_EQ(CtimeText(-1), L"Wed Dec 31 23:59:59 1969\n");
  LocalDateTime local;
  ASSERT_TRUE(ToLocalTime(315626635, &local));
  EXPECT_EQ(local.month, 1);
  EXPECT_EQ(local.dayOfWeek, 3);
}

TEST_F(CtimeTextInUtc, FollowsAChangedZone) {
  ::setenv("TZ", "CET-1", 1);
  EXPECT_EQ(CtimeText(0), L"Thu Jan 01 01:00:00 1970\n");
}

}  // namespace
}  // namespace vaultline::platform
