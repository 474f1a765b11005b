// Time; runs on both backends (time zones on POSIX only).
#include <gtest/gtest.h>

#include <utility>

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
TEST(PlatClockPosix, TimeZoneFromTz) {
  if (!vktest::FileExists("/usr/share/zoneinfo/Europe/Berlin")) GTEST_SKIP() << "no zone data";
  // The standard offset, whatever the season.
  for (const auto& zone : {std::make_pair("Europe/Berlin", -3600L), std::make_pair("America/New_York", 18000L),
                           std::make_pair("UTC0", 0L)}) {
    vktest::ScopedEnv tz("TZ", zone.first);
    EXPECT_EQ(vk::PlatStandardZoneOffset(), zone.second) << zone.first;
  }
  // The local time follows TZ: twelve hours apart in these two zones.
  vk::LocalTime west, east;
  for (auto zone : {std::make_pair("Etc/GMT+6", &west), std::make_pair("Etc/GMT-6", &east)}) {
    vktest::ScopedEnv tz("TZ", zone.first);
    ASSERT_TRUE(vk::PlatLocalTime(zone.second));
  }
  const int diff = ((east.hour - west.hour) % 24 + 24) % 24;
  EXPECT_TRUE(diff == 12 || (diff == 11 && east.minute < west.minute)) << diff;
}
#endif

}  // namespace
