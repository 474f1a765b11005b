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

// A live reservation: the bytes committed, and the bytes that are readable
// and writable from its start (more than committed when it was reused: they
// still hold what its last user wrote).
struct Reservation {
  size_t committed;
  size_t writable;
};

// Live reservations by base, and a few released ones kept for reuse with
// their writable extent: a listing or read hands out and takes back one
// result block per call, and mapping and unmapping each would cost more
// than the call's own work.
constexpr int kKeptReservations = 2;
std::mutex g_reservations_mu;
std::map<uintptr_t, Reservation>* g_reservations = nullptr;
uintptr_t g_kept[kKeptReservations];
size_t g_kept_writable[kKeptReservations];
int g_kept_count = 0;

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
  if (PlatFaultMemoryHit()) return nullptr;
  std::lock_guard<std::mutex> lock(g_reservations_mu);
  if (g_reservations == nullptr) g_reservations = new (std::nothrow) std::map<uintptr_t, Reservation>;
  if (g_reservations == nullptr) return nullptr;
  uintptr_t base = 0;
  size_t writable = 0;
  if (g_kept_count > 0) {
    --g_kept_count;
    base = g_kept[g_kept_count];
    writable = g_kept_writable[g_kept_count];
  } else {
    // Twice the size, then the parts outside the first 64 KB boundary go back.
    size_t span = 2 * kReservationSize;
    void* raw = mmap(nullptr, span, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    base = (start + kReservationSize - 1) & ~(static_cast<uintptr_t>(kReservationSize) - 1);
    if (base > start) munmap(raw, base - start);
    uintptr_t end = start + span;
    if (end > base + kReservationSize)
      munmap(reinterpret_cast<void*>(base + kReservationSize), end - base - kReservationSize);
  }
  try {
    (*g_reservations)[base] = Reservation{0, writable};
  } catch (...) {
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
  Reservation& r = it->second;
  size_t want = (bytes + kPageSize - 1) / kPageSize * kPageSize;
  if (want <= r.committed) return true;
  if (PlatFaultMemoryHit()) return false;
  // Pages never touched read as zero; pages a reused reservation's last user
  // wrote are cleared; the committed ones keep their data.
  char* from = static_cast<char*>(base);
  if (want > r.writable) {
    if (mprotect(from + r.writable, want - r.writable, PROT_READ | PROT_WRITE) != 0) return false;
  }
  if (r.writable > r.committed)
    std::memset(from + r.committed, 0, (want < r.writable ? want : r.writable) - r.committed);
  r.committed = want;
  if (want > r.writable) r.writable = want;
  return true;
}

size_t PlatCommittedSize(void* base) {
  std::lock_guard<std::mutex> lock(g_reservations_mu);
  if (g_reservations == nullptr) return 0;
  auto it = g_reservations->find(reinterpret_cast<uintptr_t>(base));
  return it == g_reservations->end() ? 0 : it->second.committed;
}

bool PlatRelease(void* base) {
  std::lock_guard<std::mutex> lock(g_reservations_mu);
  if (g_reservations == nullptr) return false;
  auto it = g_reservations->find(reinterpret_cast<uintptr_t>(base));
  if (it == g_reservations->end()) return false;
  const size_t writable = it->second.writable;
  g_reservations->erase(it);
  if (g_kept_count < kKeptReservations) {
    g_kept[g_kept_count] = reinterpret_cast<uintptr_t>(base);
    g_kept_writable[g_kept_count] = writable;
    ++g_kept_count;
    return true;
  }
  return munmap(base, kReservationSize) == 0;
}

}  // namespace vk
