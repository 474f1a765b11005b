// Time on POSIX, from the C library so that TZ is honoured.
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/clock.h"

namespace vk {

uint32_t PlatRandomSeed() {
  uint32_t seed = 0;
  if (getentropy(&seed, sizeof seed) == 0) return seed;
  static std::atomic<uint32_t> calls{0};
  return (static_cast<uint32_t>(getpid()) * 2654435761u) ^ PlatTickCount() ^ (calls++ * 40503u);
}

uint32_t PlatTickCount() {
  struct timespec ts;
  if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) return 0;
  uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);  // wraps like the Windows tick count
}

bool PlatLocalTime(LocalTime* out) {
  if (out == nullptr) return false;
  time_t now = time(nullptr);
  struct tm tm;
  if (now == static_cast<time_t>(-1) || localtime_r(&now, &tm) == nullptr) return false;
  out->year = tm.tm_year;
  out->month = tm.tm_mon;
  out->day = tm.tm_mday;
  out->hour = tm.tm_hour;
  out->minute = tm.tm_min;
  out->second = tm.tm_sec;
  return true;
}

long PlatStandardZoneOffset() {
  tzset();
  return static_cast<long>(timezone);
}

void PlatSleepMs(unsigned ms) {
  struct timespec ts;
  ts.tv_sec = static_cast<time_t>(ms / 1000);
  ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

}  // namespace vk
