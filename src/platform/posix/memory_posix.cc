// Memory on POSIX: global blocks from malloc with a small header, and
// reservations from mmap whose commitment is mprotect.
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "platform/fault.h"
#include "platform/memory.h"

namespace vk {

namespace {

constexpr uint32_t kBlockMagic = 0x4b424c4bu;

// The header in front of a global block; the handle is its address.
struct BlockHeader {
  uint32_t magic;
  uint32_t locks;
  size_t size;
  alignas(std::max_align_t) unsigned char data[1];
};

BlockHeader* Block(GlobalHandle h) {
  BlockHeader* b = static_cast<BlockHeader*>(h);
  return (b != nullptr && b->magic == kBlockMagic) ? b : nullptr;
}

// Committed bytes per live reservation, by base.
std::mutex g_reservations_mu;
std::map<uintptr_t, size_t>* g_reservations = nullptr;

}  // namespace

GlobalHandle PlatGlobalAlloc(unsigned flags, size_t bytes) {
  if (PlatFaultMemoryHit()) return nullptr;
  constexpr size_t kHead = offsetof(BlockHeader, data);
  if (bytes > SIZE_MAX - kHead - 1) return nullptr;
  size_t total = kHead + (bytes == 0 ? 1 : bytes);
  void* mem = (flags & kGmemZeroInit) != 0 ? std::calloc(1, total) : std::malloc(total);
  if (mem == nullptr) return nullptr;
  BlockHeader* b = static_cast<BlockHeader*>(mem);
  b->magic = kBlockMagic;
  b->locks = 0;
  b->size = bytes;
  return b;
}

void* PlatGlobalLock(GlobalHandle h) {
  BlockHeader* b = Block(h);
  if (b == nullptr) return nullptr;
  ++b->locks;
  return b->data;
}

bool PlatGlobalUnlock(GlobalHandle h) {
  BlockHeader* b = Block(h);
  if (b == nullptr) return false;
  if (b->locks > 0) --b->locks;
  return true;
}

GlobalHandle PlatGlobalFree(GlobalHandle h) {
  if (h == nullptr) return nullptr;
  BlockHeader* b = Block(h);
  if (b == nullptr) return h;
  b->magic = 0;
  std::free(b);
  return nullptr;
}

size_t PlatGlobalSize(GlobalHandle h) {
  BlockHeader* b = Block(h);
  return b == nullptr ? 0 : b->size;
}

void* PlatReserve() {
  // Twice the size, then the parts outside the first 64 KB boundary go back.
  if (PlatFaultMemoryHit()) return nullptr;
  size_t span = 2 * kReservationSize;
  void* raw = mmap(nullptr, span, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  uintptr_t base = (start + kReservationSize - 1) & ~(static_cast<uintptr_t>(kReservationSize) - 1);
  if (base > start) munmap(raw, base - start);
  uintptr_t end = start + span;
  if (end > base + kReservationSize)
    munmap(reinterpret_cast<void*>(base + kReservationSize), end - base - kReservationSize);
  std::lock_guard<std::mutex> lock(g_reservations_mu);
  if (g_reservations == nullptr) g_reservations = new (std::nothrow) std::map<uintptr_t, size_t>;
  bool stored = false;
  if (g_reservations != nullptr) {
    try {
      (*g_reservations)[base] = 0;
      stored = true;
    } catch (...) {
    }
  }
  if (!stored) {
    munmap(reinterpret_cast<void*>(base), kReservationSize);
    return nullptr;
  }
  return reinterpret_cast<void*>(base);
}

bool PlatCommit(void* base, size_t bytes) {
  if (bytes > kReservationSize) return false;
  std::lock_guard<std::mutex> lock(g_reservations_mu);
  if (g_reservations == nullptr) return false;
  auto it = g_reservations->find(reinterpret_cast<uintptr_t>(base));
  if (it == g_reservations->end()) return false;
  size_t want = (bytes + kPageSize - 1) / kPageSize * kPageSize;
  if (want <= it->second) return true;
  if (PlatFaultMemoryHit()) return false;
  // Pages never touched read as zero; the committed ones keep their data.
  char* from = static_cast<char*>(base) + it->second;
  if (mprotect(from, want - it->second, PROT_READ | PROT_WRITE) != 0) return false;
  it->second = want;
  return true;
}

size_t PlatCommittedSize(void* base) {
  std::lock_guard<std::mutex> lock(g_reservations_mu);
  if (g_reservations == nullptr) return 0;
  auto it = g_reservations->find(reinterpret_cast<uintptr_t>(base));
  return it == g_reservations->end() ? 0 : it->second;
}

bool PlatRelease(void* base) {
  std::lock_guard<std::mutex> lock(g_reservations_mu);
  if (g_reservations == nullptr) return false;
  auto it = g_reservations->find(reinterpret_cast<uintptr_t>(base));
  if (it == g_reservations->end()) return false;
  g_reservations->erase(it);
  return munmap(base, kReservationSize) == 0;
}

}  // namespace vk
