// Time; runs on both backends (time zones on POSIX only).
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/clock.h"
#include "support/test_support.h"

namespace {

TEST(PlatClock, TickCountAdvancesAcrossASleep) {
  const uint32_t a = vk::PlatTickCount();
  vk::PlatSleepMs(40);
  const uint32_t elapsed = vk::PlatTickCount() - a;  // unsigned: right across a wrap too
  EXPECT_GE(elapsed, 10u);                           // the Windows tick moves in steps of about 16 ms
  EXPECT_LT(elapsed, 60000u);
  EXPECT_FALSE(vk::PlatLocalTime(nullptr));
}

#ifndef _WIN32
// Sets TZ for the life of the object and puts the old one back.
struct ScopedTz {
  const char* old = std::getenv("TZ");
  std::string saved = old ? old : "";
  ~ScopedTz() {
    old ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
    tzset();
  }
  void Set(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  }
};

TEST(PlatClockPosix, TimeZoneFromTz) {
  if (!vktest::FileExists("/usr/share/zoneinfo/Europe/Berlin")) GTEST_SKIP() << "no zone data";
  ScopedTz tz;
  // The standard offset, whatever the season.
  for (const auto& zone : {std::make_pair("Europe/Berlin", -3600L), std::make_pair("America/New_York", 18000L),
                           std::make_pair("UTC0", 0L)}) {
    tz.Set(zone.first);
    EXPECT_EQ(vk::PlatStandardZoneOffset(), zone.second) << zone.first;
  }
  // The local time follows TZ: twelve hours apart in these two zones.
  vk::LocalTime west, east;
  tz.Set("Etc/GMT+6");
  ASSERT_TRUE(vk::PlatLocalTime(&west));
  tz.Set("Etc/GMT-6");
  ASSERT_TRUE(vk::PlatLocalTime(&east));
  const int diff = ((east.hour - west.hour) % 24 + 24) % 24;
  EXPECT_TRUE(diff == 12 || (diff == 11 && east.minute < west.minute)) << diff;
}
#endif

}  // namespace
