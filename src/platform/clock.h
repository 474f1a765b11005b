// Time of the platform.
#ifndef VKMSG_PLATFORM_CLOCK_H
#define VKMSG_PLATFORM_CLOCK_H

#include <cstdint>

namespace vk {

// Milliseconds since some start (wraps after 49.7 days).
uint32_t PlatTickCount();

struct LocalTime {
  int year;   // years since 1900
  int month;  // 0..11
  int day;    // 1..31
  int hour, minute, second;
};
// The local broken-down time of now (POSIX: the C library's, so TZ is
// honoured).  false when it cannot be had.
bool PlatLocalTime(LocalTime* out);
// The standard time zone's offset in seconds west of UTC (negative east),
// without daylight saving time.
long PlatStandardZoneOffset();

// Sleeps a little; used by bounded retries.
void PlatSleepMs(unsigned ms);

// A value that differs between processes, workstations and calls: a seed
// for spreading out retries and name choices, where writers that start in
// the same millisecond must not walk the same sequence.  Not for secrets.
uint32_t PlatRandomSeed();

}  // namespace vk

#endif
