// Time; runs on both backends (time zones on POSIX only).
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/clock.h"
#include "support/test_support.h"

namespace {

using namespace vk;

TEST(PlatClock, TickCountAdvances) {
  uint32_t a = PlatTickCount();
  PlatSleepMs(40);
  uint32_t elapsed = PlatTickCount() - a;  // unsigned: right across a wrap too
  // The Windows tick moves in steps of about 16 ms.
  EXPECT_GE(elapsed, 10u);
  EXPECT_LT(elapsed, 60000u);
}

TEST(PlatClock, LocalTimeIsSane) {
  LocalTime t;
  ASSERT_TRUE(PlatLocalTime(&t));
  EXPECT_GE(t.year, 120);  // 2020 or later
  EXPECT_GE(t.month, 0);
  EXPECT_LE(t.month, 11);
  EXPECT_GE(t.day, 1);
  EXPECT_LE(t.day, 31);
  EXPECT_GE(t.hour, 0);
  EXPECT_LE(t.hour, 23);
  EXPECT_GE(t.minute, 0);
  EXPECT_LE(t.minute, 59);
  EXPECT_GE(t.second, 0);
  EXPECT_LE(t.second, 60);
  EXPECT_FALSE(PlatLocalTime(nullptr));
  long off = PlatStandardZoneOffset();
  EXPECT_GE(off, -14 * 3600);
  EXPECT_LE(off, 12 * 3600);
}

#ifndef _WIN32
class ZoneGuard {
 public:
  ZoneGuard() {
    const char* tz = getenv("TZ");
    had_ = tz != nullptr;
    if (had_) old_ = tz;
  }
  ~ZoneGuard() {
    if (had_) setenv("TZ", old_.c_str(), 1); else unsetenv("TZ");
    tzset();
  }
  void Set(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  }

 private:
  bool had_;
  std::string old_;
};

TEST(PlatClockPosix, TimeZoneFromTz) {
  if (!vktest::FileExists("/usr/share/zoneinfo/Europe/Berlin")) GTEST_SKIP() << "no zone data";
  ZoneGuard guard;
  guard.Set("Europe/Berlin");
  EXPECT_EQ(-3600, PlatStandardZoneOffset());
  guard.Set("America/New_York");
  EXPECT_EQ(18000, PlatStandardZoneOffset());
  guard.Set("UTC0");
  EXPECT_EQ(0, PlatStandardZoneOffset());

  // The local time follows TZ: twelve hours apart in these two zones.
  guard.Set("Etc/GMT+6");
  LocalTime west;
  ASSERT_TRUE(PlatLocalTime(&west));
  guard.Set("Etc/GMT-6");
  LocalTime east;
  ASSERT_TRUE(PlatLocalTime(&east));
  int diff = ((east.hour - west.hour) % 24 + 24) % 24;
  EXPECT_TRUE(diff == 12 || (diff == 11 && east.minute < west.minute)) << diff;
}
#endif

}  // namespace
