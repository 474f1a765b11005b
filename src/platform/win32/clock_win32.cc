// Time on Win32.
#include <windows.h>

#include "platform/clock.h"

namespace vk {

uint32_t PlatTickCount() { return GetTickCount(); }

uint32_t PlatRandomSeed() {
  static volatile LONG calls = 0;
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  const uint32_t n = static_cast<uint32_t>(InterlockedIncrement(&calls));
  return (static_cast<uint32_t>(GetCurrentProcessId()) * 2654435761u) ^ static_cast<uint32_t>(counter.QuadPart) ^
         (n * 40503u);
}

bool PlatLocalTime(LocalTime* out) {
  if (out == nullptr) return false;
  SYSTEMTIME now;
  GetLocalTime(&now);
  out->year = now.wYear - 1900;
  out->month = now.wMonth - 1;
  out->day = now.wDay;
  out->hour = now.wHour;
  out->minute = now.wMinute;
  out->second = now.wSecond;
  return true;
}

long PlatStandardZoneOffset() {
  TIME_ZONE_INFORMATION zone;
  if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return 0;
  // Bias and StandardBias are minutes to add to local time to get UTC,
  // which is what seconds west of UTC means.
  return (static_cast<long>(zone.Bias) + static_cast<long>(zone.StandardBias)) * 60L;
}

void PlatSleepMs(unsigned ms) { Sleep(ms); }

}  // namespace vk
