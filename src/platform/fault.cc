// The fault hook shared by both backends.
#include "platform/fault.h"

#include <atomic>

namespace vk {

namespace {
// Steps left until the fault, counting the failing one; 0 while disarmed.
// A persistent fault stays at 1 once reached.
std::atomic<long> g_countdown{0};
std::atomic<bool> g_persistent{false};
std::atomic<bool> g_fired{false};
}  // namespace

void PlatFaultArm(long n, bool persistent) {
  g_countdown.store(0);
  g_persistent.store(persistent);
  g_fired.store(false);
  if (n > 0) g_countdown.store(n);
}

void PlatFaultDisarm() { g_countdown.store(0); }

bool PlatFaultFired() { return g_fired.load(); }

bool PlatFaultHit() {
  long n = g_countdown.load(std::memory_order_relaxed);
  while (n > 0) {
    if (n == 1) {
      if (g_persistent.load()) {
        g_fired.store(true);
        return true;
      }
      if (g_countdown.compare_exchange_weak(n, 0)) {
        g_fired.store(true);
        return true;
      }
    } else if (g_countdown.compare_exchange_weak(n, n - 1)) {
      return false;
    }
  }
  return false;
}

}  // namespace vk
