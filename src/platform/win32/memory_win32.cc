// Memory on Win32: global memory blocks for name lists and work buffers,
// and 64 KB address-space reservations for result blocks (the allocation
// granularity of Windows is 64 KB, so a reservation is aligned by itself).
#include <windows.h>

#include <cstdint>

#include "platform/fault.h"
#include "platform/memory.h"

namespace vk {

GlobalHandle PlatGlobalAlloc(unsigned flags, size_t bytes) {
  if (PlatFaultMemoryHit()) return nullptr;
  return static_cast<GlobalHandle>(GlobalAlloc(flags, bytes));
}

void* PlatGlobalLock(GlobalHandle h) {
  if (h == nullptr) return nullptr;
  return GlobalLock(static_cast<HGLOBAL>(h));
}

bool PlatGlobalUnlock(GlobalHandle h) {
  if (h == nullptr) return false;
  // Zero means either "now unlocked" or a failure; only the last error tells.
  SetLastError(NO_ERROR);
  if (GlobalUnlock(static_cast<HGLOBAL>(h))) return true;
  return GetLastError() == NO_ERROR;
}

GlobalHandle PlatGlobalFree(GlobalHandle h) {
  if (h == nullptr) return nullptr;
  return static_cast<GlobalHandle>(GlobalFree(static_cast<HGLOBAL>(h)));
}

size_t PlatGlobalSize(GlobalHandle h) {
  if (h == nullptr) return 0;
  return GlobalSize(static_cast<HGLOBAL>(h));
}

void* PlatReserve() {
  if (PlatFaultMemoryHit()) return nullptr;
  void* base = VirtualAlloc(nullptr, kReservationSize, MEM_RESERVE, PAGE_NOACCESS);
  if (base == nullptr) return nullptr;
  if (reinterpret_cast<uintptr_t>(base) % kReservationSize != 0) {
    VirtualFree(base, 0, MEM_RELEASE);
    return nullptr;
  }
  return base;
}

bool PlatCommit(void* base, size_t bytes) {
  if (base == nullptr || bytes > kReservationSize) return false;
  if (bytes == 0) return true;
  size_t rounded = (bytes + kPageSize - 1) / kPageSize * kPageSize;
  if (rounded > PlatCommittedSize(base) && PlatFaultMemoryHit()) return false;
  // Committing pages that are already committed leaves their contents alone.
  return VirtualAlloc(base, rounded, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

size_t PlatCommittedSize(void* base) {
  if (base == nullptr) return 0;
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(base, &info, sizeof(info)) != sizeof(info)) return 0;
  if (info.AllocationBase != base || info.State != MEM_COMMIT) return 0;
  size_t size = info.RegionSize;
  return size > kReservationSize ? kReservationSize : size;
}

bool PlatRelease(void* base) {
  if (base == nullptr) return false;
  return VirtualFree(base, 0, MEM_RELEASE) != FALSE;
}

}  // namespace vk
