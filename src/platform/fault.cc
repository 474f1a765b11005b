// The fault hook shared by both backends.
#include "platform/fault.h"

#include <atomic>
#include <csignal>
#include <cstdlib>

namespace vk {

namespace {
// Steps left until the fault, counting the failing one; 0 while disarmed.
// A persistent fault stays at 1 once reached.
std::atomic<long> g_countdown{0};
std::atomic<bool> g_persistent{false};
std::atomic<bool> g_fired{false};
std::atomic<PlatFaultKind> g_kind{PlatFaultKind::kIoError};
std::atomic<long> g_steps{0};
std::atomic<long> g_exit_at{0};

bool Step() {
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
}  // namespace

void PlatFaultArm(long n, bool persistent, PlatFaultKind kind) {
  g_countdown.store(0);
  g_persistent.store(persistent);
  g_kind.store(kind);
  g_fired.store(false);
  if (n > 0) g_countdown.store(n);
}

void PlatFaultDisarm() { g_countdown.store(0); }

bool PlatFaultFired() { return g_fired.load(); }

PlatFaultKind PlatFaultArmedKind() { return g_kind.load(); }

bool PlatFaultHit() {
  const long step = g_steps.fetch_add(1, std::memory_order_relaxed) + 1;
  const long exit_at = g_exit_at.load(std::memory_order_relaxed);
  // A kill lands between two operations, never inside one.
  if (exit_at > 0 && step >= exit_at) {
#ifdef SIGKILL
    std::raise(SIGKILL);
#endif
    std::_Exit(137);
  }
  if (g_countdown.load(std::memory_order_relaxed) == 0) return false;
  if (g_kind.load() == PlatFaultKind::kNoMemory) return false;
  return Step();
}

bool PlatFaultMemoryHit() {
  if (g_countdown.load(std::memory_order_relaxed) == 0) return false;
  if (g_kind.load() != PlatFaultKind::kNoMemory) return false;
  return Step();
}

void PlatFaultExitAt(long n) {
  g_steps.store(0);
  g_exit_at.store(n > 0 ? n : 0);
}

long PlatFaultSteps() { return g_steps.load(); }

}  // namespace vk
